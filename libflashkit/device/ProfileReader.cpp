// SPDX-License-Identifier: Apache-2.0
#include "device/ProfileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/RecordFiles.h"
#include "device/ReportBytes.h"
#include "device/ZVCommands.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu::dev {
namespace {

using OrderPair = std::pair<uint32_t, uint32_t>;  // device ID, display order

constexpr size_t kZvInfoMinimum = 12;
constexpr size_t kVersionQueryLength = 18;
constexpr size_t kVersionTextLength = 16;
constexpr uint32_t kHexVersionDevice = 0x600;

std::vector<uint32_t> DisplayOrder(std::vector<OrderPair> pairs) {
    std::stable_sort(pairs.begin(), pairs.end(), DeviceOrderCompare);
    std::vector<uint32_t> ids;
    ids.reserve(pairs.size());
    for (const OrderPair& pair : pairs) ids.push_back(pair.first);
    return ids;
}

// The older query's version text: "1.05" is 105, and the FPGA's "1.0A" is 0x10A. A text
// without a number leaves the version as it was.
void ParseVersionText(std::string text, uint32_t device, uint32_t* version) {
    const size_t dot = text.find('.');
    if (dot != std::string::npos) text.erase(dot, 1);
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(begin, &end, device == kHexVersionDevice ? 16 : 10);
    if (end == begin) return;
    *version = uint32_t(number);
}

}  // namespace

bool DeviceOrderCompare(const OrderPair& a, const OrderPair& b) { return a.second < b.second; }

KmError ProfileReader::readProfile(DeviceProfileList* list) const {
    if (!list) return KmErrorInvalidArgument;
    list->items().clear();
    const uint16_t records = RecordFiles(m_features).deviceFileRecords();
    if (records != 0) return readFileProfile(records, list);
    if (ZVCommands(m_features).supported()) return readZVProfile(list);
    list->setV1Profile();
    return 0;
}

KmError ProfileReader::readFileProfile(uint16_t records, DeviceProfileList* list) const {
    const RecordFiles files(m_features);
    std::vector<OrderPair> shown;
    KmError status = 0;
    for (uint32_t i = 0; i < records; ++i) {
        DeviceProfile profile;
        profile.device = i;
        uint32_t order = 0;
        const uint16_t record = uint16_t(i);
        if ((status = files.readRecord("KFW000", record, &profile.name)) < 0) return status;
        if ((status = files.readRecord("KFW001", record, &profile.fileName)) < 0) return status;
        if ((status = files.readRecord("KFW003", record, &order)) < 0) return status;
        if (order != 0) shown.emplace_back(i, order);
        list->push(profile);
    }
    list->setDisplayDeviceIDs(DisplayOrder(std::move(shown)));
    return status;
}

KmError ProfileReader::readZVProfile(DeviceProfileList* list) const {
    if (!list) return KmErrorInvalidArgument;
    const uint32_t length = m_features.reportCount(usages::kZvDeviceInfo);
    if (length < kZvInfoMinimum) return KmErrorNotSupported;
    std::vector<uint8_t> buffer(length, 0);
    KmError status = m_features.getData(usages::kZvDeviceInfo, &buffer);
    if (status < 0 || buffer[0] == 0) return KmErrorNotSupported;
    const uint8_t count = buffer[0];
    std::vector<OrderPair> shown;
    for (uint32_t index = 0; index < count; ++index) {
        // The request echoes the last reply with only the index changed.
        buffer[1] = uint8_t(index);
        if ((status = m_features.setData(usages::kZvDeviceInfo, buffer)) < 0) return status;
        if ((status = m_features.getData(usages::kZvDeviceInfo, &buffer)) < 0) return status;
        DeviceProfile profile;
        profile.updateFlagIndex = buffer[2];
        profile.device = report::GetU16(buffer, 3);
        profile.address = report::GetU32(buffer, 6);
        profile.name = report::GetText(buffer, 11, length);
        if (buffer[5] != 0) shown.emplace_back(profile.device, buffer[5]);
        list->push(profile);
    }
    list->setDisplayDeviceIDs(DisplayOrder(std::move(shown)));
    return status;
}

KmError ProfileReader::readVersion(uint32_t device, FWDeviceVersion* version) const {
    if (!version) return KmErrorInvalidArgument;
    version->deviceID = device;
    const RecordFiles files(m_features);
    if (files.deviceFileRecords() != 0)
        return files.readRecord("KFW002", uint16_t(device), &version->version);
    return queryVersion(device, version);
}

KmError ProfileReader::queryVersion(uint32_t device, FWDeviceVersion* version) const {
    std::vector<uint8_t> request(kVersionQueryLength, 0);
    report::PutU16(request, 0, uint16_t(device));
    KmError status = m_features.setData(usages::kDeviceVersionQuery, request);
    if (status < 0) return status;
    std::vector<uint8_t> reply(kVersionQueryLength, 0);
    status = m_features.getData(usages::kDeviceVersionQuery, &reply);
    if (status < 0) return status;
    // A reply about another device (or a device ID that 16 bits cannot carry) tells nothing.
    if (report::GetU16(reply, 0) != device) {
        version->version = 0;
        return status;
    }
    if (reply[2] == 0) return status;
    ParseVersionText(report::GetText(reply, 2, kVersionTextLength), device, &version->version);
    return status;
}

KmError ProfileReader::readVersionList(kfw::DeviceVersionList* versions,
                                       const DeviceProfileList* profiles) const {
    if (!versions) return KmErrorInvalidArgument;
    if (!profiles || profiles->items().empty()) return KmErrorFailed;
    KmError status = 0;
    for (const DeviceProfile& profile : profiles->items()) {
        FWDeviceVersion version{profile.device, 0};
        status = readVersion(profile.device, &version);
        if (status < 0) return status;
        versions->push(kfw::DeviceVersion{version.deviceID, Version(version.version)});
    }
    return status;
}

}  // namespace fwu::dev
