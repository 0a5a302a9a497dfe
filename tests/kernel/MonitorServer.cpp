// SPDX-License-Identifier: Apache-2.0
#include "MonitorServer.h"

#include <linux/uhid.h>

#include <cerrno>
#include <utility>

#include "sim/SimMonitor.h"

namespace kerneltest {

MonitorServer::MonitorServer(std::shared_ptr<screenio::sim::SimMonitor> monitor, uint16_t vendor,
                             uint16_t product, uint16_t bus)
    : m_monitor(std::move(monitor)), m_bridge(m_monitor) {
    m_identity.name = m_monitor->description().product;
    m_identity.uniq = m_monitor->description().serial;
    m_identity.bus = bus;
    m_identity.vendor = vendor;
    m_identity.product = product;
    m_identity.descriptor = m_bridge.descriptor();
    // The first tick creates the device: all creating and destroying happens on one thread.
    m_serving = std::make_unique<ServingThread>(m_device, *this, m_identity.uniq);
}

MonitorServer::~MonitorServer() { m_serving.reset(); }

screenio::sim::SimMonitor& MonitorServer::monitor() const { return *m_monitor; }

int MonitorServer::getReport(uint8_t reportId, UhidReportType type, std::vector<uint8_t>& reply) {
    if (type != UhidReportType::Feature) return EINVAL;
    // uhid does not say how many bytes the reader asked for; the whole report goes back and
    // the kernel cuts it to the reader's buffer.
    std::vector<uint8_t> data(UHID_DATA_MAX - 1);
    const int n = m_bridge.getFeature(m_connection, reportId, data.data(), data.size());
    if (n < 0) return -n;
    reply.assign(1, reportId);
    reply.insert(reply.end(), data.begin(), data.begin() + n);
    return 0;
}

int MonitorServer::setReport(uint8_t reportId, UhidReportType type,
                             const std::vector<uint8_t>& report) {
    if (type != UhidReportType::Feature) return EINVAL;
    // hidraw's buffer, and so uhid's, starts with the report ID.
    if (report.empty() || report[0] != reportId) return EPROTO;
    const int n = m_bridge.setFeature(m_connection, reportId, report.data() + 1, report.size() - 1);
    return n < 0 ? -n : 0;
}

void MonitorServer::tick(UhidDevice& device) {
    if (device.created() && m_monitor->connection() != m_connection) device.destroy();
    if (!device.created() && m_monitor->present()) {
        m_connection = m_monitor->connection();
        device.create(m_identity);
    }
}

}  // namespace kerneltest
