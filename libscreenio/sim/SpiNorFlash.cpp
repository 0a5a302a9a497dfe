#include "sim/SpiNorFlash.h"

#include <algorithm>
#include <stdexcept>

#include "sim/SimClock.h"

namespace screenio::sim {
namespace {

constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kReadData = 0x03;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kBlockErase = 0xD8;

constexpr size_t kHeaderLength = 4; // opcode and 24-bit address
constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusWel = 0x02;
constexpr uint8_t kStatusProtect = 0x1C; // bits 2-4

}  // namespace

SpiNorFlash::SpiNorFlash(uint32_t size, Timing timing)
    : m_size(size), m_timing(timing), m_memory(size, 0xFF) {
    m_command.reserve(kHeaderLength + kPageSize);
}

void SpiNorFlash::select() {
    // A select while selected starts over: the open command is dropped, not executed.
    m_command.clear();
    m_commandLength = 0;
    m_readOffset = 0;
    m_ignored = false;
    m_selected = true;
}

void SpiNorFlash::write(const uint8_t* bytes, size_t length) {
    if (!m_selected || bytes == nullptr) return;
    for (size_t i = 0; i < length; ++i) {
        if (m_commandLength == 0) {
            m_ignored = bytes[i] != kReadStatus && busy();
        }
        if (m_commandLength < kHeaderLength) {
            m_command.push_back(bytes[i]);
        } else {
            // From byte 4 on the bytes go into the 256-byte latch; later ones overwrite earlier
            // ones modulo 256, which is what a page program does with more than 256 bytes.
            size_t slot = kHeaderLength + (m_commandLength - kHeaderLength) % kPageSize;
            if (slot < m_command.size()) {
                m_command[slot] = bytes[i];
            } else {
                m_command.push_back(bytes[i]);
            }
            // Full duplex: a byte clocked in after a read's address also clocks one out.
            if (m_command[0] == kReadData) ++m_readOffset;
        }
        ++m_commandLength;
    }
}

void SpiNorFlash::read(uint8_t* bytes, size_t length) {
    if (bytes == nullptr) return;
    for (size_t i = 0; i < length; ++i) {
        uint8_t value = 0xFF; // an undriven line reads high
        if (m_selected && m_commandLength > 0 && !m_ignored) {
            if (m_command[0] == kReadStatus) {
                value = status();
            } else if (m_command[0] == kReadData && addressComplete()) {
                uint32_t start = commandAddress();
                if (start < m_size) {
                    value = m_memory[(start + m_readOffset) % m_size];
                }
                ++m_readOffset;
            }
        }
        bytes[i] = value;
    }
}

void SpiNorFlash::deselect() {
    if (!m_selected) return;
    m_selected = false;
    if (m_commandLength > 0 && !m_ignored) execute();
    m_command.clear();
    m_commandLength = 0;
    m_readOffset = 0;
    m_ignored = false;
}

void SpiNorFlash::abort() {
    m_selected = false;
    m_command.clear();
    m_commandLength = 0;
    m_readOffset = 0;
    m_ignored = false;
}

void SpiNorFlash::powerCycle() {
    abort();
    m_writeEnabled = false;
    m_busyUntilUs = 0;
}

bool SpiNorFlash::selected() const { return m_selected; }

bool SpiNorFlash::addressComplete() const { return m_commandLength >= kHeaderLength; }

uint32_t SpiNorFlash::commandAddress() const {
    return (uint32_t(m_command[1]) << 16) | (uint32_t(m_command[2]) << 8) | m_command[3];
}

void SpiNorFlash::startBusy(uint32_t microseconds) {
    m_busyUntilUs = SimClock::nowUs() + int64_t(microseconds);
}

void SpiNorFlash::execute() {
    // Busy again at the end (a stuck-busy fault injected mid-command): ignored as well.
    if (busy()) return;
    const uint8_t opcode = m_command[0];
    switch (opcode) {
    case kWriteEnable:
        if (m_commandLength == 1) m_writeEnabled = true;
        return;
    case kWriteDisable:
        if (m_commandLength == 1) m_writeEnabled = false;
        return;
    case kWriteStatus:
        if (m_commandLength != 2 || !m_writeEnabled) return;
        m_writeEnabled = false;
        m_protected = m_command[1] != 0;
        startBusy(m_timing.statusWriteUs);
        return;
    case kSectorErase:
    case kBlockErase: {
        if (m_commandLength != kHeaderLength || !m_writeEnabled) return;
        uint32_t address = commandAddress();
        if (address >= m_size) return; // beyond the array: ignored, the latch stays
        m_writeEnabled = false;
        if (m_protected) return;
        uint32_t unit = opcode == kBlockErase ? kBlockSize : kSectorSize;
        uint32_t start = address - address % unit;
        uint32_t end = std::min<uint64_t>(uint64_t(start) + unit, m_size);
        std::fill(m_memory.begin() + start, m_memory.begin() + end, uint8_t(0xFF));
        startBusy(opcode == kBlockErase ? m_timing.blockEraseUs : m_timing.sectorEraseUs);
        return;
    }
    case kPageProgram: {
        if (m_commandLength <= kHeaderLength || !m_writeEnabled) return;
        uint32_t address = commandAddress();
        if (address >= m_size) return;
        m_writeEnabled = false;
        if (m_protected) return;
        if (m_flipNext) {
            m_flipNext = false;
            m_command[kHeaderLength] ^= 0x01;
        }
        const uint32_t page = address - address % kPageSize;
        const uint32_t offset = address % kPageSize;
        const size_t latched = std::min<size_t>(m_commandLength - kHeaderLength, kPageSize);
        for (size_t j = 0; j < latched; ++j) {
            uint32_t target = page + uint32_t((offset + j) % kPageSize);
            if (target < m_size) m_memory[target] &= m_command[kHeaderLength + j];
        }
        startBusy(m_timing.pageProgramUs);
        return;
    }
    default:
        return; // read status, read data and unknown opcodes do nothing at the end
    }
}

uint8_t SpiNorFlash::status() const {
    uint8_t value = 0;
    if (busy()) value |= kStatusBusy;
    if (m_writeEnabled) value |= kStatusWel;
    if (m_protected) value |= kStatusProtect;
    return value;
}

bool SpiNorFlash::busy() const { return m_stuckBusy || SimClock::nowUs() < m_busyUntilUs; }

bool SpiNorFlash::writeEnabled() const { return m_writeEnabled; }

bool SpiNorFlash::writeProtected() const { return m_protected; }

uint32_t SpiNorFlash::size() const { return m_size; }

const std::vector<uint8_t>& SpiNorFlash::contents() const { return m_memory; }

void SpiNorFlash::load(uint32_t address, const uint8_t* bytes, size_t length) {
    if (length == 0) return;
    if (bytes == nullptr || address > m_size || length > m_size - address) {
        throw std::out_of_range("SpiNorFlash::load: bytes outside the flash");
    }
    std::copy(bytes, bytes + length, m_memory.begin() + address);
}

void SpiNorFlash::setWriteProtected(bool on) { m_protected = on; }

void SpiNorFlash::flipBitOnNextProgram() { m_flipNext = true; }

void SpiNorFlash::setStuckBusy(bool on) { m_stuckBusy = on; }

}  // namespace screenio::sim
