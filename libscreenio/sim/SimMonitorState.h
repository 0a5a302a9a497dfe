// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sim/MonitorDescription.h"
#include "sim/RecordFileSystem.h"

namespace screenio::sim {

// What the host selected for its next read; forgotten at a restart.
struct SimSelection {
    std::optional<std::string> file;                  // FF02/C2: the property read next
    std::optional<std::array<uint8_t, 10>> pageRead;  // FF02/FD: the page read next
    std::optional<uint16_t> versionQuery;             // FF00/D8: the device asked for
    std::optional<std::string> crcFile;               // FF02/FC: the file of the last CRC
    uint8_t zvInfoIndex = 0;                          // FF01/124: the device described next
};

// How one device came out of its last boot.
struct SimDeviceBoot {
    bool boots = true;
    // MStar: the device's flash region was programmed or erased since the monitor was made, so
    // its contents, not the factory image it started with, decide the next boot.
    bool imageInFlash = false;
};

// Everything of one simulated monitor that lives on the monitor, except the flash contents and
// the fault counters, which the flash models and the fault injector keep and save themselves.
// The state file carries it between processes.
struct SimMonitorState {
    std::vector<DeviceDescription> devices;  // `version` is the running version
    std::vector<SimDeviceBoot> boot;         // one per device
    RecordFileSystem files;                  // Files and Legacy
    SimSelection selection;

    uint32_t transferState = 0;
    bool armed = false;    // transfer state 2 was set: the next restart installs
    int64_t osd = 0;       // last value written to FF00/0F
    uint32_t zvFlags = 0;  // bit i: update flag i (kept until the next boot)

    uint64_t connection = 1;  // grows every time the monitor leaves the bus
    uint32_t restartCount = 0;
    int64_t absentUntilWallMs = 0;
    bool absentForever = false;
    bool restartOnReturn = false;    // a drop-off restarts the monitor when it comes back
    int64_t powerCycleAtWallMs = 0;  // 0: no automatic power cycle pending
    uint64_t changingRequests = 0;   // requests received that would change the monitor

    // Every device boots: the monitor runs its firmware rather than its boot loader.
    bool booting() const;

    nlohmann::json save(int64_t nowUs) const;
    // The members `save` wrote, read over `fresh` (the monitor as built from its description);
    // devices and files must be the monitor's own. Throws nlohmann::json::exception or
    // std::runtime_error; `fresh` is not changed then.
    static SimMonitorState load(const nlohmann::json& state, const SimMonitorState& fresh,
                                int64_t nowUs);
};

}  // namespace screenio::sim
