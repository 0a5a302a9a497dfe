// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/UniqueFd.h"
#include "hid/HidTransport.h"

namespace screenio::hid {

// An opened /dev/hidrawN node. It holds the node's lock and, when the monitor has a serial
// number, the monitor's lock (MonitorLock); both end with the connection.
class HidrawConnection : public HidConnection {
public:
    // The largest data length the feature ioctls can encode (their size field, less the ID byte).
    static const size_t kMaxDataBytes;

    HidrawConnection(UniqueFd node, UniqueFd monitorLock);

    int getFeature(uint8_t reportId, uint8_t* data, size_t length) override;
    int setFeature(uint8_t reportId, const uint8_t* data, size_t length) override;

private:
    UniqueFd m_node;
    UniqueFd m_monitorLock;
};

}  // namespace screenio::hid
