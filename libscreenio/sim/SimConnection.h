// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/Device.h"

namespace screenio::sim {

class SimMonitor;
class SimStateStore;

// A simulated monitor as one search found it: requests go to the monitor on the connection it
// had then, so they fail with SCREENIO_ERROR_GONE once it has left the bus since. Each request
// picks up and writes back the shared state file, when there is one.
class SimConnection : public Device {
public:
    SimConnection(std::shared_ptr<SimMonitor> monitor, uint64_t connection,
                  std::shared_ptr<SimStateStore> store);

    // Busy or denied as the description says; else free.
    KmError acquire() override;
    KmError getFixedData(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) override;
    KmError getValue(uint16_t page, uint16_t usage, int64_t* value) override;
    KmError setValue(uint16_t page, uint16_t usage, int64_t value) override;
    KmError getArray(uint16_t page, uint16_t usage, uint8_t* buffer, uint32_t length) override;
    KmError setArray(uint16_t page, uint16_t usage, const uint8_t* buffer,
                     uint32_t length) override;
    std::string describe() const override;

private:
    template <typename Request> KmError run(Request&& request);

    // Shared, so a handle kept past a backend's replacement still reaches a live monitor.
    std::shared_ptr<SimMonitor> m_monitor;
    uint64_t m_connection;
    std::shared_ptr<SimStateStore> m_store;  // null without a state file
};

}  // namespace screenio::sim
