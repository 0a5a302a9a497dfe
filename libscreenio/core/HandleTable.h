// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/Device.h"

namespace screenio {

// The monitors of the current search and the handles given out for them. A handle encodes the
// search's generation and the monitor's index, so a handle of an earlier search is recognised
// and refused rather than dereferenced.
class HandleTable {
public:
    static HandleTable& instance();

    // Starts a new search with these monitors; earlier handles become invalid.
    void replace(std::vector<std::shared_ptr<Device>> devices);
    void clear();
    size_t size() const;
    // The handle of monitor `index`, or null when out of range.
    void* handleFor(size_t index) const;
    // Monitor `index` of the current search, or null when out of range.
    std::shared_ptr<Device> deviceAt(size_t index) const;
    // The monitor behind a handle of the current search, or null.
    std::shared_ptr<Device> lookup(const void* handle) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Device>> m_devices;
    uint32_t m_generation = 1;
};

}  // namespace screenio
