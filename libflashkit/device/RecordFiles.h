// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device/FeatureAccess.h"
#include "flashkit/flashkit.h"

namespace fwu::dev {

// The record-file system on the monitor: properties, temporary files, page and record access,
// and the monitor's CRC-32. File names are six characters; a shorter one is refused.
class RecordFiles {
public:
    struct Property {
        uint16_t recordSize = 0;
        uint16_t recordCount = 0;
    };
    struct Crc32Result {
        uint32_t value = 0;  // reported by the monitor, not interpreted
        uint32_t crc = 0;
        bool busy = false;
    };

    static constexpr uint32_t kPageSize = 512;

    explicit RecordFiles(FeatureAccess features) : m_features(features) {}

    KmError getProperty(const char* name, Property* property) const;
    // The record count of the device file "KFW000", 0 when the monitor has none.
    uint16_t deviceFileRecords() const;
    KmError createTemporary(const char* name, const Property& property) const;

    KmError writePage(const char* name, uint16_t record, uint16_t page, const uint8_t* data,
                      uint32_t length) const;
    KmError writeRecord(const char* name, uint16_t record, const uint8_t* data, uint32_t length,
                        const FWTransferProgress& progress, FWTransferProgressCallback callback,
                        void* userData) const;
    KmError readPage(const char* name, uint16_t record, uint16_t page, uint8_t* buffer,
                     uint32_t length) const;
    KmError readRecord(const char* name, uint16_t record, std::vector<uint8_t>* bytes) const;
    KmError readRecord(const char* name, uint16_t record, std::string* text) const;
    KmError readRecord(const char* name, uint16_t record, uint32_t* value) const;

    KmError triggerCrc32(const char* name, uint32_t initial) const;
    KmError getCrc32Result(const char* name, Crc32Result* result) const;

private:
    FeatureAccess m_features;
};

}  // namespace fwu::dev
