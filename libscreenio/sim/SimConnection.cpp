// SPDX-License-Identifier: Apache-2.0
#include "sim/SimConnection.h"

#include "sim/SimMonitor.h"
#include "sim/SimStateStore.h"

namespace screenio::sim {

SimConnection::SimConnection(std::shared_ptr<SimMonitor> monitor, uint64_t connection,
                             std::shared_ptr<SimStateStore> store)
    : m_monitor(std::move(monitor)), m_connection(connection), m_store(std::move(store)) {}

template <typename Request> KmError SimConnection::run(Request&& request) {
    if (m_store) m_store->beforeRequest();
    KmError status = request();
    if (m_store) m_store->afterRequest();
    return status;
}

KmError SimConnection::acquire() {
    switch (m_monitor->description().claim) {
    case MonitorClaim::Busy: return SCREENIO_ERROR_BUSY;
    case MonitorClaim::Denied: return SCREENIO_ERROR_ACCESS;
    case MonitorClaim::Free: break;
    }
    return 0;
}

KmError SimConnection::getFixedData(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) {
    return run([&] { return m_monitor->getFixedData(m_connection, page, usage, offered, count); });
}

KmError SimConnection::getValue(uint16_t page, uint16_t usage, int64_t* value) {
    return run([&] { return m_monitor->getValue(m_connection, page, usage, value); });
}

KmError SimConnection::setValue(uint16_t page, uint16_t usage, int64_t value) {
    return run([&] { return m_monitor->setValue(m_connection, page, usage, value); });
}

KmError SimConnection::getArray(uint16_t page, uint16_t usage, uint8_t* buffer, uint32_t length) {
    return run([&] { return m_monitor->getArray(m_connection, page, usage, buffer, length); });
}

KmError SimConnection::setArray(uint16_t page, uint16_t usage, const uint8_t* buffer,
                                uint32_t length) {
    return run([&] { return m_monitor->setArray(m_connection, page, usage, buffer, length); });
}

std::string SimConnection::describe() const { return m_monitor->description().serial; }

}  // namespace screenio::sim
