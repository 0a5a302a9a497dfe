// SPDX-License-Identifier: Apache-2.0
// The JSON form of the device version list (a package's target versions) and of the device
// profile list.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "profile/CheckJson.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"
#include "json/Value.h"

namespace fwu {

using pocketjson::Value;

namespace {

// Device IDs travel as signed 32-bit numbers: -1 stands for 0xFFFFFFFF, anything outside the
// signed range for nothing (0).
uint32_t ToSigned32(const Value& value) {
    const int64_t number = value.integerValue();
    return number >= INT32_MIN && number <= INT32_MAX
               ? static_cast<uint32_t>(static_cast<int32_t>(number))
               : 0;
}

Value FromSigned32(uint32_t value) { return Value(static_cast<int32_t>(value)); }

// The lenient 64-bit reading of a number of any kind; 0 when the value stands for none.
int64_t ToInt64(const Value& value) {
    switch (value.type()) {
    case pocketjson::Boolean: return value.booleanValue() ? 1 : 0;
    case pocketjson::Integer: return value.integerValue();
    case pocketjson::Real: {
        // Halves away from zero; the range test is false for NaN and keeps the cast defined.
        const double rounded = std::round(value.realValue());
        return rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0
                   ? static_cast<int64_t>(rounded)
                   : 0;
    }
    case pocketjson::String: {
        // The whole text must be one number, in the same bases toUInt32 accepts.
        const std::string& text = value.stringValue();
        const char* begin = text.c_str();
        char* end = nullptr;
        errno = 0;
        const long long number = std::strtoll(begin, &end, 0);
        return errno == 0 && end == begin + text.size() ? number : 0;
    }
    default: return 0;
    }
}

// Optional members are absent or integers; anything else is a shape error.
uint32_t ReadOptionalInteger(const Value& json, const char* key) {
    const Value* member = json.find(key);
    if (!member) return 0;
    CheckJson(*member, pocketjson::Integer);
    return member->toUInt32();
}

}  // namespace

namespace kfw {

Value DeviceVersionList::toJson() const {
    Value json(pocketjson::Array);
    for (const DeviceVersion& entry : m_items) {
        Value item(pocketjson::Object);
        item.insert("device", entry.deviceID);
        item.insert("version", entry.version.value());
        json.push_back(item);
    }
    return json;
}

void DeviceVersionList::fromJson(const Value& json) {
    m_items.clear();
    CheckJson(json, pocketjson::Array);
    for (size_t i = 0; i < json.size(); ++i) {
        const Value& item = json.at(i);
        const uint32_t device = CheckJson(item, "device", pocketjson::Integer).toUInt32();
        const uint32_t version = CheckJson(item, "version", pocketjson::Integer).toUInt32();
        push({device, Version(version)});
    }
}

}  // namespace kfw

namespace dev {

Value DeviceProfileList::toJson() const {
    Value devices(pocketjson::Array);
    for (const DeviceProfile& profile : m_items) {
        Value item(pocketjson::Object);
        item.insert("name", profile.name);
        item.insert("fileName", profile.fileName);
        item.insert("device", FromSigned32(profile.device));
        item.insert("versionRepresentation", profile.versionRepresentation);
        item.insert("address", profile.address);
        item.insert("updateFlagIndex", profile.updateFlagIndex);
        devices.push_back(item);
    }
    Value displayDevices(pocketjson::Array);
    for (uint32_t id : m_displayDeviceIDs) displayDevices.push_back(FromSigned32(id));

    Value json(pocketjson::Object);
    json.insert("devices", devices);
    json.insert("displayDevices", displayDevices);
    return json;
}

void DeviceProfileList::fromJson(const Value& json) {
    m_items.clear();
    m_displayDeviceIDs.clear();
    const Value& devices = CheckJson(json, "devices", pocketjson::Array);
    for (size_t i = 0; i < devices.size(); ++i) {
        const Value& item = devices.at(i);
        DeviceProfile profile;
        profile.name = CheckJson(item, "name", pocketjson::String).stringValue();
        profile.fileName = CheckJson(item, "fileName", pocketjson::String).stringValue();
        profile.device = ToSigned32(CheckJson(item, "device", pocketjson::Integer));
        profile.address = ReadOptionalInteger(item, "address");
        // Kept as its low 32 bits, whatever kind of number it came as.
        profile.versionRepresentation =
            static_cast<uint32_t>(ToInt64(item["versionRepresentation"]));
        profile.updateFlagIndex = ReadOptionalInteger(item, "updateFlagIndex");
        push(profile);
    }
    const Value& displayDevices = CheckJson(json, "displayDevices", pocketjson::Array);
    for (size_t i = 0; i < displayDevices.size(); ++i) {
        const Value& id = displayDevices.at(i);
        CheckJson(id, pocketjson::Integer);
        m_displayDeviceIDs.push_back(ToSigned32(id));
    }
}

}  // namespace dev

}  // namespace fwu
