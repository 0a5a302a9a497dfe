// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "hid/HidTransport.h"

namespace screenio::hid {

// Whether an opened hidraw node is still the device a search found. The kernel hands a freed
// node number to the next device plugged in, so a path from an earlier search can lead to
// another monitor. The open file keeps its number taken, so what is read through it, or through
// sysfs under its device number, cannot change under us.
class HidrawIdentity {
public:
    // 0 when `fd` is the device of `node`; ENODEV when it is another one (or none: its sysfs
    // entry is gone); another errno value when it cannot be told. Checked: the device number,
    // bus, vendor and product, the report descriptor byte for byte, and the HID device's sysfs
    // name, whose instance number is not reused before a reboot. A file that is no character
    // device (a stand-in in tests) has no ids or descriptor to ask for; only its recorded device
    // number leads to sysfs then, and feature requests on it fail anyway.
    static int verify(int fd, const HidNodeInfo& node, const std::string& sysfsRoot);

private:
    static int verifyIds(int fd, const HidNodeInfo& node);
    static int verifyDescriptor(int fd, const HidNodeInfo& node);
    static int verifySysfsName(unsigned long long deviceNumber, const HidNodeInfo& node,
                               const std::string& sysfsRoot);
};

}  // namespace screenio::hid
