// SPDX-License-Identifier: Apache-2.0
// Capabilities, generic feature access, identity and registers.
#include "device/Monitor.h"

#include <cstring>

#include "device/ReportBytes.h"
#include "screenio/screenio.h"

namespace fwu::dev {
namespace {

constexpr uint32_t kSerialReportMinimum = 16;
constexpr size_t kSerialLength = 8;
constexpr uint64_t kOsdLeave = 0x8000;
constexpr uint64_t kOsdEnter = 0x4000;

}  // namespace

bool Monitor::supports(Usage usage) {
    uint8_t flag = 1;
    uint32_t count = 0;
    KmError status =
        KmGetFixedData(m_handle, usage.page, usage.usage, nullptr, nullptr, nullptr, &flag, &count);
    return status >= 0 && flag == 0;
}

bool Monitor::supportsFirmwareUpdateV3() {
    return supports(usages::kPageWrite) && supports(usages::kCrc32);
}

bool Monitor::supportsFirmwareUpdateV4() {
    if (!supportsFirmwareUpdateV3()) return false;
    FileProperty property;
    return getFileProperty("KFW000", &property) >= 0 && property.recordCount != 0;
}

bool Monitor::supports_kfw_fs(uint32_t* count) {
    FileProperty property;
    const bool read = getFileProperty("KFW000", &property) >= 0;
    const uint32_t records = read ? property.recordCount : 0;
    if (count) *count = records;
    return records != 0;
}

bool Monitor::supportsFirmwareUpdateMStar() {
    return uint16_t(get_report_count(usages::kScalerData)) == kMStarDataReportLength;
}

bool Monitor::supportsFirmwareUpdateZV() {
    return supports(usages::kZvCommand) && supports(usages::kZvData) &&
           supports(usages::kZvDeviceInfo) && supports(usages::kZvUpdateFlag);
}

uint32_t Monitor::get_report_count(Usage usage) {
    uint8_t flag = 1;
    uint32_t count = 0;
    KmError status =
        KmGetFixedData(m_handle, usage.page, usage.usage, nullptr, nullptr, nullptr, &flag, &count);
    return status < 0 ? 0 : count;
}

KmError Monitor::get_data(Usage usage, std::vector<uint8_t>* bytes) {
    if (!bytes) return KmErrorInvalidArgument;
    return KmGetFeatureArray(m_handle, usage.page, usage.usage, bytes->data(),
                             uint32_t(bytes->size()));
}

KmError Monitor::set_data(Usage usage, const std::vector<uint8_t>& bytes) {
    return KmSetFeatureArray(m_handle, usage.page, usage.usage, bytes.data(),
                             uint32_t(bytes.size()));
}

KmError Monitor::get_value(Usage usage, uint64_t* value) {
    if (!value) return KmErrorInvalidArgument;
    int64_t cell = 0;
    KmError status = KmGetFeatureValue(m_handle, usage.page, usage.usage, &cell);
    *value = uint64_t(cell);
    return status;
}

KmError Monitor::set_value(Usage usage, uint64_t value) {
    return KmSetFeatureValue(m_handle, usage.page, usage.usage, int64_t(value));
}

KmError Monitor::getSerialProduct(std::string* serial, std::string* product) {
    const uint32_t length = get_report_count(usages::kSerialProduct);
    if (length < kSerialReportMinimum) return KmErrorFailed;
    std::vector<uint8_t> report(length);
    KmError status = get_data(usages::kSerialProduct, &report);
    if (status < 0) return status;
    if (serial) *serial = report::GetText(report, 0, kSerialLength);
    if (product) {
        std::string name = report::GetText(report, kSerialLength, length);
        // Some monitors pad the product with spaces; the serial number keeps its own.
        name.erase(name.find_last_not_of(' ') + 1);
        *product = name;
    }
    return status;
}

KmError Monitor::getSerialProduct(char (*serial)[9], char (*product)[17]) {
    if (serial) std::memset(*serial, 0, sizeof *serial);
    if (product) std::memset(*product, 0, sizeof *product);
    std::string serialText, productText;
    KmError status = getSerialProduct(&serialText, &productText);
    if (status < 0) return status;
    if (serial) serialText.copy(*serial, sizeof *serial - 1);
    if (product) productText.copy(*product, sizeof *product - 1);
    return status;
}

KmError Monitor::getTransferState(uint32_t* state) {
    if (!state) return KmErrorInvalidArgument;
    uint64_t cell = 0;
    KmError status = get_value(usages::kTransferState, &cell);
    *state = uint32_t(cell);
    return status;
}

KmError Monitor::setTransferState(uint32_t state) {
    return set_value(usages::kTransferState, state);
}

KmError Monitor::setOSDStatus(bool on) {
    KmError status = set_value(usages::kOsdStatus, kOsdLeave);
    if (!on) return status;
    return set_value(usages::kOsdStatus, kOsdEnter);
}

KmError Monitor::restartMPU() {
    // The monitor drops off the bus while restarting, so the request may well report failure.
    set_value(usages::kRestartMpu, 0);
    return 0;
}

}  // namespace fwu::dev
