// SPDX-License-Identifier: Apache-2.0
#include "core/VendorId.h"

#include "UsbVendorId.h"

namespace screenio {

uint16_t UsbVendorId() {
    return common::VendorIdFromEnvironment(SCREENIO_USB_VENDOR_ID, "screenio");
}

}  // namespace screenio
