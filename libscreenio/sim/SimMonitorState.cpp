// SPDX-License-Identifier: Apache-2.0
#include "sim/SimMonitorState.h"

#include <algorithm>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/Base64.h"
#include "sim/StateNumber.h"

namespace screenio::sim {
namespace {

constexpr size_t kNameLength = 6;

nlohmann::json OptionalText(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

std::optional<std::string> ReadOptionalText(const nlohmann::json& value) {
    if (value.is_null()) return std::nullopt;
    std::string text = value.get<std::string>();
    if (text.size() != kNameLength)
        throw std::runtime_error("selected file name '" + text + "' is not six bytes");
    return text;
}

nlohmann::json SaveSelection(const SimSelection& selection) {
    const auto& read = selection.pageRead;
    return {
        {"file", OptionalText(selection.file)},
        {"pageRead", read ? nlohmann::json(Base64::encode(read->data(), read->size()))
                          : nlohmann::json(nullptr)},
        {"versionQuery", selection.versionQuery ? nlohmann::json(*selection.versionQuery)
                                                : nlohmann::json(nullptr)},
        {"crcFile", OptionalText(selection.crcFile)},
        {"zvInfoIndex", selection.zvInfoIndex},
    };
}

SimSelection LoadSelection(const nlohmann::json& json) {
    SimSelection selection;
    selection.file = ReadOptionalText(json.at("file"));
    selection.crcFile = ReadOptionalText(json.at("crcFile"));
    if (!json.at("pageRead").is_null()) {
        std::vector<uint8_t> bytes = Base64::decode(json.at("pageRead").get<std::string>());
        if (bytes.size() != 10) throw std::runtime_error("pending page read is not 10 bytes");
        std::array<uint8_t, 10> head{};
        std::copy(bytes.begin(), bytes.end(), head.begin());
        selection.pageRead = head;
    }
    if (!json.at("versionQuery").is_null())
        selection.versionQuery = StateNumber<uint16_t>(json, "versionQuery");
    selection.zvInfoIndex = StateNumber<uint8_t>(json, "zvInfoIndex");
    return selection;
}

// Devices the state does not mention keep what they started with; states written before the
// boot check existed mention no boot outcome, and their devices boot.
void LoadDevices(const nlohmann::json& list, SimMonitorState& next) {
    for (const nlohmann::json& entry : list) {
        const uint32_t id = StateNumber<uint32_t>(entry, "id");
        auto d = std::find_if(next.devices.begin(), next.devices.end(),
                              [&](const DeviceDescription& s) { return s.id == id; });
        if (d == next.devices.end())
            throw std::runtime_error("unknown device " + std::to_string(id));
        d->version = StateNumber<uint32_t>(entry, "version");
        SimDeviceBoot& boot = next.boot[size_t(d - next.devices.begin())];
        boot.boots = entry.value("boots", true);
        boot.imageInFlash = entry.value("imageInFlash", false);
    }
}

void LoadFiles(const nlohmann::json& list, SimMonitorState& next, bool hasFiles, int64_t nowUs) {
    for (const nlohmann::json& entry : list) {
        if (!hasFiles) throw std::runtime_error("files in the state of a monitor without files");
        RecordFile file = RecordFileSystem::fileFromJson(entry, nowUs);
        const RecordFile* known = next.files.find(file.name);
        if (!file.temporary) {
            if (!known || known->readOnly) throw std::runtime_error("unknown file " + file.name);
            if (known->recordSize != file.recordSize || known->recordCount != file.recordCount)
                throw std::runtime_error("file " + file.name +
                                         " has another geometry than the monitor's");
        } else if (known && !known->temporary) {
            throw std::runtime_error("temporary file " + file.name +
                                     " has the name of a permanent file");
        }
        next.files.put(std::move(file));
    }
}

}  // namespace

bool SimMonitorState::booting() const {
    return std::all_of(boot.begin(), boot.end(), [](const SimDeviceBoot& b) { return b.boots; });
}

nlohmann::json SimMonitorState::save(int64_t nowUs) const {
    nlohmann::json state;
    state["connection"] = connection;
    state["restartCount"] = restartCount;
    state["absentUntilWallMs"] = absentUntilWallMs;
    state["absentForever"] = absentForever;
    state["restartOnReturn"] = restartOnReturn;
    state["powerCycleAtWallMs"] = powerCycleAtWallMs;
    state["transferState"] = transferState;
    state["armed"] = armed;
    state["osd"] = osd;
    state["zvFlags"] = zvFlags;
    state["changingRequests"] = changingRequests;
    nlohmann::json deviceList = nlohmann::json::array();
    for (size_t i = 0; i < devices.size(); ++i)
        deviceList.push_back({{"id", devices[i].id},
                              {"version", devices[i].version},
                              {"boots", boot[i].boots},
                              {"imageInFlash", boot[i].imageInFlash}});
    state["devices"] = deviceList;
    state["files"] = files.save(nowUs);
    state["selection"] = SaveSelection(selection);
    return state;
}

SimMonitorState SimMonitorState::load(const nlohmann::json& state, const SimMonitorState& fresh,
                                      int64_t nowUs) {
    if (!state.is_object()) throw std::runtime_error("not a JSON object");
    SimMonitorState next = fresh;
    LoadDevices(state.at("devices"), next);
    LoadFiles(state.at("files"), next, !fresh.files.files().empty(), nowUs);
    next.selection = LoadSelection(state.at("selection"));
    next.connection = StateNumber<uint64_t>(state, "connection");
    next.restartCount = StateNumber<uint32_t>(state, "restartCount");
    next.absentUntilWallMs = StateNumber<int64_t>(state, "absentUntilWallMs");
    next.absentForever = state.at("absentForever").get<bool>();
    next.restartOnReturn = state.at("restartOnReturn").get<bool>();
    next.powerCycleAtWallMs = StateNumber<int64_t>(state, "powerCycleAtWallMs");
    next.transferState = StateNumber<uint32_t>(state, "transferState");
    next.armed = state.at("armed").get<bool>();
    next.osd = StateNumber<int64_t>(state, "osd");
    next.zvFlags = StateNumber<uint32_t>(state, "zvFlags");
    next.changingRequests =
        state.contains("changingRequests") ? StateNumber<uint64_t>(state, "changingRequests") : 0;
    return next;
}

}  // namespace screenio::sim
