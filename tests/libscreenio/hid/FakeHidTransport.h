// SPDX-License-Identifier: Apache-2.0
#pragma once
// A HID transport for hand-written descriptors: every node serves the same report store, and
// every request is logged, so tests see exactly which reports were read and written.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hid/HidTransport.h"

namespace screenio::hid::test {

class FakeHidTransport : public HidTransport,
                         public std::enable_shared_from_this<FakeHidTransport> {
public:
    struct Call {
        char kind;  // 'G' get, 'S' set
        uint8_t reportId;
        bool operator==(const Call& o) const { return kind == o.kind && reportId == o.reportId; }
    };

    // The node's description, to be changed before the search if a test needs to.
    HidNodeInfo& addNode(const std::string& name, std::vector<uint8_t> descriptor,
                         const std::string& serial = "") {
        HidNodeInfo info;
        info.node = "/fake/" + name;
        info.name = name;
        info.vendorId = 0x1234;
        info.serial = serial;
        info.lockName = serial;
        info.interfaceNumber = 0;
        info.descriptor = std::move(descriptor);
        m_nodes.push_back(std::move(info));
        return m_nodes.back();
    }
    // Opening the node `name` fails with `error` (0: it opens again).
    void failOpen(const std::string& name, int error) { m_failOpen[name] = error; }
    // "name lockName" of every open that succeeded, in order.
    std::vector<std::string> opened() const { return m_opened; }
    // Connections open now.
    int openConnections() const { return m_openConnections; }
    // The node each feature request went to, in order.
    std::vector<std::string> requestNodes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requestNodes;
    }
    void setReport(uint8_t id, std::vector<uint8_t> bytes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports[id] = std::move(bytes);
    }
    std::vector<uint8_t> report(uint8_t id) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports.at(id);
    }
    std::vector<Call> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    void clearCalls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
        m_requestNodes.clear();
    }
    int opens() const { return m_opens; }
    uint16_t askedVendorId() const { return m_askedVendorId; }

    std::vector<HidNodeInfo> enumerate(uint16_t vendorId) override {
        m_askedVendorId = vendorId;
        return m_nodes;
    }
    std::unique_ptr<HidConnection> open(const HidNodeInfo& node, int* error) override {
        ++m_opens;
        *error = m_failOpen[node.name];
        if (*error != 0) return nullptr;
        m_opened.push_back(node.name + " " + node.lockName);
        return std::make_unique<Connection>(shared_from_this(), node.name);
    }

private:
    class Connection : public HidConnection {
    public:
        Connection(std::shared_ptr<FakeHidTransport> owner, std::string node)
            : m_owner(std::move(owner)), m_node(std::move(node)) {
            ++m_owner->m_openConnections;
        }
        ~Connection() override { --m_owner->m_openConnections; }
        int getFeature(uint8_t id, uint8_t* data, size_t length) override {
            std::lock_guard<std::mutex> lock(m_owner->m_mutex);
            m_owner->m_calls.push_back({'G', id});
            m_owner->m_requestNodes.push_back(m_node);
            const auto it = m_owner->m_reports.find(id);
            if (it == m_owner->m_reports.end()) return -EINVAL;
            const size_t n = std::min(length, it->second.size());
            std::copy_n(it->second.begin(), n, data);
            return int(n);
        }
        int setFeature(uint8_t id, const uint8_t* data, size_t length) override {
            std::lock_guard<std::mutex> lock(m_owner->m_mutex);
            m_owner->m_calls.push_back({'S', id});
            m_owner->m_requestNodes.push_back(m_node);
            m_owner->m_reports[id].assign(data, data + length);
            return int(length);
        }

    private:
        std::shared_ptr<FakeHidTransport> m_owner;
        std::string m_node;
    };

    std::vector<HidNodeInfo> m_nodes;
    mutable std::mutex m_mutex;
    std::map<uint8_t, std::vector<uint8_t>> m_reports;
    std::vector<Call> m_calls;
    std::vector<std::string> m_requestNodes;
    std::map<std::string, int> m_failOpen;
    std::vector<std::string> m_opened;
    int m_openConnections = 0;
    int m_opens = 0;
    uint16_t m_askedVendorId = 0;
};

}  // namespace screenio::hid::test
