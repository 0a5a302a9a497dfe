// SPDX-License-Identifier: Apache-2.0
// Simulator descriptions and state files, both read from disk: parse the bytes as a monitor
// description, build its monitors, let their boot loaders run over the described layout and
// round-trip their state; then offer the bytes as a saved state to the demo monitors (and boot
// them from it). Refusals are exceptions; anything else is a finding.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/DemoSet.h"
#include "sim/SimConfig.h"
#include "sim/SimMonitor.h"

using screenio::sim::SimConfig;
using screenio::sim::SimMonitor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const SimConfig config = SimConfig::parse(text, "/nonexistent");
        for (const auto& spec : config.monitors) {
            SimMonitor monitor(spec);
            monitor.powerCycle();
            const nlohmann::json state = monitor.saveState();
            SimMonitor copy(spec);
            copy.loadState(state);  // what the monitor wrote it must read back
            if (copy.saveState() != state) std::abort();
        }
    } catch (const std::exception&) {}

    nlohmann::json state = nlohmann::json::parse(text, nullptr, false);
    if (state.is_discarded()) return 0;
    static const SimConfig demo = screenio::sim::DemoSet::config();
    for (const auto& spec : demo.monitors) {
        SimMonitor monitor(spec);
        try {
            monitor.loadState(state);
            monitor.powerCycle();
        } catch (const std::exception&) {}
    }
    return 0;
}
