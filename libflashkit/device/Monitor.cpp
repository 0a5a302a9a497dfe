// SPDX-License-Identifier: Apache-2.0
// Capabilities, generic feature access, identity and registers; every protocol is handed to
// its own class.
#include "device/Monitor.h"

#include <cstring>

#include "device/ReportBytes.h"
#include "device/ZVCommands.h"

namespace fwu::dev {
namespace {

constexpr uint32_t kSerialReportMinimum = 16;
constexpr size_t kSerialLength = 8;
constexpr uint64_t kOsdLeave = 0x8000;
constexpr uint64_t kOsdEnter = 0x4000;

}  // namespace

bool Monitor::supports(Usage usage) { return features().supports(usage); }

bool Monitor::supportsFirmwareUpdateV3() {
    return supports(usages::kPageWrite) && supports(usages::kCrc32);
}

bool Monitor::supportsFirmwareUpdateV4() {
    return supportsFirmwareUpdateV3() && RecordFiles(features()).deviceFileRecords() != 0;
}

bool Monitor::supports_kfw_fs(uint32_t* count) {
    const uint32_t records = RecordFiles(features()).deviceFileRecords();
    if (count) *count = records;
    return records != 0;
}

bool Monitor::supportsFirmwareUpdateMStar() {
    return uint16_t(ScalerBridge(features()).dataReportLength()) == ScalerBridge::kDataReportLength;
}

bool Monitor::supportsFirmwareUpdateZV() { return ZVCommands(features()).supported(); }

uint32_t Monitor::get_report_count(Usage usage) { return features().reportCount(usage); }

KmError Monitor::get_data(Usage usage, std::vector<uint8_t>* bytes) {
    return features().getData(usage, bytes);
}

KmError Monitor::set_data(Usage usage, const std::vector<uint8_t>& bytes) {
    return features().setData(usage, bytes);
}

KmError Monitor::get_value(Usage usage, uint64_t* value) {
    return features().getValue(usage, value);
}

KmError Monitor::set_value(Usage usage, uint64_t value) {
    return features().setValue(usage, value);
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

// Record files.

KmError Monitor::getFileProperty(const char* name, FileProperty* property) {
    return RecordFiles(features()).getProperty(name, property);
}

KmError Monitor::createTemporaryFile(const char* name, const FileProperty& property) {
    return RecordFiles(features()).createTemporary(name, property);
}

KmError Monitor::write_file_data_atomic_page(const char* name, uint16_t record, uint16_t page,
                                             const uint8_t* data, uint32_t length) {
    return RecordFiles(features()).writePage(name, record, page, data, length);
}

KmError Monitor::writeFileDataAtomic(const char* name, uint16_t record, const uint8_t* data,
                                     uint32_t length, const FWTransferProgress& progress,
                                     FWTransferProgressCallback callback, void* userData) {
    return RecordFiles(features())
        .writeRecord(name, record, data, length, progress, callback, userData);
}

KmError Monitor::read_file_data_atomic_page(const char* name, uint16_t record, uint16_t page,
                                            uint8_t* buffer, uint32_t length) {
    return RecordFiles(features()).readPage(name, record, page, buffer, length);
}

KmError Monitor::read_file_data_atomic(const char* name, uint16_t record,
                                       std::vector<uint8_t>* bytes) {
    return RecordFiles(features()).readRecord(name, record, bytes);
}

KmError Monitor::read_file_data_atomic(const char* name, uint16_t record, std::string* text) {
    return RecordFiles(features()).readRecord(name, record, text);
}

KmError Monitor::read_file_data_atomic(const char* name, uint16_t record, uint32_t* value) {
    return RecordFiles(features()).readRecord(name, record, value);
}

KmError Monitor::triggerCrc32Calculation(const char* name, uint32_t initial) {
    return RecordFiles(features()).triggerCrc32(name, initial);
}

KmError Monitor::getCrc32Result(const char* name, Crc32Result* result) {
    return RecordFiles(features()).getCrc32Result(name, result);
}

// Device profile and versions.

KmError Monitor::getDeviceProfile(DeviceProfileList* list) {
    return ProfileReader(features()).readProfile(list);
}

KmError Monitor::get_device_profile_zv(DeviceProfileList* list) {
    return ProfileReader(features()).readZVProfile(list);
}

KmError Monitor::getDeviceVersion(uint32_t device, FWDeviceVersion* version) {
    return ProfileReader(features()).readVersion(device, version);
}

KmError Monitor::getDeviceVersionList(kfw::DeviceVersionList* versions,
                                      const DeviceProfileList* profiles) {
    return ProfileReader(features()).readVersionList(versions, profiles);
}

// Scaler ISP bridge.

bool Monitor::supports_scalar_update(uint32_t* count) {
    const uint32_t length = ScalerBridge(features()).dataReportLength();
    if (count) *count = length;
    return length != 0;
}

KmError Monitor::set_scalar_address(uint16_t target, uint16_t length) {
    return ScalerBridge(features()).setAddress(target, length);
}

KmError Monitor::write_scalar_data(uint16_t target, const std::vector<uint8_t>& data) {
    return ScalerBridge(features()).writeData(target, data);
}

KmError Monitor::read_scalar_data(uint16_t target, uint16_t length, uint8_t* out) {
    return ScalerBridge(features()).readData(target, length, out);
}

KmError Monitor::mstarSetISPMode() { return ScalerBridge(features()).setIspMode(); }

KmError Monitor::mstarQuitISPMode() { return ScalerBridge(features()).quitIspMode(); }

KmError Monitor::mstarReadFlashStatus(MStarFlashStatus* status) {
    return ScalerBridge(features()).readFlashStatus(status);
}

KmError Monitor::mstarSetSWFlashWriteProtection(bool protect) {
    return ScalerBridge(features()).setFlashWriteProtection(protect);
}

KmError Monitor::mstarBlockErase(uint32_t address) {
    return ScalerBridge(features()).blockErase(address);
}

KmError Monitor::mstarSectorErase(uint32_t address) {
    return ScalerBridge(features()).sectorErase(address);
}

KmError Monitor::mstarWriteData(uint32_t address, const uint8_t* data, uint32_t length) {
    return ScalerBridge(features()).writeFlash(address, data, length);
}

KmError Monitor::mstarReadData(uint32_t address, uint8_t* out, uint32_t length) {
    return ScalerBridge(features()).readFlash(address, out, length);
}

KmError Monitor::mstarEndCommand() { return ScalerBridge(features()).endCommand(); }

// ZV flash commands.

KmError Monitor::zvBlockErase(uint32_t address) {
    return ZVCommands(features()).blockErase(address);
}

KmError Monitor::zvWriteData(uint32_t address, const uint8_t* data, uint32_t length) {
    return ZVCommands(features()).writeData(address, data, length);
}

KmError Monitor::zvCalcChecksum(uint32_t address, uint32_t length, uint32_t* checksum) {
    return ZVCommands(features()).calcChecksum(address, length, checksum);
}

KmError Monitor::zvSetUpdateFlag(uint8_t index, bool value) {
    return ZVCommands(features()).setUpdateFlag(index, value);
}

}  // namespace fwu::dev
