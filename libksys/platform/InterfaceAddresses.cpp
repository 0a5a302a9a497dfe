// SPDX-License-Identifier: Apache-2.0
#include "platform/InterfaceAddresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

#include "rules/AddressFilter.h"

namespace ksys {

namespace {

struct AddressListFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

}  // namespace

std::vector<std::string> InterfaceAddresses::list(unsigned int flags) {
    std::vector<std::string> addresses;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) return addresses;
    const std::unique_ptr<ifaddrs, AddressListFree> owned(raw);
    for (const ifaddrs* entry = raw; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr) continue;
        const int family = entry->ifa_addr->sa_family;
        const AddressFamily kind = family == AF_INET    ? AddressFamily::IPv4
                                   : family == AF_INET6 ? AddressFamily::IPv6
                                                        : AddressFamily::Other;
        if (!AcceptAddress(kind, (entry->ifa_flags & IFF_LOOPBACK) != 0, flags)) continue;
        const socklen_t length =
            kind == AddressFamily::IPv4 ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        char host[NI_MAXHOST] = {};
        if (getnameinfo(entry->ifa_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) ==
            0)
            addresses.emplace_back(host);
    }
    return addresses;
}

}  // namespace ksys
