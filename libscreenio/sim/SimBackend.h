// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/Backend.h"
#include "sim/SimConfig.h"

namespace screenio::sim {

class SimMonitor;
class SimStateStore;

// Simulated monitors as the library's backend. With a state file, the monitors are shared with
// other processes that use the same file.
class SimBackend : public Backend {
public:
    // Throws when a monitor cannot be built from its description.
    explicit SimBackend(SimConfig config);
    // Writes back state that is still unwritten.
    ~SimBackend() override;

    // The monitors on the bus now, in description order.
    std::vector<std::shared_ptr<Device>> find() override;
    void release() override;

    // For tests and tools: every monitor of the description, present or not.
    const std::vector<std::shared_ptr<SimMonitor>>& monitors() const { return m_monitors; }
    // The monitor with this serial number, or null.
    std::shared_ptr<SimMonitor> monitor(const std::string& serial) const;
    const std::string& stateFile() const { return m_stateFile; }

private:
    std::vector<std::shared_ptr<SimMonitor>> m_monitors;
    std::string m_stateFile;
    std::shared_ptr<SimStateStore> m_store;  // null without a state file
};

}  // namespace screenio::sim
