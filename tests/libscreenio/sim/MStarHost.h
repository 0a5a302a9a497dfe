// SPDX-License-Identifier: Apache-2.0
#pragma once
// The host side of the scaler ISP protocol, for the tests of the
// simulated bridge and flash: the same report layouts and the same sequences of requests that
// fwu::dev::Monitor sends, so the tests see the bridge as the updater does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/MStarBridge.h"
#include "sim/SimClock.h"

namespace screenio::sim::test {

class MStarHost {
public:
    static constexpr uint32_t kReportLength = MStarBridge::kDataReportLength;

    explicit MStarHost(MStarBridge& bridge) : m_bridge(bridge) {}

    // Simulated time each request takes on the link (0: requests take no time at all).
    void setLinkLatency(int64_t microseconds) { m_latencyUs = microseconds; }

    KmError setScalarAddress(uint16_t target, uint16_t length) {
        uint8_t report[4] = {uint8_t(target), uint8_t(target >> 8), uint8_t(length),
                             uint8_t(length >> 8)};
        return passed(m_bridge.setAddress(report, sizeof(report)));
    }

    KmError writeScalarData(uint16_t target, const std::vector<uint8_t>& data) {
        KmError status = setScalarAddress(target, uint16_t(data.size()));
        if (status < 0) return status;
        std::vector<uint8_t> report(kReportLength, 0);
        std::copy(data.begin(), data.end(), report.begin() + 2);
        return passed(m_bridge.writeData(report.data(), uint32_t(report.size())));
    }

    // Checks the reply's length field as the host does; a mismatch fails the test.
    KmError readScalarData(uint16_t target, uint16_t length, std::vector<uint8_t>* out) {
        KmError status = setScalarAddress(target, length);
        if (status < 0) return status;
        std::vector<uint8_t> report(kReportLength, 0xEE);
        status = passed(m_bridge.readData(report.data(), uint32_t(report.size())));
        if (status < 0) return status;
        EXPECT_EQ(report[0] | (report[1] << 8), length);
        for (size_t i = 2 + length; i < report.size(); ++i) {
            EXPECT_EQ(report[i], 0) << "reply byte " << i << " beyond the data";
        }
        out->assign(report.begin() + 2, report.begin() + 2 + length);
        return status;
    }

    KmError command(const std::vector<uint8_t>& bytes) { return writeScalarData(0x1092, bytes); }
    KmError end() { return writeScalarData(0x1292, {}); }
    KmError commandAndEnd(const std::vector<uint8_t>& bytes) {
        KmError status = command(bytes);
        return status < 0 ? status : end();
    }

    KmError enterIsp() {
        KmError status = writeScalarData(0x4D92, {'V', 'R', 'N', 'X'});
        return status < 0 ? status : writeScalarData(0x4D92, {'V', 'R', 'N', 'X'});
    }
    KmError leaveIsp() { return writeScalarData(0x2492, {}); }

    // mstarReadFlashStatus, returning the whole status byte (0xEE when unread).
    KmError readStatus(uint8_t* status) {
        *status = 0xEE;
        KmError result = command({0x05});
        if (result < 0) return result;
        std::vector<uint8_t> byte;
        result = readScalarData(0x1192, 1, &byte);
        if (result < 0) return result;
        *status = byte[0];
        return end();
    }
    uint8_t status() {
        uint8_t value = 0;
        EXPECT_EQ(readStatus(&value), 0);
        return value;
    }

    KmError writeEnable() { return commandAndEnd({0x06}); }

    // mstarSetSWFlashWriteProtection
    KmError setProtection(bool protect) {
        KmError status = 0;
        if (!protect) {
            uint8_t ignored = 0;
            status = readStatus(&ignored);
            if (status < 0) return status;
        }
        if ((status = writeEnable()) < 0) return status;
        if ((status = commandAndEnd({0x01, uint8_t(protect ? 0x01 : 0x00)})) < 0) return status;
        return commandAndEnd({0x04});
    }

    KmError erase(uint8_t opcode, uint32_t address) {
        KmError status = writeEnable();
        if (status < 0) return status;
        return commandAndEnd(
            {opcode, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)});
    }
    KmError blockErase(uint32_t address) { return erase(0xD8, address); }
    KmError sectorErase(uint32_t address) { return erase(0x20, address); }

    // mstarWriteData: always a full 256-byte page, zero-padded.
    KmError writePage(uint32_t address, const std::vector<uint8_t>& data) {
        KmError status = writeEnable();
        if (status < 0) return status;
        return commandAndEnd(programCommand(address, data));
    }
    static std::vector<uint8_t> programCommand(uint32_t address, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> bytes = {0x02, uint8_t(address >> 16), uint8_t(address >> 8),
                                      uint8_t(address)};
        bytes.resize(4 + 256, 0);
        std::copy(data.begin(), data.begin() + std::min<size_t>(data.size(), 256),
                  bytes.begin() + 4);
        return bytes;
    }

    // mstarReadData
    KmError readFlash(uint32_t address, uint16_t length, std::vector<uint8_t>* out) {
        KmError status =
            command({0x03, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)});
        if (status < 0) return status;
        status = readScalarData(0x1192, length, out);
        if (status < 0) return status;
        return end();
    }
    std::vector<uint8_t> readFlash(uint32_t address, uint16_t length) {
        std::vector<uint8_t> out;
        EXPECT_EQ(readFlash(address, length, &out), 0);
        return out;
    }

    // MStarWaitForReady with simulated time: polls every 100 ms, at most 10 * seconds + 2 reads.
    KmError waitForReady(int seconds = 60) {
        const int reads = 10 * seconds + 2;
        for (int n = 1;; ++n) {
            uint8_t status = 0x01;
            KmError result = readStatus(&status);
            if (result < 0) return result;
            SimClock::advance(100000);
            if (n == reads) return SCREENIO_ERROR_TIMEOUT;
            if ((status & 0x01) == 0) return 0;
        }
    }

private:
    KmError passed(KmError status) {
        SimClock::advance(m_latencyUs);
        return status;
    }

    MStarBridge& m_bridge;
    int64_t m_latencyUs = 0;
};

}  // namespace screenio::sim::test
