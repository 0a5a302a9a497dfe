// SPDX-License-Identifier: Apache-2.0
// The sysfs texts of hidraw nodes: uevent values, HID ids, device names and numbers. Each rule
// is checked against a plain restatement of what it accepts; a disagreement aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "hid/UeventText.h"

namespace {

namespace hid = screenio::hid;

// The first line that starts with "KEY=", read line by line.
std::optional<std::string> FirstValue(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    return std::nullopt;
}

// Whether the text is 1 to `maxDigits` digits of `base` whose value fits 32 bits.
std::optional<uint32_t> PlainNumber(std::string_view text, int base, size_t maxDigits) {
    const char* digits = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (text.empty() || text.size() > maxDigits ||
        text.find_first_not_of(digits) != std::string_view::npos)
        return std::nullopt;
    const unsigned long long value = std::strtoull(std::string(text).c_str(), nullptr, base);
    if (value > UINT32_MAX) return std::nullopt;
    return uint32_t(value);
}

void checkNumbers(std::string_view text) {
    for (const int base : {10, 16}) {
        for (const size_t maxDigits : {2u, 8u, 10u}) {
            uint32_t value = 0;
            const bool parsed = hid::ParseNumber(text, unsigned(base), maxDigits, &value);
            const std::optional<uint32_t> expected = PlainNumber(text, base, maxDigits);
            if (parsed != expected.has_value() || (parsed && value != *expected)) std::abort();
        }
    }
}

void checkUevent(const std::string& text) {
    for (const char* key : {"HID_ID", "HID_UNIQ", "DEVNAME", "H"}) {
        const std::optional<std::string> value = hid::UeventValue(text, key);
        if (value != FirstValue(text, key)) std::abort();
    }
    const std::optional<std::string> id = hid::UeventValue(text, "HID_ID");
    hid::HidId parsed;
    if (!id || !hid::ParseHidId(*id, &parsed)) return;
    // What was accepted is three hexadecimal numbers of up to 8 digits.
    const size_t first = id->find(':');
    const size_t second = id->find(':', first + 1);
    const auto bus = PlainNumber(std::string_view(*id).substr(0, first), 16, 8);
    const auto vendor =
        PlainNumber(std::string_view(*id).substr(first + 1, second - first - 1), 16, 8);
    const auto product = PlainNumber(std::string_view(*id).substr(second + 1), 16, 8);
    if (!bus || !vendor || !product || *bus != parsed.bus || *vendor != parsed.vendor ||
        *product != parsed.product)
        std::abort();
}

// A safe name has no empty, "." or ".." element, no NUL and no leading "/".
void checkDevName(const std::string& name) {
    bool expected = !name.empty() && name.find('\0') == std::string::npos;
    std::istringstream parts(name + "/");
    std::string part;
    while (expected && std::getline(parts, part, '/'))
        expected = !part.empty() && part != "." && part != "..";
    if (hid::IsSafeDevName(name) != expected) std::abort();
}

void checkDeviceNumbers(std::string_view text) {
    uint32_t major = 0;
    uint32_t minor = 0;
    const bool parsed = hid::ParseDeviceNumbers(text, &major, &minor);
    const std::string_view line = hid::WithoutNewline(text);
    const size_t colon = line.find(':');
    std::optional<uint32_t> expectedMajor, expectedMinor;
    if (colon != std::string_view::npos) {
        expectedMajor = PlainNumber(line.substr(0, colon), 10, 10);
        expectedMinor = PlainNumber(line.substr(colon + 1), 10, 10);
    }
    const bool expected = expectedMajor && expectedMinor;
    if (parsed != expected || (parsed && (major != *expectedMajor || minor != *expectedMinor)))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkUevent(text);
    checkNumbers(text);
    checkDevName(text);
    checkDeviceNumbers(text);
    return 0;
}
