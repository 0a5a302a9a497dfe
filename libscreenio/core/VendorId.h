// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace screenio {

// The maker's USB vendor id: the build's SCREENIO_USB_VENDOR_ID, overridden by the environment
// variable of the same name (hexadecimal, with or without "0x", as lsusb shows it). An override
// that is not a 16-bit number is ignored with one line on standard error.
uint16_t UsbVendorId();

}  // namespace screenio
