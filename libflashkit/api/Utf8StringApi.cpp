// SPDX-License-Identifier: Apache-2.0
// Exported functions that give packages and device profiles back as JSON text.
#include <memory>
#include <stdexcept>
#include <string>

#include "api/ApiGuard.h"
#include "api/Utf8String.h"
#include "flashkit/flashkit.h"
#include "package/KfwFile.h"
#include "profile/DeviceProfileList.h"
#include "json/Serializer.h"

using fwu::api::Guard;

namespace fwu::api {

FWUtf8String* ToUtf8String(const pocketjson::Value& value) {
    auto text = std::make_unique<FWUtf8String>();
    std::string error;
    if (!pocketjson::Serializer::serializeToString(value, text->text, pocketjson::SerializeOption(),
                                                   &error))
        throw std::runtime_error(error);
    return text.release();
}

}  // namespace fwu::api

using fwu::api::ToUtf8String;

extern "C" {

FW_EXPORT FWUtf8String* FWUtf8StringCreateKfwFileJsonString(FWKfwFile* file) {
    if (!file) return nullptr;
    return Guard<FWUtf8String*>(nullptr, [&] { return ToUtf8String(file->toJson()); });
}

FW_EXPORT FWUtf8String* FWUtf8StringCreateDeviceProfileJsonString(FWDeviceProfile* profile) {
    if (!profile) return nullptr;
    return Guard<FWUtf8String*>(nullptr, [&] { return ToUtf8String(profile->toJson()); });
}

FW_EXPORT const char* FWUtf8StringGetCString(FWUtf8String* text) {
    return text ? text->text.c_str() : nullptr;
}

FW_EXPORT void FWUtf8StringRelease(FWUtf8String* text) { delete text; }

}  // extern "C"
