// SPDX-License-Identifier: Apache-2.0
#include "sim/SimBackend.h"

#include "sim/SimConnection.h"
#include "sim/SimMonitor.h"
#include "sim/SimStateStore.h"

namespace screenio::sim {

SimBackend::SimBackend(SimConfig config) : m_stateFile(std::move(config.stateFile)) {
    for (MonitorDescription& description : config.monitors)
        m_monitors.push_back(std::make_shared<SimMonitor>(std::move(description)));
    if (!m_stateFile.empty()) m_store = std::make_shared<SimStateStore>(m_stateFile, m_monitors);
}

SimBackend::~SimBackend() {
    if (m_store) m_store->flush();
}

std::vector<std::shared_ptr<Device>> SimBackend::find() {
    // Another process may have restarted a monitor or brought it back.
    if (m_store) m_store->beforeRequest();
    std::vector<std::shared_ptr<Device>> found;
    for (const auto& monitor : m_monitors)
        if (monitor->present())
            found.push_back(
                std::make_shared<SimConnection>(monitor, monitor->connection(), m_store));
    return found;
}

void SimBackend::release() {
    if (m_store) m_store->flush();
}

std::shared_ptr<SimMonitor> SimBackend::monitor(const std::string& serial) const {
    for (const auto& monitor : m_monitors)
        if (monitor->description().serial == serial) return monitor;
    return nullptr;
}

}  // namespace screenio::sim
