// SPDX-License-Identifier: Apache-2.0
#include "platform/VendorId.h"

#include "UsbVendorId.h"

uint16_t VendorId() {
    return common::VendorIdFromEnvironment(PANELFLASHER_USB_VENDOR_ID, "PanelFlasher");
}
