// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "screenio/screenio.h"

namespace screenio::sim {

// One file of the monitor: `recordCount` records of `recordSize` bytes.
struct RecordFile {
    std::string name;  // six characters
    uint16_t recordSize = 0;
    uint16_t recordCount = 0;
    std::vector<uint8_t> content;
    bool temporary = false;  // created by the host; dropped at the next restart
    bool readOnly = false;   // generated from the monitor's state; refuses page writes
    // Temporary files: which pages were written since creation (record-major order).
    std::vector<bool> writtenPages;
    // Grows with every page write, so a CRC knows whether it still covers the content.
    uint64_t writeGeneration = 0;

    bool crcStarted = false;
    uint64_t crcGeneration = 0;  // writeGeneration when the CRC was started
    int64_t crcBusyUntilUs = 0;  // SimClock::nowUs
    uint32_t crcValue = 0;

    uint32_t pagesPerRecord() const { return (recordSize + 511u) / 512u; }
    uint32_t byteSize() const { return static_cast<uint32_t>(recordSize) * recordCount; }
};

// The monitor's record file system: page reads and writes, temporary files, the CRC engine.
// Names are the six bytes of a request, compared exactly.
class RecordFileSystem {
public:
    static constexpr uint32_t kPageSize = 512;

    void addPermanent(const std::string& name, uint16_t recordSize, uint16_t recordCount,
                      const std::vector<uint8_t>& content, bool readOnly);
    // Replaces a file's content (zero-filled or cut to its size); the file must exist.
    void setContent(const std::string& name, const std::vector<uint8_t>& content);

    const RecordFile* find(const std::string& name) const;
    std::vector<const RecordFile*> files() const;

    // Creates or re-creates a zero-filled temporary file. REJECTED for a zero geometry, for a
    // name that is not printable ASCII, and for the name of a permanent file.
    KmError createTemporary(const std::string& name, uint16_t recordSize, uint16_t recordCount);
    // Writes min(512, recordSize - page*512) bytes of `data` (512 bytes).
    KmError writePage(const std::string& name, uint16_t record, uint16_t page, const uint8_t* data);
    // Fills 512 bytes: the page's bytes, zeros beyond the record.
    KmError readPage(const std::string& name, uint16_t record, uint16_t page, uint8_t* out) const;
    KmError checkPage(const std::string& name, uint16_t record, uint16_t page) const;
    KmError startCrc(const std::string& name, uint32_t initial, int64_t nowUs, int64_t busyUs);

    static bool crcBusy(const RecordFile& file, int64_t nowUs);
    // Every page written since creation and a finished CRC that started after the last write.
    static bool completeAndVerified(const RecordFile& file, int64_t nowUs);

    void removeTemporaries();
    void clear();

    nlohmann::json save(int64_t nowUs) const;
    // A file as `save` wrote it; busy deadlines are carried as the time left.
    static RecordFile fileFromJson(const nlohmann::json& entry, int64_t nowUs);
    void put(RecordFile file);

private:
    RecordFile* findMutable(const std::string& name);

    std::map<std::string, RecordFile> m_files;
};

}  // namespace screenio::sim
