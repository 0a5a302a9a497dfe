// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "UniqueFd.h"

namespace kerneltest {

// One of the kernel's hidraw nodes, reached directly through sysfs and ioctls, without the
// library: the probe checks the kernel's side of the path this way, so that a fault it finds
// lies in the kernel or the uhid device and not in the library's transport.
class HidrawNode {
public:
    // The name ("hidraw0") of the node whose HID device has this bus, vendor, product and
    // HID_UNIQ, once it and its /dev node exist; waits up to `timeoutMs`.
    static std::optional<std::string> find(uint16_t bus, uint16_t vendor, uint16_t product,
                                           const std::string& uniq, int timeoutMs);
    // Whether /sys/class/hidraw/<name> still exists.
    static bool exists(const std::string& name);
    // The `device/uevent` text of a node ("" when unreadable).
    static std::string uevent(const std::string& name);
    // The report descriptor as sysfs shows it.
    static std::vector<uint8_t> descriptor(const std::string& name);

    // Opens /dev/<name>; throws std::system_error when it cannot.
    explicit HidrawNode(const std::string& name);

    // HIDIOCGFEATURE: `report[0]` holds the report ID, the vector's size is the length asked
    // for. Returns the bytes the kernel gave back (the ID byte included) or -errno.
    int getFeature(std::vector<uint8_t>& report);
    // HIDIOCSFEATURE with the report ID as first byte; bytes sent or -errno.
    int setFeature(const std::vector<uint8_t>& report);

private:
    common::UniqueFd m_fd;
};

}  // namespace kerneltest
