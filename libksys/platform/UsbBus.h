// SPDX-License-Identifier: Apache-2.0
// USB devices from sysfs.
#pragma once

#include <string>
#include <vector>

#include "core/Records.h"

namespace ksys {

class UsbBus {
public:
    // The devices under SYSFS/bus/usb/devices in name order, once per location (bus number and
    // device path); empty when the folder is missing.
    static std::vector<KSysUSB> list(const std::string& sysfsRoot = "/sys");
};

}  // namespace ksys
