// SPDX-License-Identifier: Apache-2.0
#include "hid/UeventText.h"

#include <algorithm>

#include "HexDigit.h"

namespace screenio::hid {

std::string_view WithoutNewline(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

std::optional<std::string> UeventValue(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=')
            return std::string(line.substr(key.size() + 1));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return std::nullopt;
}

bool ParseNumber(std::string_view text, unsigned base, size_t maxDigits, uint32_t* value) {
    if (text.empty() || text.size() > maxDigits) return false;
    uint64_t result = 0;
    for (char c : text) {
        const int digit = common::HexDigitValue(c);
        if (digit < 0 || unsigned(digit) >= base) return false;
        result = result * base + unsigned(digit);
        if (result > UINT32_MAX) return false;
    }
    *value = uint32_t(result);
    return true;
}

std::vector<std::string_view> SplitColons(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) return parts;
        text.remove_prefix(colon + 1);
    }
}

bool ParseHidId(std::string_view text, HidId* id) {
    const std::vector<std::string_view> parts = SplitColons(text);
    return parts.size() == 3 && ParseNumber(parts[0], 16, 8, &id->bus) &&
           ParseNumber(parts[1], 16, 8, &id->vendor) && ParseNumber(parts[2], 16, 8, &id->product);
}

bool IsSafeDevName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos)
        return false;
    for (;;) {
        const size_t slash = name.find('/');
        const std::string_view part = name.substr(0, slash);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string_view::npos) return true;
        name.remove_prefix(slash + 1);
    }
}

bool ParseDeviceNumbers(std::string_view text, uint32_t* major, uint32_t* minor) {
    const std::vector<std::string_view> parts = SplitColons(WithoutNewline(text));
    return parts.size() == 2 && ParseNumber(parts[0], 10, 10, major) &&
           ParseNumber(parts[1], 10, 10, minor);
}

}  // namespace screenio::hid
