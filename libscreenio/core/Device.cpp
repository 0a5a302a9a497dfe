// SPDX-License-Identifier: Apache-2.0
#include "core/Device.h"

namespace screenio {

const char* AccessName(Access access) {
    switch (access) {
    case Access::FixedData: return "fixed-data";
    case Access::GetValue: return "get-value";
    case Access::SetValue: return "set-value";
    case Access::GetArray: return "get-array";
    case Access::SetArray: return "set-array";
    }
    return "?";
}

}  // namespace screenio
