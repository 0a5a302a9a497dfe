// SPDX-License-Identifier: Apache-2.0
#include "UpdatePlanText.h"

#include <cstdio>

#include "Failure.h"
#include "Handles.h"

namespace flashkit {
namespace {

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%06llX", static_cast<unsigned long long>(value));
    return text;
}

std::string DeviceName(const nlohmann::json& image, const std::vector<ShownDevice>& devices) {
    if (!image.contains("device")) return "";
    const uint32_t id = image["device"].get<uint32_t>();
    for (const ShownDevice& device : devices)
        if (device.id == id) return device.name + ", ";
    return "device " + std::to_string(id) + ", ";
}

// One image: where it goes and what is erased and marked on the way.
std::string ImageLine(const nlohmann::json& image, const std::string& kind) {
    const std::string bytes = std::to_string(image["bytes"].get<uint64_t>()) + " bytes";
    if (kind == "record files")
        return bytes + " into " + image["temporaryFile"].get<std::string>() +
               ", the temporary copy of " + image["file"].get<std::string>() + " (" +
               std::to_string(image["records"].get<int>()) + " records of " +
               std::to_string(image["recordSize"].get<int>()) + " bytes)";
    const auto& blocks = image["erasedBlocks"];
    std::string line = bytes + " at " + Hex(image["address"].get<uint64_t>()) + ", erasing " +
                       std::to_string(blocks.size()) + " block(s) of 64 KiB";
    if (!blocks.empty())
        line += " (" + Hex(blocks.front().get<uint64_t>()) + "-" +
                Hex(blocks.back().get<uint64_t>() + 0xFFFF) + ")";
    if (image.contains("markerAddress"))
        line += ", then its marker at " + Hex(image["markerAddress"].get<uint64_t>());
    if (image.contains("updateFlag"))
        line += ", then update flag " + std::to_string(image["updateFlag"].get<int>());
    return line;
}

}  // namespace

nlohmann::json ReadUpdatePlan(const MonitorEntry& monitor, FWKfwFile* package,
                              unsigned int options) {
    KmError status = 0;
    const Text text(
        FWUtf8StringCreateUpdatePlanJsonString(monitor.handle, package, options, &status));
    if (!text) throw MonitorFailure("Planning the update of " + monitor.Title(), status);
    nlohmann::json plan = nlohmann::json::parse(FWUtf8StringGetCString(text.get()), nullptr, false);
    if (!plan.is_object())
        throw Failure(ExitInternal, "The library gave an unreadable update plan.");
    return plan;
}

void PrintUpdatePlan(const nlohmann::json& plan, const std::vector<ShownDevice>& devices) {
    const std::string kind = plan["kind"].get<std::string>();
    std::printf("Plan (dry run: no request that changes the monitor was sent):\n");
    std::printf("  Update kind: %s\n", kind.c_str());
    int number = 0;
    for (const nlohmann::json& image : plan["images"])
        std::printf("  Image %d: %s%s\n", ++number, DeviceName(image, devices).c_str(),
                    ImageLine(image, kind).c_str());
    const uint32_t seconds = plan["estimatedSeconds"].get<uint32_t>();
    std::printf("  Total: %llu bytes in %d image(s); estimated time: about %u min\n",
                static_cast<unsigned long long>(plan["totalBytes"].get<uint64_t>()), number,
                (seconds + 59) / 60);
    std::fflush(stdout);
}

}  // namespace flashkit
