// SPDX-License-Identifier: Apache-2.0
#include "device/FeatureAccess.h"

#include "screenio/screenio.h"

namespace fwu::dev {

bool FeatureAccess::supports(Usage usage) const {
    uint8_t flag = 1;
    uint32_t count = 0;
    KmError status =
        KmGetFixedData(m_handle, usage.page, usage.usage, nullptr, nullptr, nullptr, &flag, &count);
    return status >= 0 && flag == 0;
}

uint32_t FeatureAccess::reportCount(Usage usage) const {
    uint8_t flag = 1;
    uint32_t count = 0;
    KmError status =
        KmGetFixedData(m_handle, usage.page, usage.usage, nullptr, nullptr, nullptr, &flag, &count);
    return status < 0 ? 0 : count;
}

KmError FeatureAccess::getData(Usage usage, std::vector<uint8_t>* bytes) const {
    if (!bytes) return KmErrorInvalidArgument;
    return KmGetFeatureArray(m_handle, usage.page, usage.usage, bytes->data(),
                             uint32_t(bytes->size()));
}

KmError FeatureAccess::setData(Usage usage, const std::vector<uint8_t>& bytes) const {
    return KmSetFeatureArray(m_handle, usage.page, usage.usage, bytes.data(),
                             uint32_t(bytes.size()));
}

KmError FeatureAccess::getValue(Usage usage, uint64_t* value) const {
    if (!value) return KmErrorInvalidArgument;
    int64_t cell = 0;
    KmError status = KmGetFeatureValue(m_handle, usage.page, usage.usage, &cell);
    *value = uint64_t(cell);
    return status;
}

KmError FeatureAccess::setValue(Usage usage, uint64_t value) const {
    return KmSetFeatureValue(m_handle, usage.page, usage.usage, int64_t(value));
}

}  // namespace fwu::dev
