// SPDX-License-Identifier: Apache-2.0
// Graphics adapters: PCI display devices in sysfs with their DRM connectors.
#pragma once

#include <string>
#include <vector>

#include "core/Records.h"

namespace ksys {

class PciDisplays {
public:
    // Devices of class 0x03 under SYSFS/bus/pci/devices; names from the first readable file of
    // `pciIdDatabases`.
    static std::vector<KSysVGA> list(const std::string& sysfsRoot,
                                     const std::vector<std::string>& pciIdDatabases);
    static std::vector<KSysVGA> list();
};

}  // namespace ksys
