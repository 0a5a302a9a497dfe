// SPDX-License-Identifier: Apache-2.0
// The system information library's rules for texts read from the machine: os-release, cpuinfo,
// desktop entries, /proc/meminfo and /proc/modules, process names and command lines from /proc,
// sysfs numbers, pci.ids, locale and time-zone names. Every rule gets the whole input; where a
// rule's result can be restated simply (a round trip, a plain re-implementation, a shape the result
// must have) a difference aborts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rules/CpuInfo.h"
#include "rules/DesktopEntry.h"
#include "rules/DisplayPath.h"
#include "rules/KernelText.h"
#include "rules/LocaleText.h"
#include "rules/PciIds.h"
#include "rules/ProcessText.h"
#include "rules/TimeZone.h"
#include "rules/VersionText.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool IsPrefix(const std::string& prefix, const std::string& text) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSuffix(const std::string& suffix, const std::string& text) {
    return suffix.size() <= text.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool HasBlankEnds(const std::string& text) {
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

// Every value written back in double quotes, with \ before " and \, reads back the same.
void checkOsRelease(const std::string& text) {
    const std::map<std::string, std::string> values = ksys::ParseOsRelease(text);
    std::string written;
    for (const auto& [key, value] : values) {
        require(!key.empty() && key[0] != '#' && key.find_first_of("=\n") == std::string::npos);
        require(value.find('\n') == std::string::npos);
        std::string quoted;
        for (const char c : value) {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
        written += key + "=\"" + quoted + "\"\n";
        require(IsPrefix(ksys::ShortVersionText(value), value));
    }
    require(ksys::ParseOsRelease(written) == values);
}

void checkCpuInfo(const std::string& text) {
    const std::string name = ksys::CpuNameFromCpuinfo(text);
    require(name.find('\n') == std::string::npos && !HasBlankEnds(name));
    require(name.empty() || text.find(name) != std::string::npos);
}

// An accepted entry written back in its plainest form is accepted with the same values.
void checkDesktopEntry(const std::string& text) {
    const std::optional<KSysApplication> application = ksys::ParseDesktopEntry(text);
    if (!application) return;
    require(!application->name.empty() && text.find("[Desktop Entry]") != std::string::npos);
    for (const std::string* value : {&application->name, &application->version})
        require(value->find('\n') == std::string::npos && (value->empty() || (*value)[0] != ' '));
    // CRLF line ends: a value that ends in "\r" keeps it.
    const std::string written = "[Desktop Entry]\r\nType=Application\r\nName=" + application->name +
                                "\r\nX-AppVersion=" + application->version + "\r\n";
    const std::optional<KSysApplication> again = ksys::ParseDesktopEntry(written);
    require(again && again->name == application->name && again->version == application->version);
}

// /proc/<pid>/cmdline, comm and exe.
void checkProcessText(const std::string& text) {
    std::string expected = text;
    for (char& c : expected)
        if (c == '\0') c = ' ';
    if (!text.empty() && text.back() == '\0') expected.pop_back();
    require(ksys::JoinArguments(text) == expected);

    const std::string base = ksys::ExecutableBaseName(text);
    require(base.find('/') == std::string::npos);
    require(IsSuffix(base, text) || IsSuffix(base + " (deleted)", text));
    const std::string name = ksys::ProcessName(std::nullopt, text);
    require(IsPrefix(name, text) && (name.empty() || (name.back() != '\n' && name.back() != '\r')));
}

// A sysfs number is the whole text but for trailing blanks and line ends.
void checkSysfsNumber(const std::string& text) {
    for (const int base : {10, 16}) {
        const long value = ksys::ParseSysfsNumber(text, base);
        require(value >= -1);
        if (value >= 0) require(text.find('\0') == std::string::npos);
    }
}

// The ids come from the first bytes, so that the fuzzer can match them to the database text.
void checkPciIds(const std::string& text) {
    if (text.size() < 4) return;
    const unsigned vendor = uint8_t(text[0]) << 8 | uint8_t(text[1]);
    const unsigned device = uint8_t(text[2]) << 8 | uint8_t(text[3]);
    const std::string name = ksys::PciDeviceName(text.substr(4), vendor, device);
    require(name.find('\n') == std::string::npos && (name.empty() || name[0] != ' '));
    require(name.empty() || text.find(name) != std::string::npos);
}

void checkLocaleAndZone(const std::string& text) {
    const ksys::LocaleParts parts = ksys::ParseLocaleName(text);
    require(IsPrefix(parts.identifier, text));
    require(parts.identifier.find_first_of(".@") == std::string::npos);
    require(parts.language.size() + parts.country.size() <= parts.identifier.size());
    for (const std::string& language : ksys::LanguagesOfList(text))
        require(!language.empty() && language.find_first_of(":-_.@") == std::string::npos &&
                language != "C" && language != "POSIX");

    require(IsSuffix(ksys::ZoneNameFromLinkTarget(text), text));
    require(IsSuffix(ksys::ZoneNameFromTzVariable(text), text));

    const std::string path = ksys::ComparablePath(text);
    require(path.find('@') == std::string::npos);
    require(std::count(path.begin(), path.end(), '/') == std::count(text.begin(), text.end(), '/'));
}

// /proc/meminfo and /proc/modules: what is read is written back in the kernel's form and read
// again the same.
void checkKernelText(const std::string& text) {
    if (const std::optional<std::uint64_t> bytes = ksys::MemAvailableBytes(text)) {
        require(*bytes % 1024 == 0 && text.find("MemAvailable:") != std::string::npos);
        const std::string written = "MemAvailable:  " + std::to_string(*bytes / 1024) + " kB\n";
        require(ksys::MemAvailableBytes(written) == bytes);
    }
    const std::vector<std::string> names = ksys::ModuleNames(text);
    std::string written;
    for (const std::string& name : names) {
        require(!name.empty() && name.find_first_of(" \t\n") == std::string::npos);
        require(text.find(name) != std::string::npos);
        written += name + " 16384 0 - Live 0x0\n";
    }
    require(ksys::ModuleNames(written) == names);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkOsRelease(text);
    checkCpuInfo(text);
    checkDesktopEntry(text);
    checkProcessText(text);
    checkSysfsNumber(text);
    checkPciIds(text);
    checkLocaleAndZone(text);
    checkKernelText(text);
    return 0;
}
