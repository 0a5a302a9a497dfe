// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sim/FaultInjector.h"
#include "sim/FlashBootLoader.h"
#include "sim/MStarBridge.h"
#include "sim/RecordFileProtocol.h"
#include "sim/SimMonitor.h"
#include "sim/SimMonitorState.h"
#include "sim/SimUsageTable.h"
#include "sim/SpiNorFlash.h"
#include "sim/ZvFlashEngine.h"

namespace screenio::sim {

// One request as it reaches the monitor.
struct SimCall {
    Access access = Access::GetArray;
    uint16_t page = 0;
    uint16_t usage = 0;
    const uint8_t* in = nullptr;
    uint8_t* out = nullptr;
    uint32_t length = 0;
    int64_t value = 0;
    int64_t* valueOut = nullptr;
    bool* offered = nullptr;
    uint32_t* count = nullptr;
};

inline SimCall MakeCall(Access access, uint16_t page, uint16_t usage) {
    SimCall call;
    call.access = access;
    call.page = page;
    call.usage = usage;
    return call;
}

// The simulated monitor behind SimMonitor's lock: its usages and protocols, its state and its
// boot loader. SimMonitor takes the lock and lets time-driven events happen before each call.
class SimMonitor::Impl {
public:
    explicit Impl(MonitorDescription monitorDescription);

    // A request as it arrives: the link's time outside the lock, then the answer under it.
    KmError deliver(uint64_t connection, SimCall call);
    KmError request(uint64_t connection, SimCall& call);
    // Lets the clock-driven events happen: the automatic power cycle and a drop-off's return.
    void tick();
    bool presentNow() const;
    void powerCycle(int64_t atWallMs);

    nlohmann::json save() const;
    void load(const nlohmann::json& saved);

    void writeFlash(uint32_t address, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> readFlash(uint32_t address, uint32_t length) const;
    const DeviceDescription* device(uint32_t id) const;
    SimBootState bootState() const;

    mutable std::mutex mutex;
    MonitorDescription description;
    SimUsageTable usages;
    SimMonitorState state;
    SimMonitorState fresh;  // as built from the description, for loading saved states
    RecordFileProtocol files;
    std::unique_ptr<SpiNorFlash> flash;  // MStar
    std::unique_ptr<MStarBridge> bridge;
    std::unique_ptr<ZvFlashEngine> zv;
    FlashBootLoader bootLoader;
    FaultInjector faults;
    uint64_t changes = 0;

    bool recording = false;
    std::vector<SimRequest> history;

private:
    void buildFlash();
    KmError serve(uint64_t connectionId, SimCall& call);
    bool changing(const SimCall& call) const;
    KmError dispatch(SimCall& call, const FaultInjector::Effects& fx);
    KmError serveFiles(SimCall& call, const FaultInjector::Effects& fx);
    KmError serveScaler(SimCall& call, const FaultInjector::Effects& fx);

    KmError versionQuery(SimCall& call, bool wrongEcho);
    KmError transferState(SimCall& call);
    KmError zvInfoSet(const uint8_t* in);
    KmError zvInfoGet(uint8_t* out, bool wrongEcho);
    KmError zvFlagSet(const uint8_t* in);
    void serialProduct(uint8_t* out, uint32_t length) const;

    void boot(bool powerCycled);
    void resetVolatile();
    void restartMain();
    void dropOff(uint32_t absentMs);
    void leaveBus(int64_t untilWallMs);
    void statusWritten(uint8_t byte);
};

}  // namespace screenio::sim
