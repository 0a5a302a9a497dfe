// SPDX-License-Identifier: Apache-2.0
#include "core/HandleTable.h"

namespace screenio {
namespace {

// Low 16 bits: index + 1 (never 0, so no handle is null); the bits above: the generation.
constexpr unsigned kIndexBits = 16;
constexpr uintptr_t kIndexMask = (uintptr_t(1) << kIndexBits) - 1;

}  // namespace

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

void HandleTable::replace(std::vector<std::shared_ptr<Device>> devices) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (devices.size() >= kIndexMask) devices.resize(kIndexMask - 1);
    m_devices = std::move(devices);
    ++m_generation;
}

void HandleTable::clear() { replace({}); }

size_t HandleTable::size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_devices.size();
}

void* HandleTable::handleFor(size_t index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index >= m_devices.size()) return nullptr;
    uintptr_t value = (uintptr_t(m_generation) << kIndexBits) | (index + 1);
    return reinterpret_cast<void*>(value);
}

std::shared_ptr<Device> HandleTable::deviceAt(size_t index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return index < m_devices.size() ? m_devices[index] : nullptr;
}

std::shared_ptr<Device> HandleTable::lookup(const void* handle) const {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t index = value & kIndexMask;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index == 0 || (value >> kIndexBits) != uintptr_t(m_generation)) return nullptr;
    if (index - 1 >= m_devices.size()) return nullptr;
    return m_devices[index - 1];
}

}  // namespace screenio
