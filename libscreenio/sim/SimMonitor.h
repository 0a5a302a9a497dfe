// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/Device.h"
#include "sim/MonitorDescription.h"

namespace screenio::sim {

// One request as the simulated monitor received it, for tests that check what was sent.
struct SimRequest {
    Access access = Access::GetArray;
    uint16_t page = 0;
    uint16_t usage = 0;
    std::vector<uint8_t> data;  // bytes sent (set) or returned (get)
    int64_t value = 0;          // value sent or returned
    KmError status = 0;
    // A request that changes the monitor if carried out: it writes, erases, creates, sets a
    // register or flag, restarts, switches the OSD, or enters or leaves ISP mode. Selections
    // for a read (FF00/D8, FF02/C2, FD, FC, FF01/124, FF30/10), flash status and data reads
    // and ZV checksums are not. Judged as the request arrives, whatever its outcome.
    bool changing = false;
};

// How the monitor came out of its last restart or power cycle.
struct SimBootState {
    bool boots = true;                 // every device boots: the monitor runs its firmware
    std::string product;               // the product it reports now ("MCU ISP MODE" if not)
    std::vector<uint32_t> notBooting;  // IDs of the devices that do not boot
};

// One usage the monitor offers and the requests it answers on it.
struct SimUsage {
    uint16_t page = 0;
    uint16_t usage = 0;
    uint32_t count = 0;  // array report length; 0 for a value usage
    bool getValue = false;
    bool setValue = false;
    bool getArray = false;
    bool setArray = false;
};

// A simulated monitor of the maker: its usages, report layouts and echo rules, its record files,
// transfer state and restart, the scaler bridge with its serial flash, the ZV flash commands,
// and injected faults. Thread-safe; requests may come from several threads.
//
// Requests carry the connection they were made on: once the monitor has left the bus (a
// restart, a drop-off, a power cycle) requests of an older connection fail with
// SCREENIO_ERROR_GONE, as a real device's stale handle would.
class SimMonitor {
public:
    explicit SimMonitor(MonitorDescription description);
    ~SimMonitor();
    SimMonitor(const SimMonitor&) = delete;
    SimMonitor& operator=(const SimMonitor&) = delete;

    const MonitorDescription& description() const;
    // The usages of the monitor's kind, ordered by page then usage; fixed from construction on.
    // In MCU ISP MODE the version usages stay listed but refuse their requests.
    std::vector<SimUsage> usages() const;

    // On the bus now: not restarting, not dropped off.
    bool present() const;
    // Changes every time the monitor leaves the bus.
    uint64_t connection() const;

    KmError getFixedData(uint64_t connection, uint16_t page, uint16_t usage, bool* offered,
                         uint32_t* count);
    KmError getValue(uint64_t connection, uint16_t page, uint16_t usage, int64_t* value);
    KmError setValue(uint64_t connection, uint16_t page, uint16_t usage, int64_t value);
    KmError getArray(uint64_t connection, uint16_t page, uint16_t usage, uint8_t* buffer,
                     uint32_t length);
    KmError setArray(uint64_t connection, uint16_t page, uint16_t usage, const uint8_t* buffer,
                     uint32_t length);

    // Controls for tests and tools.
    // Switches the monitor off and on: what is volatile is lost, the boot loader decides which
    // devices boot (and installs marked or flagged images), then the monitor restarts.
    void powerCycle();
    void addFault(const FaultRule& rule);
    void clearFaults();
    // Keeps every request from now on (off by default, so long runs use no memory for it).
    void setRecording(bool on);
    std::vector<SimRequest> history() const;
    void clearHistory();

    // Observations for tests.
    uint32_t deviceVersion(uint32_t deviceId) const;  // 0 for an unknown device
    // Whether it boots and what it reports, decided at its last restart or power cycle.
    SimBootState bootState() const;
    // Requests received so far that would change the monitor (see SimRequest::changing);
    // kept in the state file, so a test can check a run of another process.
    uint64_t changingRequests() const;
    uint32_t transferState() const;
    int64_t osdValue() const;  // last value written to FF00/0F
    std::optional<std::vector<uint8_t>> fileContent(const std::string& name) const;
    std::vector<uint8_t> readFlash(uint32_t address, uint32_t length) const;
    void writeFlash(uint32_t address, const std::vector<uint8_t>& bytes);  // test set-up
    bool flashWriteProtected() const;  // some part of the scaler flash is protected
    uint8_t flashStatus() const;       // the scaler flash's status register
    bool ispMode() const;
    uint32_t zvUpdateFlags() const;  // bit i: update flag i is set
    uint32_t restartCount() const;

    // Persistence for the state file: everything that lives on the monitor (files, flash,
    // versions, transfer state, flags, restart deadline, connection, fault counters).
    nlohmann::json saveState() const;
    void loadState(const nlohmann::json& state);  // throws on a malformed state
    // Grows with every change of the persisted state.
    uint64_t changeCount() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace screenio::sim
