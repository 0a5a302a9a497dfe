// SPDX-License-Identifier: Apache-2.0
#include "sim/SimConfig.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace screenio::sim {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
    throw std::runtime_error(path + ": " + message);
}

std::string Member(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string Element(const std::string& path, size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// Every member of an object must be one the schema knows, so that a typo is reported rather
// than silently falling back to a default.
void CheckMembers(const json& object, const std::string& path,
                  std::initializer_list<const char*> known) {
    if (!object.is_object()) Fail(path.empty() ? "(top level)" : path, "expected an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool found = std::any_of(known.begin(), known.end(),
                                 [&](const char* name) { return it.key() == name; });
        if (!found) Fail(Member(path, it.key()), "unknown member");
    }
}

const json* Find(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

uint64_t Unsigned(const json& value, const std::string& path, uint64_t max, const char* what) {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > max)
        Fail(path, std::string("expected ") + what);
    return value.get<uint64_t>();
}

template <typename T>
void ReadUnsigned(const json& object, const std::string& path, const char* key, T& out) {
    if (const json* value = Find(object, key)) {
        constexpr uint64_t max = std::numeric_limits<T>::max();
        const char* what = max == 0xFF     ? "an unsigned 8-bit integer"
                           : max == 0xFFFF ? "an unsigned 16-bit integer"
                                           : "an unsigned 32-bit integer";
        out = T(Unsigned(*value, Member(path, key), max, what));
    }
}

bool IsPrintable(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Text that ends up in a monitor report: printable ASCII of a bounded length.
void ReadText(const json& object, const std::string& path, const char* key, std::string& out,
              size_t minLength, size_t maxLength, bool required) {
    const json* value = Find(object, key);
    std::string where = Member(path, key);
    if (!value) {
        if (required) Fail(where, "missing");
        return;
    }
    if (!value->is_string()) Fail(where, "expected a string");
    std::string text = value->get<std::string>();
    if (!IsPrintable(text)) Fail(where, "expected printable ASCII characters");
    if (text.size() < minLength || text.size() > maxLength) {
        if (minLength == maxLength)
            Fail(where, "expected exactly " + std::to_string(minLength) + " characters");
        Fail(where, "expected " + std::to_string(minLength) + " to " + std::to_string(maxLength) +
                        " characters");
    }
    out = std::move(text);
}

bool ReadBool(const json& object, const std::string& path, const char* key, bool fallback) {
    const json* value = Find(object, key);
    if (!value) return fallback;
    if (!value->is_boolean()) Fail(Member(path, key), "expected true or false");
    return value->get<bool>();
}

const json& ReadArray(const json& object, const std::string& path, const char* key) {
    static const json empty = json::array();
    const json* value = Find(object, key);
    if (!value) return empty;
    if (!value->is_array()) Fail(Member(path, key), "expected an array");
    return *value;
}

template <typename Enum>
Enum ReadName(const json& object, const std::string& path, const char* key,
              std::initializer_list<std::pair<const char*, Enum>> names, Enum fallback) {
    const json* value = Find(object, key);
    if (!value) return fallback;
    std::string where = Member(path, key);
    std::string list;
    for (const auto& name : names) list += std::string(list.empty() ? "" : ", ") + name.first;
    if (!value->is_string()) Fail(where, "expected one of " + list);
    for (const auto& name : names)
        if (value->get<std::string>() == name.first) return name.second;
    Fail(where, "\"" + value->get<std::string>() + "\" is not one of " + list);
}

// "FF02/FE": hexadecimal page and usage of up to four digits each.
UsageId ParseUsage(const json& value, const std::string& path) {
    const char* message = "expected a usage such as \"FF02/FE\" (hexadecimal page/usage)";
    if (!value.is_string()) Fail(path, message);
    std::string text = value.get<std::string>();
    size_t slash = text.find('/');
    auto hex = [&](const std::string& part) -> uint16_t {
        if (part.empty() || part.size() > 4 || !std::all_of(part.begin(), part.end(), [](char c) {
                return std::isxdigit(uint8_t(c));
            }))
            Fail(path, message);
        return uint16_t(std::stoul(part, nullptr, 16));
    };
    if (slash == std::string::npos) Fail(path, message);
    return UsageId{hex(text.substr(0, slash)), hex(text.substr(slash + 1))};
}

std::vector<uint8_t> ParseHex(const json& value, const std::string& path) {
    if (!value.is_string()) Fail(path, "expected a string of hexadecimal digits");
    std::string text = value.get<std::string>();
    if (text.size() % 2 != 0) Fail(path, "expected an even number of hexadecimal digits");
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        if (!std::isxdigit(uint8_t(text[i])) || !std::isxdigit(uint8_t(text[i + 1])))
            Fail(path, "expected hexadecimal digits only");
        bytes.push_back(uint8_t(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

const char* KindName(MonitorKind kind) {
    switch (kind) {
    case MonitorKind::Files: return "files";
    case MonitorKind::Legacy: return "legacy";
    case MonitorKind::MStar: return "mstar";
    case MonitorKind::ZV: return "zv";
    }
    return "?";
}

bool HasFileSystem(MonitorKind kind) {
    return kind == MonitorKind::Files || kind == MonitorKind::Legacy;
}

bool HasFlash(MonitorKind kind) { return kind == MonitorKind::MStar || kind == MonitorKind::ZV; }

DeviceDescription ParseDevice(const json& object, const std::string& path,
                              const MonitorDescription& monitor) {
    CheckMembers(object, path,
                 {"id", "name", "fileName", "recordSize", "recordCount", "version", "displayOrder",
                  "hexVersion", "versionText", "address", "flagAddress", "updateFlagIndex",
                  "boots"});
    DeviceDescription device;
    if (!Find(object, "id")) Fail(Member(path, "id"), "missing");
    ReadUnsigned(object, path, "id", device.id);
    ReadText(object, path, "name", device.name, 0, 255, false);
    if (monitor.kind == MonitorKind::Files && device.name.size() > monitor.deviceNameRecordSize)
        Fail(Member(path, "name"), "longer than deviceNameRecordSize (" +
                                       std::to_string(monitor.deviceNameRecordSize) + ")");
    if (HasFileSystem(monitor.kind)) {
        ReadText(object, path, "fileName", device.fileName, 6, 6, true);
    } else if (Find(object, "fileName")) {
        Fail(Member(path, "fileName"),
             std::string("not used by ") + KindName(monitor.kind) + " monitors");
    }
    ReadUnsigned(object, path, "recordSize", device.recordSize);
    ReadUnsigned(object, path, "recordCount", device.recordCount);
    ReadUnsigned(object, path, "version", device.version);
    ReadUnsigned(object, path, "displayOrder", device.displayOrder);
    device.hexVersion = ReadBool(object, path, "hexVersion", device.hexVersion);
    ReadText(object, path, "versionText", device.versionText, 0, 16, false);
    ReadUnsigned(object, path, "address", device.address);
    ReadUnsigned(object, path, "flagAddress", device.flagAddress);
    ReadUnsigned(object, path, "updateFlagIndex", device.updateFlagIndex);
    if (Find(object, "boots") && !HasFlash(monitor.kind))
        Fail(Member(path, "boots"),
             std::string("not used by ") + KindName(monitor.kind) + " monitors");
    device.boots = ReadBool(object, path, "boots", device.boots);

    if (HasFlash(monitor.kind) && device.address >= monitor.flashSize)
        Fail(Member(path, "address"),
             "outside the flash (flashSize " + std::to_string(monitor.flashSize) + ")");
    if (monitor.kind == MonitorKind::MStar && Find(object, "flagAddress") &&
        uint64_t(device.flagAddress) + 4 > monitor.flashSize)
        Fail(Member(path, "flagAddress"), "the 4-byte marker lies outside the flash");
    if (monitor.kind == MonitorKind::ZV) {
        // The device-information report carries these in 16 and 8 bits.
        if (device.id > 0xFFFF) Fail(Member(path, "id"), "expected at most 65535 on a zv monitor");
        if (device.displayOrder > 0xFF)
            Fail(Member(path, "displayOrder"), "expected at most 255 on a zv monitor");
        // The simulated monitor keeps its update flags in one 32-bit word.
        if (device.updateFlagIndex > 31)
            Fail(Member(path, "updateFlagIndex"), "expected at most 31 on a zv monitor");
    }
    return device;
}

FileDescription ParseFile(const json& object, const std::string& path) {
    CheckMembers(object, path, {"name", "recordSize", "recordCount", "content"});
    FileDescription file;
    ReadText(object, path, "name", file.name, 6, 6, true);
    ReadUnsigned(object, path, "recordSize", file.recordSize);
    ReadUnsigned(object, path, "recordCount", file.recordCount);
    if (const json* content = Find(object, "content")) {
        file.content = ParseHex(*content, Member(path, "content"));
        size_t capacity = size_t(file.recordSize) * file.recordCount;
        if (file.content.size() > capacity)
            Fail(Member(path, "content"), std::to_string(file.content.size()) +
                                              " bytes do not fit recordSize * recordCount (" +
                                              std::to_string(capacity) + ")");
    }
    return file;
}

FaultRule ParseFault(const json& object, const std::string& path) {
    CheckMembers(object, path,
                 {"usage", "access", "first", "count", "effect", "status", "absentMs"});
    FaultRule rule;
    const json* usage = Find(object, "usage");
    if (!usage) Fail(Member(path, "usage"), "missing");
    if (usage->is_string() && usage->get<std::string>() == "*") {
        rule.anyUsage = true;  // counts every request, so a test can interrupt a flow anywhere
    } else {
        UsageId id = ParseUsage(*usage, Member(path, "usage"));
        rule.page = id.page;
        rule.usage = id.usage;
    }
    if (Find(object, "access")) {
        rule.anyAccess = false;
        rule.access = ReadName<Access>(object, path, "access",
                                       {{"fixed-data", Access::FixedData},
                                        {"get-value", Access::GetValue},
                                        {"set-value", Access::SetValue},
                                        {"get-array", Access::GetArray},
                                        {"set-array", Access::SetArray}},
                                       rule.access);
    }
    ReadUnsigned(object, path, "first", rule.first);
    if (rule.first == 0) Fail(Member(path, "first"), "expected 1 or more (requests count from 1)");
    ReadUnsigned(object, path, "count", rule.count);
    rule.effect = ReadName<FaultEffect>(object, path, "effect",
                                        {{"fail", FaultEffect::Fail},
                                         {"wrong-echo", FaultEffect::WrongEcho},
                                         {"corrupt-crc", FaultEffect::CorruptCrc},
                                         {"corrupt-checksum", FaultEffect::CorruptChecksum},
                                         {"stay-busy", FaultEffect::StayBusy},
                                         {"drop-off", FaultEffect::DropOff},
                                         {"flip-bit", FaultEffect::FlipBit},
                                         {"power-cut", FaultEffect::PowerCut}},
                                        rule.effect);
    if (const json* status = Find(object, "status")) {
        std::string where = Member(path, "status");
        if (rule.effect != FaultEffect::Fail) Fail(where, "only used with effect \"fail\"");
        if (!status->is_number_integer() || status->get<int64_t>() >= 0 ||
            status->get<int64_t>() < std::numeric_limits<int32_t>::min())
            Fail(where, "expected a negative 32-bit status");
        rule.status = KmError(status->get<int64_t>());
    }
    if (Find(object, "absentMs")) {
        if (rule.effect != FaultEffect::DropOff)
            Fail(Member(path, "absentMs"), "only used with effect \"drop-off\"");
        ReadUnsigned(object, path, "absentMs", rule.absentMs);
    }
    return rule;
}

void CheckDevices(const MonitorDescription& monitor, const std::string& path) {
    std::set<uint32_t> ids;
    std::set<std::string> fileNames;
    for (size_t i = 0; i < monitor.devices.size(); ++i) {
        const DeviceDescription& device = monitor.devices[i];
        std::string where = Element(Member(path, "devices"), i);
        if (!ids.insert(device.id).second)
            Fail(Member(where, "id"), "device " + std::to_string(device.id) + " appears twice");
        if (!device.fileName.empty() && !fileNames.insert(device.fileName).second)
            Fail(Member(where, "fileName"), "\"" + device.fileName + "\" is used by two devices");
    }
    // The device files index devices by record, so the IDs must be exactly 0 to N-1.
    if (monitor.kind == MonitorKind::Files) {
        for (size_t i = 0; i < monitor.devices.size(); ++i)
            if (monitor.devices[i].id >= monitor.devices.size())
                Fail(Member(Element(Member(path, "devices"), i), "id"),
                     "a files monitor numbers its devices 0 to " +
                         std::to_string(monitor.devices.size() - 1));
    }
}

void CheckFiles(const MonitorDescription& monitor, const std::string& path) {
    if (!monitor.files.empty() && !HasFileSystem(monitor.kind))
        Fail(Member(path, "files"),
             std::string("not used by ") + KindName(monitor.kind) + " monitors");
    std::set<std::string> names;
    for (const DeviceDescription& device : monitor.devices) names.insert(device.fileName);
    if (monitor.kind == MonitorKind::Files)
        for (const char* name : {"KFW000", "KFW001", "KFW002", "KFW003"}) names.insert(name);
    for (size_t i = 0; i < monitor.files.size(); ++i)
        if (!names.insert(monitor.files[i].name).second)
            Fail(Member(Element(Member(path, "files"), i), "name"),
                 "\"" + monitor.files[i].name + "\" already exists on this monitor");
}

// The monitor's timings and report sizes, each where its description gives one.
void ReadNumbers(const json& object, const std::string& path, MonitorDescription& monitor) {
    ReadUnsigned(object, path, "serialReportLength", monitor.serialReportLength);
    ReadUnsigned(object, path, "latencyUs", monitor.latencyUs);
    ReadUnsigned(object, path, "requestTimeUs", monitor.requestTimeUs);
    ReadUnsigned(object, path, "restartMs", monitor.restartMs);
    ReadUnsigned(object, path, "crcBusyMs", monitor.crcBusyMs);
    ReadUnsigned(object, path, "deviceNameRecordSize", monitor.deviceNameRecordSize);
    ReadUnsigned(object, path, "flashSize", monitor.flashSize);
    ReadUnsigned(object, path, "pageProgramUs", monitor.pageProgramUs);
    ReadUnsigned(object, path, "sectorEraseMs", monitor.sectorEraseMs);
    ReadUnsigned(object, path, "blockEraseMs", monitor.blockEraseMs);
    ReadUnsigned(object, path, "statusWriteMs", monitor.statusWriteMs);
    ReadUnsigned(object, path, "zvEraseMs", monitor.zvEraseMs);
    ReadUnsigned(object, path, "zvChecksumMsPerBlock", monitor.zvChecksumMsPerBlock);
    ReadUnsigned(object, path, "zvInfoReportLength", monitor.zvInfoReportLength);
    ReadUnsigned(object, path, "mstarPowerCycleMs", monitor.mstarPowerCycleMs);
}

// Sizes that travel in 16 bits or shape the flash: refused before anything is allocated for them.
void CheckNumbers(const MonitorDescription& monitor, const std::string& path) {
    for (auto [key, value] :
         {std::pair<const char*, uint32_t>{"serialReportLength", monitor.serialReportLength},
          {"deviceNameRecordSize", monitor.deviceNameRecordSize},
          {"zvInfoReportLength", monitor.zvInfoReportLength}})
        if (value > 0xFFFF) Fail(Member(path, key), "expected at most 65535");
    if (monitor.deviceNameRecordSize == 0)
        Fail(Member(path, "deviceNameRecordSize"), "expected 1 or more");
    if (HasFlash(monitor.kind) && (monitor.flashSize < 0x10000 || monitor.flashSize > 0x1000000 ||
                                   monitor.flashSize % 0x10000 != 0))
        Fail(Member(path, "flashSize"), "expected a multiple of 65536 from 65536 to 16777216");
}

// The serial number, and the product name in the room the serial-number report leaves.
void ReadNames(const json& object, const std::string& path, MonitorDescription& monitor) {
    ReadText(object, path, "serial", monitor.serial, 1, 8, true);
    size_t productRoom = monitor.serialReportLength > 8 ? monitor.serialReportLength - 8 : 0;
    if (productRoom == 0)
        Fail(Member(path, "serialReportLength"), "expected at least 9 to hold a product name");
    ReadText(object, path, "product", monitor.product, 1, productRoom, true);
}

// Its devices, record files, left-out usages and fault rules.
void ReadLists(const json& object, const std::string& path, MonitorDescription& monitor) {
    const json& devices = ReadArray(object, path, "devices");
    for (size_t i = 0; i < devices.size(); ++i)
        monitor.devices.push_back(
            ParseDevice(devices[i], Element(Member(path, "devices"), i), monitor));
    CheckDevices(monitor, path);

    const json& files = ReadArray(object, path, "files");
    for (size_t i = 0; i < files.size(); ++i)
        monitor.files.push_back(ParseFile(files[i], Element(Member(path, "files"), i)));
    CheckFiles(monitor, path);

    const json& without = ReadArray(object, path, "withoutUsages");
    for (size_t i = 0; i < without.size(); ++i)
        monitor.withoutUsages.push_back(
            ParseUsage(without[i], Element(Member(path, "withoutUsages"), i)));

    const json& faults = ReadArray(object, path, "faults");
    for (size_t i = 0; i < faults.size(); ++i)
        monitor.faults.push_back(ParseFault(faults[i], Element(Member(path, "faults"), i)));
}

MonitorDescription ParseMonitor(const json& object, const std::string& path) {
    CheckMembers(object, path,
                 {"product",
                  "serial",
                  "kind",
                  "devices",
                  "files",
                  "withoutUsages",
                  "faults",
                  "serialReportLength",
                  "latencyUs",
                  "requestTimeUs",
                  "restartMs",
                  "crcBusyMs",
                  "deviceNameRecordSize",
                  "flashSize",
                  "pageProgramUs",
                  "sectorEraseMs",
                  "blockEraseMs",
                  "statusWriteMs",
                  "zvEraseMs",
                  "zvChecksumMsPerBlock",
                  "zvInfoReportLength",
                  "mstarPowerCycleMs",
                  "claim"});
    MonitorDescription monitor;
    monitor.kind = ReadName<MonitorKind>(object, path, "kind",
                                         {{"files", MonitorKind::Files},
                                          {"legacy", MonitorKind::Legacy},
                                          {"mstar", MonitorKind::MStar},
                                          {"zv", MonitorKind::ZV}},
                                         monitor.kind);
    ReadNumbers(object, path, monitor);
    monitor.claim = ReadName<MonitorClaim>(object, path, "claim",
                                           {{"free", MonitorClaim::Free},
                                            {"busy", MonitorClaim::Busy},
                                            {"denied", MonitorClaim::Denied}},
                                           monitor.claim);
    CheckNumbers(monitor, path);
    ReadNames(object, path, monitor);
    ReadLists(object, path, monitor);
    return monitor;
}

// The JSON reader keeps the last of two equal keys; a description that says a thing twice
// is more likely a mistake than an intent, so it is refused.
json ParseRejectingDuplicates(const std::string& text) {
    std::vector<std::set<std::string>> keys;
    std::string duplicate;
    json::parser_callback_t callback = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start)
            keys.emplace_back();
        else if (event == json::parse_event_t::object_end && !keys.empty())
            keys.pop_back();
        else if (event == json::parse_event_t::key && !keys.empty() && duplicate.empty() &&
                 !keys.back().insert(parsed.get<std::string>()).second)
            duplicate = parsed.get<std::string>();
        return true;
    };
    json document;
    try {
        document = json::parse(text, callback);
    } catch (const json::parse_error& error) {
        throw std::runtime_error(std::string("not valid JSON: ") + error.what());
    }
    if (!duplicate.empty()) Fail(duplicate, "member given twice");
    return document;
}

}  // namespace

SimConfig SimConfig::parse(const std::string& jsonText, const std::string& folder) {
    json document = ParseRejectingDuplicates(jsonText);
    CheckMembers(document, "", {"monitors", "stateFile"});
    SimConfig config;
    const json* monitors = Find(document, "monitors");
    if (!monitors) Fail("monitors", "missing");
    if (!monitors->is_array()) Fail("monitors", "expected an array");
    std::set<std::string> serials;
    for (size_t i = 0; i < monitors->size(); ++i) {
        std::string path = Element("monitors", i);
        config.monitors.push_back(ParseMonitor((*monitors)[i], path));
        // The serial names the monitor in the state file and in traces.
        if (!serials.insert(config.monitors.back().serial).second)
            Fail(Member(path, "serial"),
                 "\"" + config.monitors.back().serial + "\" is used by an earlier monitor");
    }
    if (const json* state = Find(document, "stateFile")) {
        if (!state->is_string() || state->get<std::string>().empty())
            Fail("stateFile", "expected a non-empty path");
        config.stateFile = state->get<std::string>();
        if (config.stateFile[0] != '/' && !folder.empty())
            config.stateFile = folder + "/" + config.stateFile;
    }
    return config;
}

SimConfig SimConfig::load(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        throw std::runtime_error(path + ": is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open (" + std::strerror(errno) + ")");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error(path + ": cannot read");
    size_t slash = path.rfind('/');
    std::string folder =
        slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
    try {
        return parse(text.str(), folder);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}

}  // namespace screenio::sim
