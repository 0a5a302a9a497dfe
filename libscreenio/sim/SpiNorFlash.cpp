// SPDX-License-Identifier: Apache-2.0
#include "sim/SpiNorFlash.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

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

constexpr size_t kHeaderLength = 4;  // opcode and 24-bit address
constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusWel = 0x02;
constexpr uint8_t kStatusProtect = 0x1C;  // bits 2-4

}  // namespace

SpiNorFlash::SpiNorFlash(uint32_t size, Timing timing)
    : m_size(size), m_timing(timing), m_memory(size) {
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
        uint8_t value = 0xFF;  // an undriven line reads high
        if (m_selected && m_commandLength > 0 && !m_ignored) {
            if (m_command[0] == kReadStatus) {
                value = status();
            } else if (m_command[0] == kReadData && addressComplete()) {
                uint32_t start = commandAddress();
                if (start < m_size) {
                    value = m_memory.at(uint32_t((start + m_readOffset) % m_size));
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
        // Busy and the latch are read-only; only the protection bits take the host's byte.
        m_protection = m_command[1] & kStatusProtect;
        startBusy(m_timing.statusWriteUs);
        if (m_statusWritten) m_statusWritten(m_command[1]);
        return;
    case kSectorErase:
    case kBlockErase: executeErase(opcode); return;
    case kPageProgram: executeProgram(); return;
    default: return;  // read status, read data and unknown opcodes do nothing at the end
    }
}

uint32_t SpiNorFlash::protectedFrom() const {
    const unsigned level = m_protection >> 2;
    if (level == 0) return m_size;
    if (level == 7) return 0;
    const uint64_t top = uint64_t(kBlockSize) << (level - 1);
    return top >= m_size ? 0 : uint32_t(m_size - top);
}

bool SpiNorFlash::allowed(uint32_t end) const { return end <= protectedFrom(); }

void SpiNorFlash::executeErase(uint8_t opcode) {
    if (m_commandLength != kHeaderLength || !m_writeEnabled) return;
    const uint32_t address = commandAddress();
    if (address >= m_size) return;  // beyond the array: ignored, the latch stays
    m_writeEnabled = false;
    const uint32_t unit = opcode == kBlockErase ? kBlockSize : kSectorSize;
    const uint32_t start = address - address % unit;
    const uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(start) + unit, m_size));
    if (!allowed(end)) return;
    m_memory.erase(start, end);
    startBusy(opcode == kBlockErase ? m_timing.blockEraseUs : m_timing.sectorEraseUs);
    if (m_changed) m_changed(start, end);
}

void SpiNorFlash::executeProgram() {
    if (m_commandLength <= kHeaderLength || !m_writeEnabled) return;
    const uint32_t address = commandAddress();
    if (address >= m_size) return;
    m_writeEnabled = false;
    const uint32_t page = address - address % kPageSize;
    const uint32_t pageEnd = uint32_t(std::min<uint64_t>(uint64_t(page) + kPageSize, m_size));
    if (!allowed(pageEnd)) return;
    if (m_flipNext) {
        m_flipNext = false;
        m_command[kHeaderLength] ^= 0x01;
    }
    const uint32_t offset = address % kPageSize;
    const size_t latched = std::min<size_t>(m_commandLength - kHeaderLength, kPageSize);
    // The bytes wrap within the page: the page's image, 0xFF where nothing was latched.
    uint8_t image[kPageSize];
    std::fill_n(image, kPageSize, uint8_t(0xFF));
    for (size_t j = 0; j < latched; ++j)
        image[(offset + j) % kPageSize] = m_command[kHeaderLength + j];
    m_memory.program(page, image, pageEnd - page);
    startBusy(m_timing.pageProgramUs);
    if (m_changed) m_changed(page, pageEnd);
}

uint8_t SpiNorFlash::status() const {
    uint8_t value = 0;
    if (busy()) value |= kStatusBusy;
    if (m_writeEnabled) value |= kStatusWel;
    value |= m_protection;
    return value;
}

bool SpiNorFlash::busy() const { return m_stuckBusy || SimClock::nowUs() < m_busyUntilUs; }

bool SpiNorFlash::writeEnabled() const { return m_writeEnabled; }

bool SpiNorFlash::writeProtected() const { return m_protection != 0; }

uint8_t SpiNorFlash::protectionBits() const { return m_protection; }

void SpiNorFlash::setProtectionBits(uint8_t bits) { m_protection = bits & kStatusProtect; }

uint32_t SpiNorFlash::size() const { return m_size; }

const SparseMemory& SpiNorFlash::memory() const { return m_memory; }

std::vector<uint8_t> SpiNorFlash::contents(uint32_t address, uint32_t length) const {
    return m_memory.read(address, length);
}

void SpiNorFlash::replaceMemory(SparseMemory memory) {
    if (memory.size() != m_size) throw std::invalid_argument("SpiNorFlash: memory of another size");
    m_memory = std::move(memory);
}

void SpiNorFlash::load(uint32_t address, const uint8_t* bytes, size_t length) {
    if (length == 0) return;
    if (bytes == nullptr || address > m_size || length > m_size - address) {
        throw std::out_of_range("SpiNorFlash::load: bytes outside the flash");
    }
    m_memory.load(address, bytes, length);
}

void SpiNorFlash::setWriteProtected(bool on) { m_protection = on ? kStatusProtect : 0; }

void SpiNorFlash::onChange(std::function<void(uint32_t, uint32_t)> changed) {
    m_changed = std::move(changed);
}

void SpiNorFlash::onStatusWrite(std::function<void(uint8_t)> statusWritten) {
    m_statusWritten = std::move(statusWritten);
}

void SpiNorFlash::flipBitOnNextProgram() { m_flipNext = true; }

void SpiNorFlash::setStuckBusy(bool on) { m_stuckBusy = on; }

}  // namespace screenio::sim
