// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "core/Device.h"
#include "sim/MonitorDescription.h"

namespace screenio::sim {

struct SimUsage;

// Pages and usages the simulated monitors answer.
namespace usages {
constexpr uint16_t kPageGeneral = 0xFF00;
constexpr uint16_t kPageZv = 0xFF01;
constexpr uint16_t kPageFiles = 0xFF02;
constexpr uint16_t kPageScaler = 0xFF30;

constexpr uint16_t kOsd = 0x0F;
constexpr uint16_t kSerialProduct = 0x35;
constexpr uint16_t kVersionQuery = 0xD8;
constexpr uint16_t kPropertySelect = 0xC2;
constexpr uint16_t kProperty = 0xC3;
constexpr uint16_t kRestart = 0xF4;
constexpr uint16_t kTransferState = 0xFB;
constexpr uint16_t kCrc = 0xFC;
constexpr uint16_t kPageRead = 0xFD;
constexpr uint16_t kPageWrite = 0xFE;
constexpr uint16_t kScalerAddress = 0x10;
constexpr uint16_t kScalerData = 0x11;
constexpr uint16_t kZvCommand = 0x122;
constexpr uint16_t kZvData = 0x123;
constexpr uint16_t kZvInfo = 0x124;
constexpr uint16_t kZvFlag = 0x110;

constexpr uint32_t Key(uint16_t page, uint16_t usage) { return uint32_t(page) << 16 | usage; }
}  // namespace usages

// The usages a monitor offers by its kind (less those its description leaves out), with their
// report lengths and the requests each answers. Fixed from construction on.
class SimUsageTable {
public:
    explicit SimUsageTable(const MonitorDescription& description);

    bool offered(uint16_t page, uint16_t usage) const;
    uint32_t count(uint16_t page, uint16_t usage) const;  // 0 when not offered or a value usage
    bool answers(uint16_t page, uint16_t usage, Access access) const;
    std::vector<SimUsage> list() const;

private:
    struct Entry {
        uint32_t count = 0;  // array report length; 0 for value usages
        unsigned access = 0;
    };
    void add(uint16_t page, uint16_t usage, uint32_t count, unsigned access);

    std::map<uint32_t, Entry> m_entries;
};

}  // namespace screenio::sim
