// SPDX-License-Identifier: Apache-2.0
// Device names from the PCI id database (pci.ids).
#pragma once

#include <string>

namespace ksys {

// The name of a vendor's device in the text of a pci.ids file; "" when not listed.
std::string PciDeviceName(const std::string& database, unsigned int vendorId,
                          unsigned int deviceId);

// The value of a sysfs number file ("0x8086\n"); -1 when it is not a number.
long ParseSysfsNumber(const std::string& text, int base);

}  // namespace ksys
