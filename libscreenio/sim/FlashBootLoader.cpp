// SPDX-License-Identifier: Apache-2.0
#include "sim/FlashBootLoader.h"

#include <algorithm>

#include "sim/SimImage.h"
#include "sim/SpiNorFlash.h"
#include "sim/ZvFlashEngine.h"

namespace screenio::sim {
namespace {

constexpr uint32_t kSectorSize = 0x1000;

SimImage::Check InspectAt(const SparseMemory& memory, uint32_t address, uint32_t end) {
    const uint32_t available = end > address ? end - address : 0;
    return SimImage::inspect(
        [&memory, address](uint32_t offset, uint8_t* out, size_t length) {
            memory.read(address + offset, out, length);
        },
        available);
}

}  // namespace

FlashBootLoader::FlashBootLoader(const MonitorDescription& description, SimMonitorState& state)
    : m_description(description), m_state(state) {}

void FlashBootLoader::layout() {
    const std::vector<DeviceDescription>& devices = m_state.devices;
    m_regionEnd.assign(devices.size(), m_description.flashSize);
    for (size_t i = 0; i < devices.size(); ++i) {
        uint32_t& end = m_regionEnd[i];
        for (const DeviceDescription& other : devices) {
            if (other.address > devices[i].address) end = std::min(end, other.address);
            const uint32_t markerSector = other.flagAddress - other.flagAddress % kSectorSize;
            if (m_description.kind == MonitorKind::MStar && markerSector > devices[i].address)
                end = std::min(end, markerSector);
        }
    }
}

void FlashBootLoader::noteChange(uint32_t begin, uint32_t end) {
    for (size_t i = 0; i < m_state.devices.size(); ++i)
        if (begin < m_regionEnd[i] && end > m_state.devices[i].address)
            m_state.boot[i].imageInFlash = true;
}

bool FlashBootLoader::markerSet(const SparseMemory& memory, const DeviceDescription& device) const {
    if (device.flagAddress > memory.size() || memory.size() - device.flagAddress < kMarkerLength)
        return false;
    for (uint32_t i = 0; i < kMarkerLength; ++i)
        if (memory.at(device.flagAddress + i) != kMarkerByte) return false;
    return true;
}

bool FlashBootLoader::anyMarkerSet(const SparseMemory& memory) const {
    return std::any_of(m_state.devices.begin(), m_state.devices.end(),
                       [&](const DeviceDescription& d) { return markerSet(memory, d); });
}

void FlashBootLoader::bootScaler(SpiNorFlash& flash) {
    const uint8_t erased[kMarkerLength] = {0xFF, 0xFF, 0xFF, 0xFF};
    for (size_t i = 0; i < m_state.devices.size(); ++i) {
        DeviceDescription& device = m_state.devices[i];
        SimDeviceBoot& boot = m_state.boot[i];
        const bool marker = markerSet(flash.memory(), device);
        if (!boot.imageInFlash) {
            // The factory image is still in place and passes its check.
            boot.boots = true;
        } else {
            const SimImage::Check image = InspectAt(flash.memory(), device.address, m_regionEnd[i]);
            boot.boots = image.valid;
            if (image.valid) device.version = image.version;
        }
        if (marker && boot.boots) flash.load(device.flagAddress, erased, kMarkerLength);
    }
}

void FlashBootLoader::bootZv(const ZvFlashEngine& zv) {
    for (size_t i = 0; i < m_state.devices.size(); ++i) {
        DeviceDescription& device = m_state.devices[i];
        if (device.updateFlagIndex >= 32 || !(m_state.zvFlags >> device.updateFlagIndex & 1u))
            continue;
        const SimImage::Check image = InspectAt(zv.memory(), device.address, m_regionEnd[i]);
        m_state.boot[i].boots = image.valid;
        if (image.valid) device.version = image.version;
    }
    m_state.zvFlags = 0;
}

}  // namespace screenio::sim
