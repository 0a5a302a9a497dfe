// SPDX-License-Identifier: Apache-2.0
#include "platform/HostFacts.h"

#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/FileSystem.h"
#include "rules/CpuInfo.h"
#include "rules/KernelText.h"
#include "rules/VersionText.h"

namespace ksys {

namespace {

constexpr std::size_t kMaxUserName = 255;

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
    return text;
}

}  // namespace

std::map<std::string, std::string> HostFacts::osRelease() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"})
        if (const auto text = FileSystem::readFile(path)) return ParseOsRelease(*text);
    return {};
}

std::string HostFacts::uname(UnameField field) {
    struct utsname names {};
    if (::uname(&names) == 0) {
        switch (field) {
        case UnameField::Machine: return names.machine;
        case UnameField::Release: return names.release;
        case UnameField::Version: return names.version;
        case UnameField::NodeName: return names.nodename;
        }
    }
    switch (field) {
    case UnameField::Release: return FileSystem::readLine("/proc/sys/kernel/osrelease");
    case UnameField::Version: return FileSystem::readLine("/proc/sys/kernel/version");
    case UnameField::NodeName: return FileSystem::readLine("/proc/sys/kernel/hostname");
    case UnameField::Machine: break;
    }
    return std::string();
}

std::string HostFacts::domainName() {
    char name[256] = {};
    if (::getdomainname(name, sizeof name - 1) != 0) return std::string();
    const std::string domain = name;
    return domain == "(none)" ? std::string() : domain;
}

std::string HostFacts::cpuName() {
    const auto text = FileSystem::readFile("/proc/cpuinfo");
    return text ? CpuNameFromCpuinfo(*text) : std::string();
}

std::optional<std::uint64_t> HostFacts::totalMemoryBytes() {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0 || info.totalram == 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

std::optional<std::uint64_t> HostFacts::availableMemoryBytes() {
    const auto text = FileSystem::readFile("/proc/meminfo");
    if (!text) return std::nullopt;
    return MemAvailableBytes(*text);
}

std::string HostFacts::dmi(const std::string& entry) {
    return Trimmed(FileSystem::readLine("/sys/class/dmi/id/" + entry));
}

std::string HostFacts::userName() {
    std::string name;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name)
        name = found->pw_name;
    if (name.empty()) {
        char login[kMaxUserName + 1] = {};
        if (::getlogin_r(login, sizeof login) == 0) name = login;
    }
    if (name.empty()) {
        const char* user = std::getenv("USER");
        name = user ? user : "";
    }
    return name.substr(0, kMaxUserName);
}

}  // namespace ksys
