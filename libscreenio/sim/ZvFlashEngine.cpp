#include "sim/ZvFlashEngine.h"

#include <algorithm>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/Base64.h"
#include "sim/LittleEndian.h"
#include "sim/SimClock.h"

namespace screenio::sim {
namespace {

constexpr uint8_t kOpWrite = 0;
constexpr uint8_t kOpErase = 2;
constexpr uint8_t kOpChecksum = 3;
constexpr uint32_t kSectorSize = 0x1000;

}  // namespace

ZvFlashEngine::ZvFlashEngine(uint32_t flashSize, uint32_t eraseMs, uint32_t checksumMsPerBlock)
    : m_flash(flashSize, 0xFF), m_eraseMs(eraseMs), m_checksumMsPerBlock(checksumMsPerBlock) {}

bool ZvFlashEngine::busy() const { return SimClock::nowUs() < m_busyUntilUs; }

uint32_t ZvFlashEngine::size() const { return static_cast<uint32_t>(m_flash.size()); }

KmError ZvFlashEngine::command(const uint8_t* report) {
    if (busy()) return SCREENIO_ERROR_REJECTED;
    uint8_t op = report[8];
    if (op != kOpWrite && op != kOpErase && op != kOpChecksum) return SCREENIO_ERROR_REJECTED;
    m_address = le::get32(report);
    m_length = le::get32(report + 4);
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
        // Through a local pointer, so the loop is not a byte at a time re-reading the members.
        uint8_t* target = m_flash.data() + m_address;
        target[0] &= flipBit ? static_cast<uint8_t>(report[0] ^ 1u) : report[0];
        for (uint32_t i = 1; i < kPageSize; ++i) target[i] &= report[i];
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
        uint32_t end = std::min<uint32_t>(m_address + kBlockSize, size());
        std::fill(m_flash.begin() + m_address, m_flash.begin() + end, 0xFF);
        m_status = kStatusDone;
        m_busyUntilUs = now + static_cast<int64_t>(m_eraseMs) * 1000;
        return 0;
    }
    if (m_address > m_flash.size() || m_flash.size() - m_address < m_length) {
        m_status = kStatusFailed;
        return 0;
    }
    uint32_t sum = 0;
    const uint8_t* bytes = m_flash.data() + m_address;
    for (uint32_t i = 0, n = m_length; i < n; ++i) sum += bytes[i];
    m_checksum = 0u - sum; // the host adds it to its own byte sum and expects 0
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
        le::put32(reply + 1, corruptChecksum ? m_checksum + 1 : m_checksum);
}

std::vector<uint8_t> ZvFlashEngine::read(uint32_t address, uint32_t length) const {
    std::vector<uint8_t> out(length, 0xFF);
    for (uint32_t i = 0; i < length && static_cast<uint64_t>(address) + i < m_flash.size(); ++i)
        out[i] = m_flash[address + i];
    return out;
}

void ZvFlashEngine::load(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size() && address + i < m_flash.size(); ++i)
        m_flash[address + i] = bytes[i];
}

void ZvFlashEngine::reset() {
    m_pending = Pending::None;
    m_status = kStatusDone;
    m_hasChecksum = false;
    m_busyUntilUs = 0;
}

nlohmann::json ZvFlashEngine::save() const {
    nlohmann::json sectors = nlohmann::json::array();
    for (uint32_t at = 0; at < m_flash.size(); at += kSectorSize) {
        uint32_t length = std::min<uint32_t>(kSectorSize, size() - at);
        auto begin = m_flash.begin() + at;
        if (std::all_of(begin, begin + length, [](uint8_t b) { return b == 0xFF; })) continue;
        sectors.push_back({{"address", at}, {"data", Base64::encode(&m_flash[at], length)}});
    }
    const char* pending = m_pending == Pending::Write     ? "write"
                          : m_pending == Pending::Execute ? "execute"
                                                          : "none";
    return {
        {"size", size()},
        {"sectors", sectors},
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
    uint32_t stateSize = state.at("size").get<uint32_t>();
    if (stateSize != size())
        throw std::runtime_error("ZV flash size " + std::to_string(stateSize) +
                                 " in the state differs from the monitor's " + std::to_string(size()));
    std::vector<uint8_t> flash(m_flash.size(), 0xFF);
    for (const nlohmann::json& sector : state.at("sectors")) {
        uint32_t at = sector.at("address").get<uint32_t>();
        std::vector<uint8_t> bytes = Base64::decode(sector.at("data").get<std::string>());
        if (at > flash.size() || flash.size() - at < bytes.size())
            throw std::runtime_error("ZV flash sector at " + std::to_string(at) + " lies outside the flash");
        std::copy(bytes.begin(), bytes.end(), flash.begin() + at);
    }
    std::string pending = state.at("pending").get<std::string>();
    if (pending != "none" && pending != "write" && pending != "execute")
        throw std::runtime_error("unknown ZV command state '" + pending + "'");
    m_flash = std::move(flash);
    m_pending = pending == "write" ? Pending::Write : pending == "execute" ? Pending::Execute : Pending::None;
    m_address = state.at("address").get<uint32_t>();
    m_length = state.at("length").get<uint32_t>();
    m_operation = state.at("operation").get<uint8_t>();
    m_status = state.at("status").get<uint8_t>();
    m_hasChecksum = state.at("hasChecksum").get<bool>();
    m_checksum = state.at("checksum").get<uint32_t>();
    m_busyUntilUs = SimClock::nowUs() + state.at("busyLeftUs").get<int64_t>();
}

}  // namespace screenio::sim
