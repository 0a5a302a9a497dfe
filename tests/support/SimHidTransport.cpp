// SPDX-License-Identifier: Apache-2.0
#include "support/SimHidTransport.h"

#include <cerrno>
#include <mutex>
#include <stdexcept>

#include "sim/SimBackend.h"
#include "sim/SimMonitor.h"
#include "support/SimHidBridge.h"

namespace screenio::sim {
namespace {

constexpr uint16_t kProductId = 0x0001;

}  // namespace

struct SimHidTransport::Node {
    struct Rule {
        TestRequest request = TestRequest::Get;
        int error = 0;
        uint32_t base = 0;  // requests made before the rule was added
        uint32_t first = 1;
        uint32_t count = 1;
    };

    std::string name;
    std::shared_ptr<SimMonitor> monitor;
    std::shared_ptr<SimHidBridge> bridge;

    mutable std::mutex mutex;
    uint32_t gets = 0;
    uint32_t sets = 0;
    std::vector<Rule> rules;
    uint32_t shortBy = 0;
    uint32_t shortLeft = 0;
    bool shortAlways = false;
    int openError = 0;
    uint32_t connections = 0;

    uint32_t& counter(TestRequest request) { return request == TestRequest::Get ? gets : sets; }

    // Counts one request; returns the errno value injected for it (0: none) and, for a read,
    // how many bytes to leave out.
    int onRequest(TestRequest request, uint32_t* missing) {
        std::lock_guard<std::mutex> lock(mutex);
        const uint32_t number = ++counter(request);
        for (const Rule& rule : rules) {
            if (rule.request != request || number <= rule.base) continue;
            const uint32_t relative = number - rule.base;
            if (relative >= rule.first && (rule.count == 0 || relative - rule.first < rule.count))
                return rule.error;
        }
        if (missing && (shortAlways || shortLeft > 0)) {
            if (!shortAlways) --shortLeft;
            *missing = shortBy;
        }
        return 0;
    }
};

// An opened node: requests go to the monitor on the connection it had when opened.
class SimHidTransport::Connection : public hid::HidConnection {
public:
    Connection(std::shared_ptr<Node> node, uint64_t connection)
        : m_node(std::move(node)), m_connection(connection) {
        std::lock_guard<std::mutex> lock(m_node->mutex);
        ++m_node->connections;
    }
    ~Connection() override {
        std::lock_guard<std::mutex> lock(m_node->mutex);
        --m_node->connections;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int getFeature(uint8_t reportId, uint8_t* data, size_t length) override {
        uint32_t missing = 0;
        if (int error = m_node->onRequest(TestRequest::Get, &missing)) return -error;
        const size_t asked = missing < length ? length - missing : 0;
        return m_node->bridge->getFeature(m_connection, reportId, data, asked);
    }

    int setFeature(uint8_t reportId, const uint8_t* data, size_t length) override {
        if (int error = m_node->onRequest(TestRequest::Set, nullptr)) return -error;
        return m_node->bridge->setFeature(m_connection, reportId, data, length);
    }

private:
    std::shared_ptr<Node> m_node;
    uint64_t m_connection;
};

SimHidTransport::SimHidTransport(std::shared_ptr<SimBackend> backend, uint16_t vendorId)
    : m_backend(std::move(backend)), m_vendorId(vendorId) {
    for (const std::shared_ptr<SimMonitor>& monitor : m_backend->monitors()) {
        auto node = std::make_shared<Node>();
        node->name = NodeName(monitor->description().serial);
        // Serial numbers are meant to be unique; a repeated one still gets a node of its own.
        for (int n = 2; m_nodes.count(node->name) != 0; ++n)
            node->name = NodeName(monitor->description().serial) + "#" + std::to_string(n);
        node->monitor = monitor;
        node->bridge = std::make_shared<SimHidBridge>(monitor);
        m_order.push_back(node->name);
        m_nodes[node->name] = std::move(node);
    }
}

SimHidTransport::~SimHidTransport() = default;

std::string SimHidTransport::NodeName(const std::string& serial) { return "sim:" + serial; }

std::vector<hid::HidNodeInfo> SimHidTransport::enumerate(uint16_t vendorId) {
    std::vector<hid::HidNodeInfo> found;
    if (vendorId != m_vendorId) return found;
    for (const std::string& name : m_order) {
        const Node& node = *m_nodes.at(name);
        if (!node.monitor->present()) continue;
        hid::HidNodeInfo info;
        info.node = node.name;
        info.name = node.name;
        info.vendorId = m_vendorId;
        info.productId = kProductId;
        info.serial = node.monitor->description().serial;
        info.interfaceNumber = 0;
        info.descriptor = node.bridge->descriptor();
        found.push_back(std::move(info));
    }
    return found;
}

std::unique_ptr<hid::HidConnection> SimHidTransport::open(const hid::HidNodeInfo& info,
                                                          int* error) {
    int ignored = 0;
    if (!error) error = &ignored;
    const auto it = m_nodes.find(info.node);
    if (it == m_nodes.end()) {
        *error = ENOENT;
        return nullptr;
    }
    const std::shared_ptr<Node>& node = it->second;
    {
        std::lock_guard<std::mutex> lock(node->mutex);
        if (node->openError != 0) {
            *error = node->openError;
            return nullptr;
        }
    }
    if (!node->monitor->present()) {
        *error = ENODEV;
        return nullptr;
    }
    // What the kernel transport meets when another program holds the node, or the user may
    // not open it.
    switch (node->monitor->description().claim) {
    case MonitorClaim::Busy: *error = EBUSY; return nullptr;
    case MonitorClaim::Denied: *error = EACCES; return nullptr;
    case MonitorClaim::Free: break;
    }
    *error = 0;
    return std::make_unique<Connection>(node, node->monitor->connection());
}

std::shared_ptr<SimHidTransport::Node> SimHidTransport::node(const std::string& name) const {
    const auto it = m_nodes.find(name);
    if (it == m_nodes.end()) throw std::invalid_argument("no simulated HID node " + name);
    return it->second;
}

void SimHidTransport::testFailRequests(const std::string& name, TestRequest request, int error,
                                       uint32_t first, uint32_t count) {
    const std::shared_ptr<Node> n = node(name);
    std::lock_guard<std::mutex> lock(n->mutex);
    n->rules.push_back({request, error, n->counter(request), first, count});
}

void SimHidTransport::testShortReads(const std::string& name, uint32_t missing, uint32_t count) {
    const std::shared_ptr<Node> n = node(name);
    std::lock_guard<std::mutex> lock(n->mutex);
    n->shortBy = missing;
    n->shortLeft = count;
    n->shortAlways = count == 0;
}

void SimHidTransport::testFailOpen(const std::string& name, int error) {
    const std::shared_ptr<Node> n = node(name);
    std::lock_guard<std::mutex> lock(n->mutex);
    n->openError = error;
}

uint32_t SimHidTransport::testRequestCount(const std::string& name, TestRequest request) const {
    const std::shared_ptr<Node> n = node(name);
    std::lock_guard<std::mutex> lock(n->mutex);
    return n->counter(request);
}

uint32_t SimHidTransport::testOpenConnections(const std::string& name) const {
    const std::shared_ptr<Node> n = node(name);
    std::lock_guard<std::mutex> lock(n->mutex);
    return n->connections;
}

void SimHidTransport::testClearFaults() {
    for (auto& [name, n] : m_nodes) {
        std::lock_guard<std::mutex> lock(n->mutex);
        n->rules.clear();
        n->shortBy = 0;
        n->shortLeft = 0;
        n->shortAlways = false;
        n->openError = 0;
    }
}

}  // namespace screenio::sim
