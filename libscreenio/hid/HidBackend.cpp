#include "hid/HidBackend.h"

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
    std::vector<std::shared_ptr<Device>> found;
    for (HidNodeInfo& node : m_transport->enumerate(UsbVendorId())) {
        std::optional<HidDescriptor> descriptor;
        try {
            descriptor = HidDescriptor::parse(node.descriptor.data(), node.descriptor.size());
        } catch (const std::exception& e) {
            Trace::note("hid " + NameOf(node) + " skipped: " + e.what());
            continue;
        }
        bool monitor = false;
        for (uint16_t page : kMonitorPages)
            monitor = monitor || descriptor->hasTopLevelCollectionOnPage(page);
        if (!monitor) {
            // The maker's other interfaces (audio, a hub's controls) are not monitors.
            Trace::note("hid " + NameOf(node) + " skipped: no monitor collection");
            continue;
        }
        found.push_back(std::make_shared<HidDevice>(m_transport, std::move(node),
                                                    std::move(*descriptor), m_retry));
    }
    return found;
}

}  // namespace screenio::hid
