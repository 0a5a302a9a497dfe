// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace screenio::sim {

// The array of a simulated flash: erased bytes read 0xFF, and only the 4 KiB sectors that hold
// something else take memory, so a 16 MiB part that holds one image costs little to keep, copy
// and save. Both flash models (the scaler's serial flash and the ZV flash) store their contents
// here. Every access is bounds-checked against size().
class SparseMemory {
public:
    static constexpr uint32_t kSectorSize = 0x1000;

    explicit SparseMemory(uint32_t size = 0);
    SparseMemory(const SparseMemory& other);
    SparseMemory& operator=(const SparseMemory& other);
    SparseMemory(SparseMemory&&) noexcept = default;
    SparseMemory& operator=(SparseMemory&&) noexcept = default;
    ~SparseMemory();

    uint32_t size() const { return m_size; }
    uint8_t at(uint32_t address) const;  // 0xFF beyond the end
    // `length` bytes from `address`; bytes beyond the end read 0xFF.
    std::vector<uint8_t> read(uint32_t address, uint32_t length) const;
    void read(uint32_t address, uint8_t* out, size_t length) const;

    // Clears the bits that are 0 in `bytes`, as programming does. Throws std::out_of_range when
    // the bytes do not fit.
    void program(uint32_t address, const uint8_t* bytes, size_t length);
    // Sets [begin, end) to 0xFF; `end` is cut to size().
    void erase(uint32_t begin, uint32_t end);
    // Overwrites bytes, bypassing the flash rules (test set-up, persistence). Throws
    // std::out_of_range when the bytes do not fit.
    void load(uint32_t address, const uint8_t* bytes, size_t length);

    // Byte sum over [address, address + length), modulo 2^32; bytes beyond the end count 0xFF.
    uint32_t byteSum(uint32_t address, uint32_t length) const;

    // The sectors that are not erased: [{ "address", "data" (base64) }, ...].
    nlohmann::json save() const;
    // Throws std::runtime_error for a sector outside the array or a malformed entry.
    static SparseMemory restore(uint32_t size, const nlohmann::json& sectors);

private:
    using Sector = std::vector<uint8_t>;
    Sector* sectorFor(uint32_t address);             // allocates an erased sector
    const Sector* sectorAt(uint32_t address) const;  // null when erased
    void drop(uint32_t index);

    uint32_t m_size = 0;
    std::vector<std::unique_ptr<Sector>> m_sectors;  // one slot per sector; null = erased
};

}  // namespace screenio::sim
