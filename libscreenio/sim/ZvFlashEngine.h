// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "screenio/screenio.h"
#include "sim/SparseMemory.h"

namespace screenio::sim {

// The ZV flash behind FF01/122 (command) and FF01/123 (page data, execute request, status):
// a flat flash that starts erased, programmed by clearing bits, with busy periods for erase
// and checksum.
class ZvFlashEngine {
public:
    static constexpr uint32_t kBlockSize = 0x10000;
    static constexpr uint32_t kPageSize = 256;
    static constexpr uint8_t kStatusDone = 1;
    static constexpr uint8_t kStatusBusy = 2;
    static constexpr uint8_t kStatusFailed = 3;

    ZvFlashEngine(uint32_t flashSize, uint32_t eraseMs, uint32_t checksumMsPerBlock);

    // FF01/122 set, 9 bytes.
    KmError command(const uint8_t* report);
    // FF01/123 set, 256 bytes. `flipBit` flips bit 0 of the first byte a write programs.
    KmError data(const uint8_t* report, bool flipBit);
    // FF01/123 get, 256 bytes.
    void status(uint8_t* reply, bool stayBusy, bool corruptChecksum) const;
    bool busy() const;

    // Whether a data report (FF01/123 set) now would change the flash: it would carry a page or
    // execute an erase, not a checksum.
    bool dataChanges() const;

    uint32_t size() const;
    const SparseMemory& memory() const;
    std::vector<uint8_t> read(uint32_t address, uint32_t length) const;  // FF beyond the end
    // Set-up, no flash rules. Throws std::out_of_range when the bytes do not fit.
    void load(uint32_t address, const std::vector<uint8_t>& bytes);
    // A restart forgets the command in progress.
    void reset();

    nlohmann::json save() const;
    void restore(const nlohmann::json& state);  // throws std::runtime_error on a bad shape

private:
    enum class Pending { None, Write, Execute };

    SparseMemory m_flash;
    uint32_t m_eraseMs;
    uint32_t m_checksumMsPerBlock;
    Pending m_pending = Pending::None;
    uint32_t m_address = 0;
    uint32_t m_length = 0;
    uint8_t m_operation = 0;
    uint8_t m_status = kStatusDone;
    bool m_hasChecksum = false;  // the last finished command was a checksum
    uint32_t m_checksum = 0;
    int64_t m_busyUntilUs = 0;
};

}  // namespace screenio::sim
