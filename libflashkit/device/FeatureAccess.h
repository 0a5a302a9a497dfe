// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "device/Usage.h"
#include "flashkit/flashkit.h"

namespace fwu::dev {

// Feature reports of one monitor handle of the monitor-control library: the layer every
// protocol class builds its requests on. Does not own the handle; cheap to copy.
class FeatureAccess {
public:
    explicit FeatureAccess(void* handle) : m_handle(handle) {}

    void* handle() const { return m_handle; }

    // Whether the monitor offers the feature at all.
    bool supports(Usage usage) const;
    // The feature's report length, 0 when the monitor does not offer it.
    uint32_t reportCount(Usage usage) const;
    KmError getData(Usage usage, std::vector<uint8_t>* bytes) const;  // reads bytes->size()
    KmError setData(Usage usage, const std::vector<uint8_t>& bytes) const;
    KmError getValue(Usage usage, uint64_t* value) const;
    KmError setValue(Usage usage, uint64_t value) const;

private:
    void* m_handle;
};

}  // namespace fwu::dev
