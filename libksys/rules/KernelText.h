// SPDX-License-Identifier: Apache-2.0
// The kernel's own tables: /proc/meminfo and /proc/modules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ksys {

// The "MemAvailable:" line of /proc/meminfo in bytes; nothing when the line is missing, not a
// plain decimal count of kB, or too large for 64 bits once in bytes.
std::optional<std::uint64_t> MemAvailableBytes(const std::string& meminfo);

// The module names of /proc/modules, one per line: its first field, in file order.
std::vector<std::string> ModuleNames(const std::string& modules);

}  // namespace ksys
