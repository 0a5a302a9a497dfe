// SPDX-License-Identifier: Apache-2.0
#include "rules/KernelText.h"

#include <limits>
#include <string_view>

#include "rules/Trim.h"

namespace ksys {

namespace {

// The first line of the text, taken off it, without its line end.
std::string_view TakeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// "<digits> kB" as bytes; the kernel writes every size in this file that way.
std::optional<std::uint64_t> KibAsBytes(std::string_view value) {
    constexpr std::string_view kUnit = " kB";
    if (value.size() <= kUnit.size() || value.substr(value.size() - kUnit.size()) != kUnit)
        return std::nullopt;
    value.remove_suffix(kUnit.size());
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint64_t>::max() / 1024;
    std::uint64_t kib = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (kib > (kLimit - digit) / 10) return std::nullopt;
        kib = kib * 10 + digit;
    }
    return kib * 1024;
}

}  // namespace

std::optional<std::uint64_t> MemAvailableBytes(const std::string& meminfo) {
    constexpr std::string_view kKey = "MemAvailable:";
    for (std::string_view rest = meminfo; !rest.empty();) {
        const std::string_view line = TakeLine(rest);
        if (line.substr(0, kKey.size()) == kKey) return KibAsBytes(Trim(line.substr(kKey.size())));
    }
    return std::nullopt;
}

std::vector<std::string> ModuleNames(const std::string& modules) {
    std::vector<std::string> names;
    for (std::string_view rest = modules; !rest.empty();) {
        const std::string_view line = Trim(TakeLine(rest));
        if (!line.empty()) names.emplace_back(line.substr(0, line.find_first_of(" \t")));
    }
    return names;
}

}  // namespace ksys
