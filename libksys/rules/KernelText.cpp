// SPDX-License-Identifier: Apache-2.0
#include "rules/KernelText.h"

#include <limits>
#include <string_view>

namespace ksys {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// Calls visit(line) for every line, without its line end.
template <typename Visit> void ForEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        visit(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
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
    std::optional<std::uint64_t> bytes;
    bool found = false;
    ForEachLine(meminfo, [&](std::string_view line) {
        if (found || line.substr(0, kKey.size()) != kKey) return;
        found = true;
        bytes = KibAsBytes(WithoutBlanks(line.substr(kKey.size())));
    });
    return bytes;
}

std::vector<std::string> ModuleNames(const std::string& modules) {
    std::vector<std::string> names;
    ForEachLine(modules, [&](std::string_view line) {
        line = WithoutBlanks(line);
        const std::size_t end = line.find_first_of(" \t");
        if (!line.empty()) names.emplace_back(line.substr(0, end));
    });
    return names;
}

}  // namespace ksys
