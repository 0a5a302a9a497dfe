#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/UniqueFd.h"
#include "hid/HidTransport.h"

namespace screenio::hid {

// The kernel's hidraw nodes on Linux: discovery through sysfs, feature reports through the
// hidraw ioctls, and advisory locks so that two programs of ours never talk to one monitor at
// once. The roots are parameters so that tests can run it on a fake tree.
class HidrawTransport : public HidTransport {
public:
    explicit HidrawTransport(std::string sysfsRoot = "/sys", std::string devRoot = "/dev",
                             std::string lockFolder = DefaultLockFolder());

    // $XDG_RUNTIME_DIR/screenio when that folder is usable (absolute, ours, writable), else
    // /tmp/screenio-<uid>.
    static std::string DefaultLockFolder();

    // Reads <sysfs>/class/hidraw: only the uevent of a foreign device is read. A node whose
    // files are missing or garbled is left out.
    std::vector<HidNodeInfo> enumerate(uint16_t vendorId) override;

    // Errors: those of open(2) (EACCES and EPERM when the node is not ours to open), ENODEV when
    // the node now belongs to another device, EBUSY when another connection holds the node or
    // the monitor's serial number, ENOLCK when the lock folder or file is unusable.
    std::unique_ptr<HidConnection> open(const HidNodeInfo& node, int* error) override;

private:
    std::optional<HidNodeInfo> describe(const std::string& name, uint16_t vendorId,
                                        const std::string& sysfsReal) const;
    // Takes the lock of the monitor with this serial number into `*lock`; 0 or an errno value.
    int lockSerial(const std::string& serial, UniqueFd* lock) const;

    std::string m_sysfsRoot;
    std::string m_devRoot;
    std::string m_lockFolder;
};

}  // namespace screenio::hid
