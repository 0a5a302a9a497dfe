// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// The maker's USB vendor id: the build's value, unless the environment variable
// SCREENIO_USB_VENDOR_ID gives another one. The monitor-control library reads it the same way,
// so the updater re-scans for exactly the devices the library takes for monitors.
uint16_t VendorId();
