// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hid/HidTransport.h"

namespace screenio::sim {

class SimBackend;
class SimHidBridge;

// The simulated monitors as HID interfaces, so the HID backend can be tested without a kernel:
// one node per monitor on the bus ("sim:<serial>", interface 0), its descriptor and reports
// from a SimHidBridge. A node opened before its monitor left the bus gives ENODEV from then on.
// Monitors shared through a state file are not supported (requests do not sync with it).
//
// The test* functions inject transport faults per node, below the monitor: the requests they
// fail never reach it.
class SimHidTransport : public hid::HidTransport {
public:
    enum class TestRequest { Get, Set };

    SimHidTransport(std::shared_ptr<SimBackend> backend, uint16_t vendorId);
    ~SimHidTransport() override;

    std::vector<hid::HidNodeInfo> enumerate(uint16_t vendorId) override;
    std::unique_ptr<hid::HidConnection> open(const hid::HidNodeInfo& node, int* error) override;

    // Test only. Requests of `request` on `node` are numbered from 1 starting with the next
    // one; those numbered `first` to `first + count - 1` (all from `first` on when `count` is
    // 0) fail with errno value `error`.
    void testFailRequests(const std::string& node, TestRequest request, int error,
                          uint32_t first = 1, uint32_t count = 1);
    // Test only. The next `count` reads of `node` (all when 0) return `missing` bytes fewer
    // than asked for, as a device sending a shorter report.
    void testShortReads(const std::string& node, uint32_t missing, uint32_t count = 1);
    // Test only. Opening `node` fails with errno value `error` until 0 is set again.
    void testFailOpen(const std::string& node, int error);
    // Test only. Requests of `request` that reached the transport for `node`, failed or not.
    uint32_t testRequestCount(const std::string& node, TestRequest request) const;
    // Test only. Connections to `node` that are open now.
    uint32_t testOpenConnections(const std::string& node) const;
    // Test only. Removes every injected fault; counts stay.
    void testClearFaults();

    // The node name of a monitor.
    static std::string NodeName(const std::string& serial);

private:
    struct Node;
    class Connection;
    std::shared_ptr<Node> node(const std::string& name) const;  // throws for an unknown name

    std::shared_ptr<SimBackend> m_backend;
    uint16_t m_vendorId;
    std::map<std::string, std::shared_ptr<Node>> m_nodes;
    std::vector<std::string> m_order;
};

}  // namespace screenio::sim
