// SPDX-License-Identifier: Apache-2.0
#include "hid/HidBackend.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "core/Trace.h"
#include "core/VendorId.h"
#include "hid/HidDescriptor.h"

namespace screenio::hid {
namespace {

const uint16_t kMonitorPages[] = {0xFF00, 0xFF01, 0xFF02, 0xFF30};

std::string NameOf(const HidNodeInfo& node) { return node.name.empty() ? node.node : node.name; }

}  // namespace

HidBackend::HidBackend(std::shared_ptr<HidTransport> transport, HidStallRetry retry)
    : m_transport(std::move(transport)), m_retry(std::move(retry)) {}

std::vector<std::shared_ptr<Device>> HidBackend::find() {
    // Monitor interfaces in the transport's order, those of one USB device gathered at the
    // place of the first.
    std::vector<std::vector<HidInterface>> monitors;
    for (HidNodeInfo& node : m_transport->enumerate(UsbVendorId())) {
        std::optional<HidInterface> interface = monitorInterface(std::move(node));
        if (!interface) continue;
        const std::string& usb = interface->node.usbDevice;
        auto same = std::find_if(monitors.begin(), monitors.end(), [&](const auto& monitor) {
            return !usb.empty() && monitor.front().node.usbDevice == usb;
        });
        if (same == monitors.end()) {
            monitors.emplace_back();
            same = monitors.end() - 1;
        }
        same->push_back(std::move(*interface));
    }
    std::vector<std::shared_ptr<Device>> found;
    for (std::vector<HidInterface>& interfaces : monitors) {
        std::stable_sort(interfaces.begin(), interfaces.end(), [](const auto& a, const auto& b) {
            return a.node.interfaceNumber < b.node.interfaceNumber;
        });
        found.push_back(std::make_shared<HidDevice>(m_transport, std::move(interfaces), m_retry));
    }
    return found;
}

std::optional<HidInterface> HidBackend::monitorInterface(HidNodeInfo node) {
    std::optional<HidDescriptor> descriptor;
    try {
        descriptor = HidDescriptor::parse(node.descriptor.data(), node.descriptor.size());
    } catch (const std::exception& e) {
        Trace::note("hid " + NameOf(node) + " skipped: " + e.what());
        return std::nullopt;
    }
    bool monitor = false;
    for (uint16_t page : kMonitorPages)
        monitor = monitor || descriptor->hasTopLevelCollectionOnPage(page);
    if (!monitor) {
        // The maker's other interfaces (audio, a hub's controls) are not monitors.
        Trace::note("hid " + NameOf(node) + " skipped: no monitor collection");
        return std::nullopt;
    }
    return HidInterface{std::move(node), std::move(*descriptor)};
}

}  // namespace screenio::hid
