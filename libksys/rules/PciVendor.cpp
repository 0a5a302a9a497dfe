// SPDX-License-Identifier: Apache-2.0
#include "rules/PciVendor.h"

namespace ksys {

const char* PciVendorName(unsigned int vendorId) {
    switch (vendorId) {
    case 0x1002:
    case 0x1022: return "AMD";
    case 0x05ac:
    case 0x106b: return "Apple";
    case 0x13b5: return "ARM";
    case 0x163c:
    case 0x8086:
    case 0x8087: return "Intel";
    case 0x10de: return "NVIDIA";
    case 0x15ad: return "VMware";
    default: return "";
    }
}

}  // namespace ksys
