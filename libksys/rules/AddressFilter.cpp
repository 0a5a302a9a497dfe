// SPDX-License-Identifier: Apache-2.0
#include "rules/AddressFilter.h"

#include "ksys/ksys.h"

namespace ksys {

bool AcceptAddress(AddressFamily family, bool loopback, unsigned int flags) {
    if (family == AddressFamily::Other) return false;
    if (loopback && (flags & KSYS_IP_LOOPBACK) == 0) return false;
    const unsigned int families = flags & (KSYS_IP_V4 | KSYS_IP_V6);
    if (families == 0) return true;
    return (family == AddressFamily::IPv4 && (families & KSYS_IP_V4) != 0) ||
           (family == AddressFamily::IPv6 && (families & KSYS_IP_V6) != 0);
}

}  // namespace ksys
