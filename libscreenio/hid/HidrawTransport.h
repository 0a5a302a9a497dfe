// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UniqueFd.h"
#include "hid/HidTransport.h"

namespace screenio::hid {

// The kernel's hidraw nodes on Linux: discovery through sysfs, feature reports through the
// hidraw ioctls, and locks so that two programs of ours, of any users, never talk to one
// monitor at once. The roots are parameters so that tests can run it on a fake tree.
class HidrawTransport : public HidTransport {
public:
    explicit HidrawTransport(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // Reads <sysfs>/class/hidraw: only the uevent of a foreign device is read. A node whose
    // files are missing or garbled is left out.
    std::vector<HidNodeInfo> enumerate(uint16_t vendorId) override;

    // Errors: those of open(2) (EACCES and EPERM when the node is not ours to open), ENODEV when
    // the node now belongs to another device (HidrawIdentity), EBUSY when another connection
    // holds the node or the monitor's lock, ENOLCK when that lock cannot be taken at all.
    std::unique_ptr<HidConnection> open(const HidNodeInfo& node, int* error) override;

private:
    std::optional<HidNodeInfo> describe(const std::string& name, uint16_t vendorId,
                                        const std::string& sysfsReal) const;
    std::string m_sysfsRoot;
    std::string m_devRoot;
};

}  // namespace screenio::hid
