// SPDX-License-Identifier: Apache-2.0
#pragma once

// One hexadecimal digit's value, or -1 for anything else. Written out rather than taken from
// <cctype> so the result never depends on the locale.
namespace common {

constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace common
