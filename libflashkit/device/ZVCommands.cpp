// SPDX-License-Identifier: Apache-2.0
#include "device/ZVCommands.h"

#include <algorithm>

#include "device/ReportBytes.h"
#include "device/Sleep.h"

namespace fwu::dev {
namespace {

constexpr size_t kCommandLength = 9;
constexpr size_t kDataLength = 256;
constexpr size_t kFlagLength = 3;
constexpr uint32_t kBlockSize = 0x10000;
constexpr uint8_t kOperationWrite = 0;
constexpr uint8_t kOperationErase = 2;
constexpr uint8_t kOperationChecksum = 3;
constexpr uint8_t kExecute = 0xFF;
constexpr uint8_t kStatusDone = 1;
constexpr uint8_t kStatusBusy = 2;
constexpr uint32_t kEraseWaitMs = 300;
constexpr uint32_t kPollIntervalMs = 100;
constexpr int kPollRereads = 602;

}  // namespace

bool ZVCommands::supported() const {
    return m_features.supports(usages::kZvCommand) && m_features.supports(usages::kZvData) &&
           m_features.supports(usages::kZvDeviceInfo) && m_features.supports(usages::kZvUpdateFlag);
}

KmError ZVCommands::command(uint32_t address, uint32_t length, uint8_t operation) const {
    std::vector<uint8_t> request(kCommandLength, 0);
    report::PutU32(request, 0, address);
    report::PutU32(request, 4, length);
    request[8] = operation;
    return m_features.setData(usages::kZvCommand, request);
}

KmError ZVCommands::execute(uint32_t waitMilliseconds) const {
    std::vector<uint8_t> request(kDataLength, 0);
    request[0] = kExecute;
    KmError status = m_features.setData(usages::kZvData, request);
    // The monitor may have started even when the request reports failure: wait either way.
    if (waitMilliseconds) internal::SleepMilliseconds(waitMilliseconds);
    return status;
}

KmError ZVCommands::poll(std::vector<uint8_t>* reply) const {
    reply->assign(kDataLength, 0);
    KmError status = m_features.getData(usages::kZvData, reply);
    if (status < 0) return KmErrorFailed;
    for (int rereads = 0; (*reply)[0] == kStatusBusy;) {
        internal::SleepMilliseconds(kPollIntervalMs);
        status = m_features.getData(usages::kZvData, reply);
        if (status < 0) return KmErrorFailed;
        if (++rereads == kPollRereads) return KmErrorTimeout;
    }
    return (*reply)[0] == kStatusDone ? status : KmErrorFailed;
}

KmError ZVCommands::blockErase(uint32_t address) const {
    KmError status = command(address, kBlockSize, kOperationErase);
    if (status < 0) return status;
    if ((status = execute(kEraseWaitMs)) < 0) return status;
    std::vector<uint8_t> reply;
    status = poll(&reply);
    return status < 0 ? status : 0;
}

KmError ZVCommands::writeData(uint32_t address, const uint8_t* data, uint32_t length) const {
    if (!data && length) return KmErrorInvalidArgument;
    KmError status = command(address, kDataLength, kOperationWrite);
    if (status < 0) return status;
    std::vector<uint8_t> page(kDataLength, 0);
    std::copy_n(data, std::min<size_t>(length, kDataLength), page.begin());
    return m_features.setData(usages::kZvData, page);
}

KmError ZVCommands::calcChecksum(uint32_t address, uint32_t length, uint32_t* checksum) const {
    KmError status = command(address, length, kOperationChecksum);
    if (status < 0) return status;
    // About a second per 64 KiB before the monitor is worth asking.
    if ((status = execute((length / kBlockSize) * 1000)) < 0) return status;
    std::vector<uint8_t> reply;
    status = poll(&reply);
    if (status < 0) return status;
    if (checksum) *checksum = report::GetU32(reply, 1);
    return status;
}

KmError ZVCommands::setUpdateFlag(uint8_t index, bool value) const {
    std::vector<uint8_t> request(kFlagLength, 0);
    request[1] = index;
    request[2] = value ? 1 : 0;
    return m_features.setData(usages::kZvUpdateFlag, request);
}

}  // namespace fwu::dev
