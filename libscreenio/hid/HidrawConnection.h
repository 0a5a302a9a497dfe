// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

#include "UniqueFd.h"
#include "hid/HidTransport.h"

namespace screenio::hid {

// An opened /dev/hidrawN node. It holds the node's lock and, when the monitor has a serial
// number, the monitor's lock (MonitorLock); both end with the connection.
class HidrawConnection : public HidConnection {
public:
    // The largest data length the feature ioctls can encode (their size field, less the ID byte).
    static const size_t kMaxDataBytes;

    HidrawConnection(common::UniqueFd node, common::UniqueFd monitorLock);

    int getFeature(uint8_t reportId, uint8_t* data, size_t length) override;
    int setFeature(uint8_t reportId, const uint8_t* data, size_t length) override;

private:
    common::UniqueFd m_node;
    common::UniqueFd m_monitorLock;
};

}  // namespace screenio::hid
