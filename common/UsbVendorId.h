// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>

namespace common {

// A USB vendor id as written in SCREENIO_USB_VENDOR_ID: "0x1a2b", or bare hexadecimal "1a2b" as
// lsusb shows ids. Nothing for anything that is not a 16-bit number.
std::optional<uint16_t> ParseVendorId(const char* text);

// The maker's USB vendor id: `built`, unless the environment variable SCREENIO_USB_VENDOR_ID
// gives another one. An override that does not parse is ignored with one line on standard
// error, the first time only, that starts with `program`.
uint16_t VendorIdFromEnvironment(uint16_t built, const char* program);

}  // namespace common
