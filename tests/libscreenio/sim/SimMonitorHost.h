// SPDX-License-Identifier: Apache-2.0
#pragma once
// The host's side of the monitor's reports, built byte by byte as the updater builds them, so
// the simulated monitor is tested through the same requests it will receive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimClock.h"
#include "sim/SimMonitor.h"

namespace screenio::sim::test {

inline void put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}
inline void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}
inline uint32_t get16(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8;
}
inline uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}
inline void putName(std::vector<uint8_t>& bytes, const std::string& name) {
    std::copy_n(name.begin(), 6, bytes.begin());
}
inline std::string nameOf(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.begin() + 6);
}
inline std::string textAt(const std::vector<uint8_t>& bytes, size_t at) {
    std::string text;
    for (size_t i = at; i < bytes.size() && bytes[i] != 0; ++i) text += char(bytes[i]);
    return text;
}

// Bit by bit, independent of the monitor's table-driven CRC.
inline uint32_t referenceCrc(uint32_t initial, const std::vector<uint8_t>& data) {
    uint32_t reg = initial;
    for (uint8_t byte : data) {
        reg ^= byte;
        for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1u)));
    }
    return ~reg;
}

// An image whose first bytes announce `version` to the monitor.
inline std::vector<uint8_t> versionedImage(uint32_t version, size_t size) {
    std::vector<uint8_t> image(size, 0);
    for (size_t i = 8; i < size; ++i) image[i] = uint8_t(i * 7 + 3);
    image[0] = 'S';
    image[1] = 'I';
    image[2] = 'M';
    image[3] = 'V';
    put32(image, 4, version);
    return image;
}

class SimHost {
public:
    explicit SimHost(SimMonitor& monitor)
        : m_monitor(monitor), m_connection(monitor.connection()) {}

    void reconnect() { m_connection = m_monitor.connection(); }
    // Simulated time each request spends on the link. The scaler flow sends its page programs
    // back to back and relies on that time to cover the flash's program time.
    void setLinkTime(int64_t microseconds) { m_linkUs = microseconds; }
    uint64_t connection() const { return m_connection; }

    KmError fixed(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) {
        return passed(m_monitor.getFixedData(m_connection, page, usage, offered, count));
    }
    uint32_t count(uint16_t page, uint16_t usage) {
        bool offered = false;
        uint32_t n = 0;
        EXPECT_EQ(fixed(page, usage, &offered, &n), 0);
        return n;
    }
    KmError get(uint16_t page, uint16_t usage, std::vector<uint8_t>* reply, uint32_t length) {
        reply->assign(length, 0xEE);
        return passed(m_monitor.getArray(m_connection, page, usage, reply->data(), length));
    }
    KmError set(uint16_t page, uint16_t usage, const std::vector<uint8_t>& report) {
        return passed(
            m_monitor.setArray(m_connection, page, usage, report.data(), uint32_t(report.size())));
    }
    KmError getValue(uint16_t page, uint16_t usage, int64_t* value) {
        return passed(m_monitor.getValue(m_connection, page, usage, value));
    }
    KmError setValue(uint16_t page, uint16_t usage, int64_t value) {
        return passed(m_monitor.setValue(m_connection, page, usage, value));
    }

    // ---- record files ----
    KmError selectFile(const std::string& name) {
        std::vector<uint8_t> report(10, 0);
        putName(report, name);
        return set(0xFF02, 0xC2, report);
    }
    KmError property(std::vector<uint8_t>* reply) { return get(0xFF02, 0xC3, reply, 16); }
    // Selects and reads; returns {recordSize, recordCount} and checks the name echo.
    std::pair<uint32_t, uint32_t> geometry(const std::string& name) {
        std::vector<uint8_t> reply;
        EXPECT_EQ(selectFile(name), 0);
        EXPECT_EQ(property(&reply), 0);
        EXPECT_EQ(nameOf(reply), name);
        return {get16(reply, 6), get16(reply, 8)};
    }
    KmError create(const std::string& name, uint32_t recordSize, uint32_t recordCount) {
        std::vector<uint8_t> report(16, 0);
        putName(report, name);
        put16(report, 6, recordSize);
        put16(report, 8, recordCount);
        return set(0xFF02, 0xC3, report);
    }
    KmError writePage(const std::string& name, uint32_t record, uint32_t page, const uint8_t* data,
                      size_t length) {
        std::vector<uint8_t> report(522, 0);
        putName(report, name);
        put16(report, 6, record);
        put16(report, 8, page);
        std::copy_n(data, std::min<size_t>(length, 512), report.begin() + 10);
        return set(0xFF02, 0xFE, report);
    }
    KmError requestPage(const std::string& name, uint32_t record, uint32_t page) {
        std::vector<uint8_t> report(522, 0);
        putName(report, name);
        put16(report, 6, record);
        put16(report, 8, page);
        return set(0xFF02, 0xFD, report);
    }
    KmError readPage(std::vector<uint8_t>* reply) { return get(0xFF02, 0xFD, reply, 522); }
    // Writes a whole file record by record, page by page, as the transfer does.
    void writeFile(const std::string& name, uint32_t recordSize,
                   const std::vector<uint8_t>& content) {
        const uint32_t pages = (recordSize + 511) / 512;
        for (uint32_t r = 0; r * recordSize < content.size(); ++r)
            for (uint32_t p = 0; p < pages; ++p) {
                size_t at = size_t(r) * recordSize + size_t(p) * 512;
                size_t length = std::min<size_t>(512, recordSize - p * 512);
                ASSERT_EQ(writePage(name, r, p, content.data() + at, length), 0)
                    << "record " << r << " page " << p;
            }
    }
    KmError triggerCrc(const std::string& name, uint32_t initial) {
        std::vector<uint8_t> report(15, 0);
        putName(report, name);
        put32(report, 6, initial);
        return set(0xFF02, 0xFC, report);
    }
    KmError crcResult(std::vector<uint8_t>* reply) { return get(0xFF02, 0xFC, reply, 15); }
    // The whole temporary-file transfer of one image, ending with a finished CRC.
    void transfer(const std::string& name, uint32_t recordSize, const std::vector<uint8_t>& image,
                  int64_t crcBusyMs) {
        ASSERT_EQ(create(name, recordSize, uint32_t(image.size() / recordSize)), 0);
        writeFile(name, recordSize, image);
        ASSERT_EQ(triggerCrc(name, 0xFEEDBEEF), 0);
        SimClock::advance(crcBusyMs * 1000);
        std::vector<uint8_t> reply;
        ASSERT_EQ(crcResult(&reply), 0);
        ASSERT_EQ(reply[10], 0);
        ASSERT_EQ(get32(reply, 11), referenceCrc(0xFEEDBEEF, image));
    }

    // ---- older version query ----
    KmError queryVersion(uint32_t device, std::vector<uint8_t>* reply) {
        std::vector<uint8_t> request(18, 0);
        put16(request, 0, device);
        KmError status = set(0xFF00, 0xD8, request);
        if (status < 0) return status;
        return get(0xFF00, 0xD8, reply, 18);
    }

    // ---- ZV ----
    KmError zvCommand(uint32_t address, uint32_t length, uint8_t op) {
        std::vector<uint8_t> report(9, 0);
        put32(report, 0, address);
        put32(report, 4, length);
        report[8] = op;
        return set(0xFF01, 0x122, report);
    }
    KmError zvExecute() {
        std::vector<uint8_t> report(256, 0);
        report[0] = 0xFF;
        return set(0xFF01, 0x123, report);
    }
    KmError zvStatus(std::vector<uint8_t>* reply) { return get(0xFF01, 0x123, reply, 256); }
    KmError zvWrite(uint32_t address, const std::vector<uint8_t>& data) {
        KmError status = zvCommand(address, 256, 0);
        if (status < 0) return status;
        std::vector<uint8_t> report(256, 0);
        std::copy_n(data.begin(), std::min<size_t>(256, data.size()), report.begin());
        return set(0xFF01, 0x123, report);
    }
    KmError zvFlag(uint32_t index, uint8_t value) {
        return set(0xFF02, 0x110, {0, uint8_t(index), value});
    }

    // ---- scaler bridge ----
    KmError scalerAddress(uint16_t target, uint16_t length) {
        std::vector<uint8_t> report(4, 0);
        put16(report, 0, target);
        put16(report, 2, length);
        return set(0xFF30, 0x10, report);
    }
    KmError scalerWrite(uint16_t target, const std::vector<uint8_t>& data) {
        KmError status = scalerAddress(target, uint16_t(data.size()));
        if (status < 0) return status;
        std::vector<uint8_t> report(262, 0);
        std::copy(data.begin(), data.end(), report.begin() + 2);
        return set(0xFF30, 0x11, report);
    }
    KmError scalerRead(uint16_t target, uint16_t length, std::vector<uint8_t>* out,
                       uint32_t* echoed) {
        KmError status = scalerAddress(target, length);
        if (status < 0) return status;
        std::vector<uint8_t> report;
        status = get(0xFF30, 0x11, &report, 262);
        if (status < 0) return status;
        *echoed = get16(report, 0);
        out->assign(report.begin() + 2, report.begin() + 2 + length);
        return status;
    }
    KmError flashCommand(const std::vector<uint8_t>& bytes) {
        KmError status = scalerWrite(0x1092, bytes);
        return status < 0 ? status : scalerWrite(0x1292, {});
    }
    KmError enterIsp() {
        KmError status = scalerWrite(0x4D92, {'V', 'R', 'N', 'X'});
        return status < 0 ? status : scalerWrite(0x4D92, {'V', 'R', 'N', 'X'});
    }
    KmError flashStatus(uint8_t* status) {
        KmError result = scalerWrite(0x1092, {0x05});
        if (result < 0) return result;
        std::vector<uint8_t> byte;
        uint32_t echoed = 0;
        result = scalerRead(0x1192, 1, &byte, &echoed);
        if (result < 0) return result;
        *status = byte[0];
        return scalerWrite(0x1292, {});
    }
    KmError setProtection(bool protect) {
        KmError status = 0;
        if (!protect) {
            uint8_t ignored = 0;
            if ((status = flashStatus(&ignored)) < 0) return status;
        }
        if ((status = flashCommand({0x06})) < 0) return status;
        if ((status = flashCommand({0x01, uint8_t(protect ? 1 : 0)})) < 0) return status;
        return flashCommand({0x04});
    }
    KmError flashErase(uint8_t opcode, uint32_t address) {
        KmError status = flashCommand({0x06});
        if (status < 0) return status;
        return flashCommand(
            {opcode, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)});
    }
    KmError flashProgram(uint32_t address, const std::vector<uint8_t>& data) {
        KmError status = flashCommand({0x06});
        if (status < 0) return status;
        std::vector<uint8_t> bytes = {0x02, uint8_t(address >> 16), uint8_t(address >> 8),
                                      uint8_t(address)};
        bytes.resize(260, 0);
        std::copy_n(data.begin(), std::min<size_t>(256, data.size()), bytes.begin() + 4);
        return flashCommand(bytes);
    }
    KmError flashRead(uint32_t address, uint16_t length, std::vector<uint8_t>* out) {
        KmError status = scalerWrite(
            0x1092, {0x03, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)});
        if (status < 0) return status;
        uint32_t echoed = 0;
        status = scalerRead(0x1192, length, out, &echoed);
        if (status < 0) return status;
        EXPECT_EQ(echoed, length);
        return scalerWrite(0x1292, {});
    }
    // Polls every 100 ms of simulated time until the flash is idle.
    KmError waitReady(int reads = 602) {
        for (int n = 0; n < reads; ++n) {
            uint8_t status = 0x01;
            KmError result = flashStatus(&status);
            if (result < 0) return result;
            SimClock::advance(100000);
            if (!(status & 1)) return 0;
        }
        return SCREENIO_ERROR_TIMEOUT;
    }

private:
    KmError passed(KmError status) {
        if (m_linkUs > 0) SimClock::advance(m_linkUs);
        return status;
    }

    SimMonitor& m_monitor;
    uint64_t m_connection;
    int64_t m_linkUs = 0;
};

}  // namespace screenio::sim::test
