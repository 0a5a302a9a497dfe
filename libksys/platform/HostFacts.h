// SPDX-License-Identifier: Apache-2.0
// Facts about the operating system and the machine.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ksys {

class HostFacts {
public:
    enum class UnameField { Machine, Release, Version, NodeName };

    // The values of /etc/os-release, else /usr/lib/os-release; empty when neither is readable.
    static std::map<std::string, std::string> osRelease();
    // One field of uname, falling back to the matching /proc/sys/kernel file; "" when unread.
    static std::string uname(UnameField field);
    static std::string domainName();
    static std::string cpuName();
    static std::optional<std::uint64_t> totalMemoryBytes();
    // MemAvailable of /proc/meminfo.
    static std::optional<std::uint64_t> availableMemoryBytes();
    // One entry of /sys/class/dmi/id ("product_name"); "" when unreadable.
    static std::string dmi(const std::string& entry);
    static std::string userName();
};

}  // namespace ksys
