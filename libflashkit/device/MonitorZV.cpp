// SPDX-License-Identifier: Apache-2.0
// ZV flash commands: block erase, page writes, the monitor's checksum and the update flags.
#include <algorithm>

#include "device/Monitor.h"
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

KmError Monitor::zvCommand(uint32_t address, uint32_t length, uint8_t operation) {
    std::vector<uint8_t> command(kCommandLength, 0);
    report::PutU32(command, 0, address);
    report::PutU32(command, 4, length);
    command[8] = operation;
    return set_data(usages::kZvCommand, command);
}

KmError Monitor::zvExecute(uint32_t waitMilliseconds) {
    std::vector<uint8_t> request(kDataLength, 0);
    request[0] = kExecute;
    KmError status = set_data(usages::kZvData, request);
    // The monitor may have started even when the request reports failure: wait either way.
    if (waitMilliseconds) internal::SleepMilliseconds(waitMilliseconds);
    return status;
}

KmError Monitor::zvPoll(std::vector<uint8_t>* reply) {
    reply->assign(kDataLength, 0);
    KmError status = get_data(usages::kZvData, reply);
    if (status < 0) return KmErrorFailed;
    for (int rereads = 0; (*reply)[0] == kStatusBusy;) {
        internal::SleepMilliseconds(kPollIntervalMs);
        status = get_data(usages::kZvData, reply);
        if (status < 0) return KmErrorFailed;
        if (++rereads == kPollRereads) return KmErrorTimeout;
    }
    return (*reply)[0] == kStatusDone ? status : KmErrorFailed;
}

KmError Monitor::zvBlockErase(uint32_t address) {
    KmError status = zvCommand(address, kBlockSize, kOperationErase);
    if (status < 0) return status;
    if ((status = zvExecute(kEraseWaitMs)) < 0) return status;
    std::vector<uint8_t> reply;
    status = zvPoll(&reply);
    return status < 0 ? status : 0;
}

KmError Monitor::zvWriteData(uint32_t address, const uint8_t* data, uint32_t length) {
    if (!data && length) return KmErrorInvalidArgument;
    KmError status = zvCommand(address, kDataLength, kOperationWrite);
    if (status < 0) return status;
    std::vector<uint8_t> page(kDataLength, 0);
    std::copy_n(data, std::min<size_t>(length, kDataLength), page.begin());
    return set_data(usages::kZvData, page);
}

KmError Monitor::zvCalcChecksum(uint32_t address, uint32_t length, uint32_t* checksum) {
    KmError status = zvCommand(address, length, kOperationChecksum);
    if (status < 0) return status;
    // About a second per 64 KiB before the monitor is worth asking.
    if ((status = zvExecute((length / kBlockSize) * 1000)) < 0) return status;
    std::vector<uint8_t> reply;
    status = zvPoll(&reply);
    if (status < 0) return status;
    if (checksum) *checksum = report::GetU32(reply, 1);
    return status;
}

KmError Monitor::zvSetUpdateFlag(uint8_t index, bool value) {
    std::vector<uint8_t> request(kFlagLength, 0);
    request[1] = index;
    request[2] = value ? 1 : 0;
    return set_data(usages::kZvUpdateFlag, request);
}

}  // namespace fwu::dev
