// SPDX-License-Identifier: Apache-2.0
#include "sim/SparseMemory.h"

#include <algorithm>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/Base64.h"
#include "sim/StateNumber.h"

namespace screenio::sim {
namespace {

bool Fits(uint32_t size, uint32_t address, size_t length) {
    return address <= size && length <= size - address;
}

}  // namespace

SparseMemory::SparseMemory(uint32_t size)
    : m_size(size), m_sectors((size_t(size) + kSectorSize - 1) / kSectorSize) {}

SparseMemory::SparseMemory(const SparseMemory& other)
    : m_size(other.m_size), m_sectors(other.m_sectors.size()) {
    for (size_t i = 0; i < m_sectors.size(); ++i)
        if (other.m_sectors[i]) m_sectors[i] = std::make_unique<Sector>(*other.m_sectors[i]);
}

SparseMemory& SparseMemory::operator=(const SparseMemory& other) {
    if (this != &other) *this = SparseMemory(other);
    return *this;
}

SparseMemory::~SparseMemory() = default;

SparseMemory::Sector* SparseMemory::sectorFor(uint32_t address) {
    std::unique_ptr<Sector>& slot = m_sectors[address / kSectorSize];
    if (!slot) slot = std::make_unique<Sector>(kSectorSize, uint8_t(0xFF));
    return slot.get();
}

const SparseMemory::Sector* SparseMemory::sectorAt(uint32_t address) const {
    return m_sectors[address / kSectorSize].get();
}

void SparseMemory::drop(uint32_t index) {
    const Sector* sector = m_sectors[index].get();
    if (sector && std::all_of(sector->begin(), sector->end(), [](uint8_t b) { return b == 0xFF; }))
        m_sectors[index].reset();
}

uint8_t SparseMemory::at(uint32_t address) const {
    if (address >= m_size) return 0xFF;
    const Sector* sector = sectorAt(address);
    return sector ? (*sector)[address % kSectorSize] : uint8_t(0xFF);
}

std::vector<uint8_t> SparseMemory::read(uint32_t address, uint32_t length) const {
    std::vector<uint8_t> out(length, 0xFF);
    read(address, out.data(), out.size());
    return out;
}

void SparseMemory::read(uint32_t address, uint8_t* out, size_t length) const {
    size_t done = 0;
    while (done < length) {
        const uint64_t at = uint64_t(address) + done;
        if (at >= m_size) {
            std::fill(out + done, out + length, uint8_t(0xFF));
            return;
        }
        const uint32_t offset = uint32_t(at % kSectorSize);
        const size_t chunk = std::min<size_t>(length - done, kSectorSize - offset);
        const Sector* sector = sectorAt(uint32_t(at));
        if (sector)
            std::copy_n(sector->begin() + offset, chunk, out + done);
        else
            std::fill_n(out + done, chunk, uint8_t(0xFF));
        done += chunk;
    }
}

void SparseMemory::program(uint32_t address, const uint8_t* bytes, size_t length) {
    if (length == 0) return;
    if (bytes == nullptr || !Fits(m_size, address, length))
        throw std::out_of_range("SparseMemory::program: bytes outside the array");
    size_t done = 0;
    while (done < length) {
        const uint32_t at = uint32_t(address + done);
        const uint32_t offset = at % kSectorSize;
        const size_t chunk = std::min<size_t>(length - done, kSectorSize - offset);
        // Programming all-ones changes nothing: no need to allocate for it.
        if (std::any_of(bytes + done, bytes + done + chunk, [](uint8_t b) { return b != 0xFF; })) {
            uint8_t* target = sectorFor(at)->data() + offset;
            for (size_t i = 0; i < chunk; ++i) target[i] &= bytes[done + i];
        }
        done += chunk;
    }
}

void SparseMemory::erase(uint32_t begin, uint32_t end) {
    end = std::min(end, m_size);
    for (uint32_t at = begin; at < end;) {
        const uint32_t offset = at % kSectorSize;
        const uint32_t chunk = std::min(end - at, kSectorSize - offset);
        const uint32_t index = at / kSectorSize;
        if (offset == 0 && chunk == kSectorSize) {
            m_sectors[index].reset();
        } else if (Sector* sector = m_sectors[index].get()) {
            std::fill_n(sector->begin() + offset, chunk, uint8_t(0xFF));
            drop(index);
        }
        at += chunk;
    }
}

void SparseMemory::load(uint32_t address, const uint8_t* bytes, size_t length) {
    if (length == 0) return;
    if (bytes == nullptr || !Fits(m_size, address, length))
        throw std::out_of_range("SparseMemory::load: bytes outside the array");
    size_t done = 0;
    while (done < length) {
        const uint32_t at = uint32_t(address + done);
        const uint32_t offset = at % kSectorSize;
        const size_t chunk = std::min<size_t>(length - done, kSectorSize - offset);
        std::copy_n(bytes + done, chunk, sectorFor(at)->begin() + offset);
        drop(at / kSectorSize);
        done += chunk;
    }
}

uint32_t SparseMemory::byteSum(uint32_t address, uint32_t length) const {
    uint32_t sum = 0;
    uint64_t at = address;
    const uint64_t end = uint64_t(address) + length;
    while (at < end) {
        if (at >= m_size) return sum + uint32_t((end - at) * 0xFFu);
        const uint32_t offset = uint32_t(at % kSectorSize);
        const uint32_t chunk = uint32_t(std::min<uint64_t>(end - at, kSectorSize - offset));
        const Sector* sector = sectorAt(uint32_t(at));
        if (!sector) {
            sum += chunk * 0xFFu;
        } else {
            const uint8_t* bytes = sector->data() + offset;
            for (uint32_t i = 0; i < chunk; ++i) sum += bytes[i];
        }
        at += chunk;
    }
    return sum;
}

nlohmann::json SparseMemory::save() const {
    nlohmann::json sectors = nlohmann::json::array();
    for (size_t i = 0; i < m_sectors.size(); ++i) {
        if (!m_sectors[i]) continue;
        const uint32_t address = uint32_t(i * kSectorSize);
        const uint32_t length = std::min(kSectorSize, m_size - address);
        sectors.push_back(
            {{"address", address}, {"data", Base64::encode(m_sectors[i]->data(), length)}});
    }
    return sectors;
}

SparseMemory SparseMemory::restore(uint32_t size, const nlohmann::json& sectors) {
    if (!sectors.is_array()) throw std::runtime_error("flash sectors are not a list");
    SparseMemory memory(size);
    for (const nlohmann::json& sector : sectors) {
        const uint32_t at = StateNumber<uint32_t>(sector, "address");
        const std::vector<uint8_t> bytes = Base64::decode(sector.at("data").get<std::string>());
        if (!Fits(size, at, bytes.size()))
            throw std::runtime_error("flash sector at " + std::to_string(at) +
                                     " lies outside the flash");
        memory.load(at, bytes.data(), bytes.size());
    }
    return memory;
}

}  // namespace screenio::sim
