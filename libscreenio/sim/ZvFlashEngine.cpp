// SPDX-License-Identifier: Apache-2.0
#include "sim/ZvFlashEngine.h"

#include <algorithm>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "LittleEndian.h"
#include "sim/SimClock.h"
#include "sim/StateNumber.h"

namespace screenio::sim {
namespace {

constexpr uint8_t kOpWrite = 0;
constexpr uint8_t kOpErase = 2;
constexpr uint8_t kOpChecksum = 3;

}  // namespace

ZvFlashEngine::ZvFlashEngine(uint32_t flashSize, uint32_t eraseMs, uint32_t checksumMsPerBlock)
    : m_flash(flashSize), m_eraseMs(eraseMs), m_checksumMsPerBlock(checksumMsPerBlock) {}

bool ZvFlashEngine::busy() const { return SimClock::nowUs() < m_busyUntilUs; }

uint32_t ZvFlashEngine::size() const { return m_flash.size(); }

const SparseMemory& ZvFlashEngine::memory() const { return m_flash; }

bool ZvFlashEngine::dataChanges() const {
    return m_pending == Pending::Write ||
           (m_pending == Pending::Execute && m_operation == kOpErase);
}

KmError ZvFlashEngine::command(const uint8_t* report) {
    if (busy()) return SCREENIO_ERROR_REJECTED;
    uint8_t op = report[8];
    if (op != kOpWrite && op != kOpErase && op != kOpChecksum) return SCREENIO_ERROR_REJECTED;
    m_address = common::le::Get32(report);
    m_length = common::le::Get32(report + 4);
    m_operation = op;
    m_pending = op == kOpWrite ? Pending::Write : Pending::Execute;
    return 0;
}

KmError ZvFlashEngine::data(const uint8_t* report, bool flipBit) {
    if (busy() || m_pending == Pending::None) return SCREENIO_ERROR_REJECTED;
    if (m_pending == Pending::Write) {
        if (m_address > m_flash.size() || m_flash.size() - m_address < kPageSize)
            return SCREENIO_ERROR_REJECTED;
        m_pending = Pending::None;
        uint8_t page[kPageSize];
        std::copy_n(report, kPageSize, page);
        if (flipBit) page[0] ^= 1u;
        m_flash.program(m_address, page, kPageSize);
        return 0;
    }
    if (report[0] != 0xFF) return SCREENIO_ERROR_REJECTED;
    m_pending = Pending::None;
    m_hasChecksum = false;
    int64_t now = SimClock::nowUs();
    if (m_operation == kOpErase) {
        if (m_address % kBlockSize != 0 || m_address >= m_flash.size()) {
            m_status = kStatusFailed;
            return 0;
        }
        m_flash.erase(m_address, std::min<uint32_t>(m_address + kBlockSize, size()));
        m_status = kStatusDone;
        m_busyUntilUs = now + static_cast<int64_t>(m_eraseMs) * 1000;
        return 0;
    }
    if (m_address > m_flash.size() || m_flash.size() - m_address < m_length) {
        m_status = kStatusFailed;
        return 0;
    }
    m_checksum =
        0u -
        m_flash.byteSum(m_address, m_length);  // the host adds it to its own byte sum and expects 0
    m_hasChecksum = true;
    m_status = kStatusDone;
    uint64_t blocks = (static_cast<uint64_t>(m_length) + kBlockSize - 1) / kBlockSize;
    m_busyUntilUs = now + static_cast<int64_t>(blocks * m_checksumMsPerBlock * 1000);
    return 0;
}

void ZvFlashEngine::status(uint8_t* reply, bool stayBusy, bool corruptChecksum) const {
    std::fill_n(reply, kPageSize, 0);
    if (stayBusy || busy()) {
        reply[0] = kStatusBusy;
        return;
    }
    reply[0] = m_status;
    if (m_status == kStatusDone && m_hasChecksum)
        common::le::Put32(reply + 1, corruptChecksum ? m_checksum + 1 : m_checksum);
}

std::vector<uint8_t> ZvFlashEngine::read(uint32_t address, uint32_t length) const {
    return m_flash.read(address, length);
}

void ZvFlashEngine::load(uint32_t address, const std::vector<uint8_t>& bytes) {
    m_flash.load(address, bytes.data(), bytes.size());
}

void ZvFlashEngine::reset() {
    m_pending = Pending::None;
    m_status = kStatusDone;
    m_hasChecksum = false;
    m_busyUntilUs = 0;
}

nlohmann::json ZvFlashEngine::save() const {
    const char* pending = m_pending == Pending::Write     ? "write"
                          : m_pending == Pending::Execute ? "execute"
                                                          : "none";
    return {
        {"size", size()},
        {"sectors", m_flash.save()},
        {"pending", pending},
        {"address", m_address},
        {"length", m_length},
        {"operation", m_operation},
        {"status", m_status},
        {"hasChecksum", m_hasChecksum},
        {"checksum", m_checksum},
        {"busyLeftUs", std::max<int64_t>(0, m_busyUntilUs - SimClock::nowUs())},
    };
}

void ZvFlashEngine::restore(const nlohmann::json& state) {
    uint32_t stateSize = StateNumber<uint32_t>(state, "size");
    if (stateSize != size())
        throw std::runtime_error("ZV flash size " + std::to_string(stateSize) +
                                 " in the state differs from the monitor's " +
                                 std::to_string(size()));
    SparseMemory flash = SparseMemory::restore(size(), state.at("sectors"));
    std::string pending = state.at("pending").get<std::string>();
    if (pending != "none" && pending != "write" && pending != "execute")
        throw std::runtime_error("unknown ZV command state '" + pending + "'");
    m_flash = std::move(flash);
    m_pending = pending == "write"     ? Pending::Write
                : pending == "execute" ? Pending::Execute
                                       : Pending::None;
    m_address = StateNumber<uint32_t>(state, "address");
    m_length = StateNumber<uint32_t>(state, "length");
    m_operation = StateNumber<uint8_t>(state, "operation");
    m_status = StateNumber<uint8_t>(state, "status");
    m_hasChecksum = state.at("hasChecksum").get<bool>();
    m_checksum = StateNumber<uint32_t>(state, "checksum");
    m_busyUntilUs = StateDeadlineUs(state, "busyLeftUs", SimClock::nowUs());
}

}  // namespace screenio::sim
