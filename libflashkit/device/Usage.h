// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace fwu::dev {

// A monitor feature: usage page and usage.
struct Usage {
    uint16_t page = 0;
    uint16_t usage = 0;
};

// The features the updater uses.
namespace usages {
constexpr Usage kOsdStatus{0xFF00, 0x0F};
constexpr Usage kSerialProduct{0xFF00, 0x35};
constexpr Usage kDeviceVersionQuery{0xFF00, 0xD8};
constexpr Usage kPropertySelect{0xFF02, 0xC2};
constexpr Usage kFileProperty{0xFF02, 0xC3};  // get: property reply; set: create temporary file
constexpr Usage kRestartMpu{0xFF02, 0xF4};
constexpr Usage kTransferState{0xFF02, 0xFB};
constexpr Usage kCrc32{0xFF02, 0xFC};
constexpr Usage kPageRead{0xFF02, 0xFD};
constexpr Usage kPageWrite{0xFF02, 0xFE};
constexpr Usage kScalerAddress{0xFF30, 0x10};
constexpr Usage kScalerData{0xFF30, 0x11};
constexpr Usage kZvCommand{0xFF01, 0x122};
constexpr Usage kZvData{0xFF01, 0x123};
constexpr Usage kZvDeviceInfo{0xFF01, 0x124};
constexpr Usage kZvUpdateFlag{0xFF02, 0x110};
}  // namespace usages

}  // namespace fwu::dev
