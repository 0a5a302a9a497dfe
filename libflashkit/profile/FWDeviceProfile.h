// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "flashkit/flashkit.h"

namespace pocketjson {
class Value;
}

// The exported device-profile handle. The slot order is fixed: exported functions call
// through it.
struct FWDeviceProfile {
    virtual ~FWDeviceProfile() = default;
    virtual bool getDeviceID(FWDeviceVersionKind kind, unsigned int* ids,
                             unsigned int* count) const = 0;
    virtual bool getDeviceVersionString(FWDeviceVersion version, char* text,
                                        unsigned int* length) const = 0;
    virtual pocketjson::Value toJson() const = 0;
    virtual void fromJson(const pocketjson::Value& json) = 0;
};
