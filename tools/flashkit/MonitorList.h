// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "flashkit/flashkit.h"

namespace flashkit {

// One device as the user sees it: its name and version, and optionally the version a package
// leaves it with.
struct ShownDevice {
    uint32_t id = 0;
    std::string name;
    uint32_t version = 0;
    std::string versionText;
    uint32_t after = 0;
    std::string afterText;
};

// One monitor of a search. The handle is valid until the next search.
struct MonitorEntry {
    int index = 0;
    void* handle = nullptr;
    std::string product;
    std::string serial;
    FWFirmwareUpdateType kind = FWFirmwareUpdateTypeNone;

    // "Demo V27Q (S/N V27Q0001)"
    std::string Title() const;
    // {"index","product","serial","updateKind","needsRecovery"}
    nlohmann::json Json() const;
};

// The monitors found by one search, and the choice of one of them.
class MonitorList {
public:
    // A fresh search; the handles of any earlier search become invalid.
    static MonitorList Search();
    // The monitor with this product and serial number in a fresh search, or null while absent.
    // A monitor that was in MCU ISP MODE is found by its serial number alone, since a recovery
    // brings back its own product name, which `foundProduct` (optional) receives.
    static void* FindAgain(const std::string& product, const std::string& serial,
                           std::string* foundProduct = nullptr);

    const std::vector<MonitorEntry>& monitors() const { return m_monitors; }
    // Monitors the search found but could not claim: {index, status of KmRetrieve}.
    const std::vector<std::pair<int, KmError>>& unavailable() const { return m_unavailable; }
    // Why a found monitor could not be claimed, as advice for the user.
    static std::string UnavailableReason(KmError status);
    // `selection` is a serial number or an index; empty takes the only monitor. Throws
    // Failure(ExitNoMonitor) unless exactly one monitor is meant.
    const MonitorEntry& Select(const std::string& selection) const;

    // The devices shown to the user, in display order, with their current versions and, given a
    // package, the versions it leaves them with. Throws Failure when the monitor cannot be read.
    static std::vector<ShownDevice> ShownDevices(const MonitorEntry& monitor, FWKfwFile* package);
    static const char* KindName(FWFirmwareUpdateType kind);

private:
    std::vector<MonitorEntry> m_monitors;
    std::vector<std::pair<int, KmError>> m_unavailable;
};

}  // namespace flashkit
