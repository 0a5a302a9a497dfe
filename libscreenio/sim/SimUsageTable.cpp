// SPDX-License-Identifier: Apache-2.0
#include "sim/SimUsageTable.h"

#include "sim/MStarBridge.h"
#include "sim/RecordFileProtocol.h"
#include "sim/SimMonitor.h"
#include "sim/ZvFlashEngine.h"

namespace screenio::sim {
namespace {

using namespace usages;

enum AccessBits : unsigned {
    kGetValue = 1u << 0,
    kSetValue = 1u << 1,
    kGetArray = 1u << 2,
    kSetArray = 1u << 3,
};

unsigned AccessBit(Access access) {
    switch (access) {
    case Access::GetValue: return kGetValue;
    case Access::SetValue: return kSetValue;
    case Access::GetArray: return kGetArray;
    case Access::SetArray: return kSetArray;
    case Access::FixedData: return 0;
    }
    return 0;
}

}  // namespace

SimUsageTable::SimUsageTable(const MonitorDescription& description) {
    const bool files =
        description.kind == MonitorKind::Files || description.kind == MonitorKind::Legacy;
    add(kPageGeneral, kOsd, 0, kGetValue | kSetValue);
    add(kPageGeneral, kSerialProduct, description.serialReportLength, kGetArray);
    if (description.kind != MonitorKind::Files)
        add(kPageGeneral, kVersionQuery, 18, kGetArray | kSetArray);
    if (files) {
        add(kPageFiles, kPropertySelect, 10, kSetArray);
        add(kPageFiles, kProperty, 16, kGetArray | kSetArray);
        add(kPageFiles, kCrc, 15, kGetArray | kSetArray);
        add(kPageFiles, kPageRead, RecordFileProtocol::kReportLength, kGetArray | kSetArray);
        add(kPageFiles, kPageWrite, RecordFileProtocol::kReportLength, kSetArray);
    }
    if (description.kind != MonitorKind::MStar) {
        add(kPageFiles, kRestart, 0, kSetValue);
        add(kPageFiles, kTransferState, 0, kGetValue | kSetValue);
    }
    if (description.kind == MonitorKind::MStar) {
        add(kPageScaler, kScalerAddress, 4, kSetArray);
        add(kPageScaler, kScalerData, MStarBridge::kDataReportLength, kGetArray | kSetArray);
    }
    if (description.kind == MonitorKind::ZV) {
        add(kPageZv, kZvCommand, 9, kSetArray);
        add(kPageZv, kZvData, ZvFlashEngine::kPageSize, kGetArray | kSetArray);
        add(kPageZv, kZvInfo, description.zvInfoReportLength, kGetArray | kSetArray);
        add(kPageFiles, kZvFlag, 3, kSetArray);
    }
    for (const UsageId& removed : description.withoutUsages)
        m_entries.erase(Key(removed.page, removed.usage));
}

void SimUsageTable::add(uint16_t page, uint16_t usage, uint32_t count, unsigned access) {
    m_entries[Key(page, usage)] = Entry{count, access};
}

bool SimUsageTable::offered(uint16_t page, uint16_t usage) const {
    return m_entries.count(Key(page, usage)) != 0;
}

uint32_t SimUsageTable::count(uint16_t page, uint16_t usage) const {
    auto it = m_entries.find(Key(page, usage));
    return it == m_entries.end() ? 0 : it->second.count;
}

bool SimUsageTable::answers(uint16_t page, uint16_t usage, Access access) const {
    auto it = m_entries.find(Key(page, usage));
    return it != m_entries.end() && (it->second.access & AccessBit(access)) != 0;
}

std::vector<SimUsage> SimUsageTable::list() const {
    std::vector<SimUsage> listing;
    for (const auto& [k, entry] : m_entries) {
        SimUsage u;
        u.page = static_cast<uint16_t>(k >> 16);
        u.usage = static_cast<uint16_t>(k & 0xFFFFu);
        u.count = entry.count;
        u.getValue = (entry.access & kGetValue) != 0;
        u.setValue = (entry.access & kSetValue) != 0;
        u.getArray = (entry.access & kGetArray) != 0;
        u.setArray = (entry.access & kSetArray) != 0;
        listing.push_back(u);
    }
    return listing;
}

}  // namespace screenio::sim
