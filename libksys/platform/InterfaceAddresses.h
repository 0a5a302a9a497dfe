// SPDX-License-Identifier: Apache-2.0
// Addresses of the network interfaces.
#pragma once

#include <string>
#include <vector>

namespace ksys {

class InterfaceAddresses {
public:
    // The addresses getifaddrs lists, as getnameinfo prints them, selected by KSYS_IP_* flags.
    static std::vector<std::string> list(unsigned int flags);
};

}  // namespace ksys
