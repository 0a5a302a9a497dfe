// SPDX-License-Identifier: Apache-2.0
// The texts sysfs gives about a hidraw node: uevent files, "major:minor" numbers, HID ids. They
// come from the kernel but describe whatever device is plugged in, so they are read strictly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace screenio::hid {

struct HidId {
    uint32_t bus = 0;
    uint32_t vendor = 0;
    uint32_t product = 0;
};

// The text without one trailing line end.
std::string_view WithoutNewline(std::string_view text);

// The value of `KEY=value` in a uevent file; the first line with the key wins.
std::optional<std::string> UeventValue(std::string_view text, std::string_view key);

// Digits only (no sign, prefix or blanks), at most `maxDigits` of them, in base 10 or 16, and
// no more than UINT32_MAX. `*value` is set only on success.
bool ParseNumber(std::string_view text, unsigned base, size_t maxDigits, uint32_t* value);

// "a:b" or "a:b:c" split at every colon.
std::vector<std::string_view> SplitColons(std::string_view text);

// HID_ID=BBBB:VVVVVVVV:PPPPPPPP, hexadecimal as the kernel prints it.
bool ParseHidId(std::string_view text, HidId* id);

// A DEVNAME is relative to the dev root and must stay below it.
bool IsSafeDevName(std::string_view name);

// The "major:minor" text of a node's dev file, decimal, with or without its line end.
bool ParseDeviceNumbers(std::string_view text, uint32_t* major, uint32_t* minor);

}  // namespace screenio::hid
