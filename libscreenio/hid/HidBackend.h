// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "core/Backend.h"
#include "hid/HidDevice.h"
#include "hid/HidTransport.h"

namespace screenio::hid {

// Monitors reached as USB HID interfaces of the maker's vendor id: every interface whose report
// descriptor has a top-level collection on one of the monitor's vendor pages (FF00, FF01, FF02,
// FF30). A search reads only what discovery tells; nothing is opened until a handle is taken.
class HidBackend : public Backend {
public:
    explicit HidBackend(std::shared_ptr<HidTransport> transport, HidStallRetry retry = {});

    // The monitors in the transport's order, one per USB device: its monitor interfaces
    // together, in interface order. A descriptor that cannot be parsed, or one without a vendor
    // page, is passed over with a note in the call trace.
    std::vector<std::shared_ptr<Device>> find() override;

private:
    static std::optional<HidInterface> monitorInterface(HidNodeInfo node);

    std::shared_ptr<HidTransport> m_transport;
    HidStallRetry m_retry;
};

}  // namespace screenio::hid
