// SPDX-License-Identifier: Apache-2.0
// The scaler's ISP bridge (scaler-address and scaler-data reports) and the serial-flash
// commands sent through it.
#include <algorithm>

#include "device/Monitor.h"
#include "device/ReportBytes.h"

namespace fwu::dev {
namespace {

constexpr uint16_t kTargetEnterIsp = 0x4D92;
constexpr uint16_t kTargetCommand = 0x1092;
constexpr uint16_t kTargetRead = 0x1192;
constexpr uint16_t kTargetEnd = 0x1292;
constexpr uint16_t kTargetLeaveIsp = 0x2492;

constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kBlockErase = 0xD8;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kReadData = 0x03;

constexpr size_t kFlashPage = 256;
constexpr size_t kReportHeader = 2;

const std::vector<uint8_t> kIspKey{'V', 'R', 'N', 'X'};

// A command byte followed by a 24-bit flash address, most significant byte first.
std::vector<uint8_t> AddressCommand(uint8_t command, uint32_t address) {
    return {command, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
}

}  // namespace

bool Monitor::supports_scalar_update(uint32_t* count) {
    const uint32_t length = get_report_count(usages::kScalerData);
    if (count) *count = length;
    return length != 0;
}

KmError Monitor::set_scalar_address(uint16_t target, uint16_t length) {
    std::vector<uint8_t> request(4, 0);
    report::PutU16(request, 0, target);
    report::PutU16(request, 2, length);
    return set_data(usages::kScalerAddress, request);
}

KmError Monitor::write_scalar_data(uint16_t target, const std::vector<uint8_t>& data) {
    KmError status = set_scalar_address(target, uint16_t(data.size()));
    if (status < 0) return status;
    const uint32_t length = get_report_count(usages::kScalerData);
    if (length < data.size() + kReportHeader) return KmErrorInvalidLength;
    std::vector<uint8_t> request(length, 0);
    std::copy(data.begin(), data.end(), request.begin() + kReportHeader);
    return set_data(usages::kScalerData, request);
}

KmError Monitor::read_scalar_data(uint16_t target, uint16_t length, uint8_t* out) {
    if (!out && length) return KmErrorInvalidArgument;
    KmError status = set_scalar_address(target, length);
    if (status < 0) return status;
    const uint32_t reportLength = get_report_count(usages::kScalerData);
    if (reportLength < uint32_t(length) + kReportHeader) return KmErrorInvalidLength;
    std::vector<uint8_t> reply(reportLength, 0);
    status = get_data(usages::kScalerData, &reply);
    if (status < 0) return status;
    if (report::GetU16(reply, 0) != length) return KmErrorInvalidLength;
    std::copy_n(reply.begin() + kReportHeader, length, out);
    return status;
}

KmError Monitor::mstarCommand(const std::vector<uint8_t>& bytes) {
    return write_scalar_data(kTargetCommand, bytes);
}

KmError Monitor::mstarEndCommand() { return write_scalar_data(kTargetEnd, {}); }

KmError Monitor::mstarSetISPMode() {
    KmError status = write_scalar_data(kTargetEnterIsp, kIspKey);
    if (status < 0) return status;
    // The bridge may miss the first key while it wakes up; the second one settles it.
    return write_scalar_data(kTargetEnterIsp, kIspKey);
}

KmError Monitor::mstarQuitISPMode() { return write_scalar_data(kTargetLeaveIsp, {}); }

KmError Monitor::mstarReadFlashStatus(MStarFlashStatus* status) {
    KmError result = mstarCommand({kReadStatus});
    if (result < 0) return result;
    uint8_t value = 0;
    result = read_scalar_data(kTargetRead, 1, &value);
    if (status) status->busy = (value & 0x01) != 0;
    if (result < 0) return result;
    return mstarEndCommand();
}

KmError Monitor::mstarWriteEnable() {
    KmError status = mstarCommand({kWriteEnable});
    if (status < 0) return status;
    return mstarEndCommand();
}

KmError Monitor::mstarSetSWFlashWriteProtection(bool protect) {
    KmError status = 0;
    // Unprotecting starts with a status read, so the flash is known to answer first.
    if (!protect && (status = mstarReadFlashStatus(nullptr)) < 0) return status;
    if ((status = mstarWriteEnable()) < 0) return status;
    if ((status = mstarCommand({kWriteStatus, uint8_t(protect ? 0x01 : 0x00)})) < 0) return status;
    if ((status = mstarEndCommand()) < 0) return status;
    if ((status = mstarCommand({kWriteDisable})) < 0) return status;
    return mstarEndCommand();
}

KmError Monitor::mstarErase(uint8_t command, uint32_t address) {
    KmError status = mstarWriteEnable();
    if (status < 0) return status;
    if ((status = mstarCommand(AddressCommand(command, address))) < 0) return status;
    return mstarEndCommand();
}

KmError Monitor::mstarBlockErase(uint32_t address) { return mstarErase(kBlockErase, address); }

KmError Monitor::mstarSectorErase(uint32_t address) { return mstarErase(kSectorErase, address); }

KmError Monitor::mstarWriteData(uint32_t address, const uint8_t* data, uint32_t length) {
    if (!data && length) return KmErrorInvalidArgument;
    KmError status = mstarWriteEnable();
    if (status < 0) return status;
    // Always a whole page: the flash programs 256 bytes, zero-padded here.
    std::vector<uint8_t> command = AddressCommand(kPageProgram, address);
    command.resize(command.size() + kFlashPage, 0);
    std::copy_n(data, std::min<size_t>(length, kFlashPage), command.begin() + 4);
    if ((status = mstarCommand(command)) < 0) return status;
    return mstarEndCommand();
}

KmError Monitor::mstarReadData(uint32_t address, uint8_t* out, uint32_t length) {
    if (length > 0xFFFF) return KmErrorInvalidLength;
    KmError status = mstarCommand(AddressCommand(kReadData, address));
    if (status < 0) return status;
    if ((status = read_scalar_data(kTargetRead, uint16_t(length), out)) < 0) return status;
    return mstarEndCommand();
}

}  // namespace fwu::dev
