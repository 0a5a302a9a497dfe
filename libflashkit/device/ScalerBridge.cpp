// SPDX-License-Identifier: Apache-2.0
#include "device/ScalerBridge.h"

#include <algorithm>

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

uint32_t ScalerBridge::dataReportLength() const {
    return m_features.reportCount(usages::kScalerData);
}

KmError ScalerBridge::setAddress(uint16_t target, uint16_t length) const {
    std::vector<uint8_t> request(4, 0);
    report::PutU16(request, 0, target);
    report::PutU16(request, 2, length);
    return m_features.setData(usages::kScalerAddress, request);
}

KmError ScalerBridge::writeData(uint16_t target, const std::vector<uint8_t>& data) const {
    KmError status = setAddress(target, uint16_t(data.size()));
    if (status < 0) return status;
    const uint32_t length = dataReportLength();
    if (length < data.size() + kReportHeader) return KmErrorInvalidLength;
    std::vector<uint8_t> request(length, 0);
    std::copy(data.begin(), data.end(), request.begin() + kReportHeader);
    return m_features.setData(usages::kScalerData, request);
}

KmError ScalerBridge::readData(uint16_t target, uint16_t length, uint8_t* out) const {
    if (!out && length) return KmErrorInvalidArgument;
    KmError status = setAddress(target, length);
    if (status < 0) return status;
    const uint32_t reportLength = dataReportLength();
    if (reportLength < uint32_t(length) + kReportHeader) return KmErrorInvalidLength;
    std::vector<uint8_t> reply(reportLength, 0);
    status = m_features.getData(usages::kScalerData, &reply);
    if (status < 0) return status;
    if (report::GetU16(reply, 0) != length) return KmErrorInvalidLength;
    std::copy_n(reply.begin() + kReportHeader, length, out);
    return status;
}

KmError ScalerBridge::command(const std::vector<uint8_t>& bytes) const {
    return writeData(kTargetCommand, bytes);
}

KmError ScalerBridge::endCommand() const { return writeData(kTargetEnd, {}); }

KmError ScalerBridge::setIspMode() const {
    KmError status = writeData(kTargetEnterIsp, kIspKey);
    if (status < 0) return status;
    // The bridge may miss the first key while it wakes up; the second one settles it.
    return writeData(kTargetEnterIsp, kIspKey);
}

KmError ScalerBridge::quitIspMode() const { return writeData(kTargetLeaveIsp, {}); }

KmError ScalerBridge::readFlashStatus(FlashStatus* status) const {
    KmError result = command({kReadStatus});
    if (result < 0) return result;
    uint8_t value = 0;
    result = readData(kTargetRead, 1, &value);
    if (status) status->busy = (value & 0x01) != 0;
    if (result < 0) return result;
    return endCommand();
}

KmError ScalerBridge::writeEnable() const {
    KmError status = command({kWriteEnable});
    if (status < 0) return status;
    return endCommand();
}

KmError ScalerBridge::setFlashWriteProtection(bool protect) const {
    KmError status = 0;
    // Unprotecting starts with a status read, so the flash is known to answer first.
    if (!protect && (status = readFlashStatus(nullptr)) < 0) return status;
    if ((status = writeEnable()) < 0) return status;
    if ((status = command({kWriteStatus, uint8_t(protect ? 0x01 : 0x00)})) < 0) return status;
    if ((status = endCommand()) < 0) return status;
    if ((status = command({kWriteDisable})) < 0) return status;
    return endCommand();
}

KmError ScalerBridge::erase(uint8_t eraseCommand, uint32_t address) const {
    KmError status = writeEnable();
    if (status < 0) return status;
    if ((status = command(AddressCommand(eraseCommand, address))) < 0) return status;
    return endCommand();
}

KmError ScalerBridge::blockErase(uint32_t address) const { return erase(kBlockErase, address); }

KmError ScalerBridge::sectorErase(uint32_t address) const { return erase(kSectorErase, address); }

KmError ScalerBridge::writeFlash(uint32_t address, const uint8_t* data, uint32_t length) const {
    if (!data && length) return KmErrorInvalidArgument;
    KmError status = writeEnable();
    if (status < 0) return status;
    // Always a whole page: the flash programs 256 bytes, zero-padded here.
    std::vector<uint8_t> program = AddressCommand(kPageProgram, address);
    program.resize(program.size() + kFlashPage, 0);
    std::copy_n(data, std::min<size_t>(length, kFlashPage), program.begin() + 4);
    if ((status = command(program)) < 0) return status;
    return endCommand();
}

KmError ScalerBridge::readFlash(uint32_t address, uint8_t* out, uint32_t length) const {
    if (length > 0xFFFF) return KmErrorInvalidLength;
    KmError status = command(AddressCommand(kReadData, address));
    if (status < 0) return status;
    if ((status = readData(kTargetRead, uint16_t(length), out)) < 0) return status;
    return endCommand();
}

}  // namespace fwu::dev
