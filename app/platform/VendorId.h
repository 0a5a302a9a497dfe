// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>

#include <QString>

// The maker's USB vendor id: the build's value, unless the environment variable
// SCREENIO_USB_VENDOR_ID gives another one (the same rule the monitor-control library follows).
uint16_t VendorId();
// A vendor id as written in SCREENIO_USB_VENDOR_ID: "0x1a2b" or bare hexadecimal "1a2b".
std::optional<uint16_t> ParseVendorId(const QString& text);
