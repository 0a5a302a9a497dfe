// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "sim/MonitorDescription.h"
#include "sim/SimMonitorState.h"
#include "sim/SparseMemory.h"

namespace screenio::sim {

class SpiNorFlash;
class ZvFlashEngine;

// The boot loader of the flash monitors: at every restart and power cycle it decides from the
// flash, per device, whether the device boots and with which version (images as SimImage
// describes them).
//
// Scaler (MStar): the scaler runs in place from its flash. A device's region runs from its
// address to the next device's address, the next marker sector or the end of the flash. Until
// something programs or erases its region the device runs the factory image it was built with.
// After that the region must start with a valid image: the device then runs that image's
// version, otherwise it does not boot. A marker (four bytes 0xA5) on a valid image is consumed;
// a marker on an image that fails its check is left and the device does not boot.
//
// ZV: the regions are staging areas. A device whose update flag is set installs the image at
// its address: a valid image gives its version, anything else leaves the device unbootable.
// Unflagged regions may hold anything. The flags are consumed.
class FlashBootLoader {
public:
    static constexpr uint8_t kMarkerByte = 0xA5;
    static constexpr uint32_t kMarkerLength = 4;

    FlashBootLoader(const MonitorDescription& description, SimMonitorState& state);
    // Works out the devices' regions; again whenever the devices are replaced.
    void layout();

    // A program or erase (or a test's direct write) touched [begin, end) of the scaler flash.
    void noteChange(uint32_t begin, uint32_t end);

    void bootScaler(SpiNorFlash& flash);
    void bootZv(const ZvFlashEngine& zv);
    bool anyMarkerSet(const SparseMemory& memory) const;

private:
    bool markerSet(const SparseMemory& memory, const DeviceDescription& device) const;

    const MonitorDescription& m_description;
    SimMonitorState& m_state;
    std::vector<uint32_t> m_regionEnd;  // per device
};

}  // namespace screenio::sim
