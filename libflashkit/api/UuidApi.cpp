// SPDX-License-Identifier: Apache-2.0
// Exported identifier helpers.
#include <cstring>
#include <string>

#include "api/ApiGuard.h"
#include "core/Uuid.h"
#include "flashkit/flashkit.h"

extern "C" {

FW_EXPORT FWUuid FWUuidCreateFromString(const char* text) {
    return fwu::api::Guard(FWUuid{}, [&] {
        fwu::Uuid uuid;
        if (text) uuid.fromString(text);
        return uuid.toFWUuid();
    });
}

FW_EXPORT void FWUuidGetString(FWUuid uuid, char* buffer) {
    if (!buffer) return;
    const std::string text = fwu::Uuid::fromFWUuid(uuid).toString();
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // extern "C"
