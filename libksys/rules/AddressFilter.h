// SPDX-License-Identifier: Apache-2.0
// Which interface addresses KSysEnumIPAddress lists.
#pragma once

namespace ksys {

enum class AddressFamily { IPv4, IPv6, Other };

// Family bits select families (none set: both); loopback addresses need the loopback bit.
bool AcceptAddress(AddressFamily family, bool loopback, unsigned int flags);

}  // namespace ksys
