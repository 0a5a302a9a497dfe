// SPDX-License-Identifier: Apache-2.0
#include "profile/DeviceProfile.h"

namespace fwu::dev {

bool DeviceProfile::operator==(const DeviceProfile& other) const {
    return device == other.device && fileName == other.fileName && address == other.address &&
           updateFlagIndex == other.updateFlagIndex;
}

}  // namespace fwu::dev
