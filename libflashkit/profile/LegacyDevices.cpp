// SPDX-License-Identifier: Apache-2.0
#include "profile/LegacyDevices.h"

namespace fwu::dev {

const LegacyDevice kLegacyDevices[kLegacyDeviceCount] = {
    {"Main/System", "PRG000", 0x100, 0}, {"Sub/Controller", "PRG001", 0x101, 0},
    {"DP/FrontEnd", "INP027", 0x500, 0}, {"Font", "AIC653", 0x400, 0},
    {"FPGA", "AIC904", 0x600, 1},
};

const uint32_t kLegacyDisplayDevices[kLegacyDisplayDeviceCount] = {0x100, 0x101, 0x500};

}  // namespace fwu::dev
