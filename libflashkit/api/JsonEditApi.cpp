// SPDX-License-Identifier: Apache-2.0
// Exported functions that build and edit packages from JSON text.
#include <cstdint>
#include <memory>

#include "api/ApiGuard.h"
#include "api/JsonArgument.h"
#include "core/CriticalSectionLocker.h"
#include "core/Exception.h"
#include "flashkit/flashkit.h"
#include "package/KfwFile.h"
#include "profile/DeviceProfileList.h"

using fwu::Uuid;
using fwu::api::Guard;
using fwu::api::ParseJsonArgument;

namespace {

// Creates the object, fills it from JSON and hands it to the package; the identifier written
// is that of the object the package holds (an equal one already there wins).
template <typename Object, typename Register>
bool RegisterFromJson(std::unique_ptr<Object> object, const pocketjson::Value& json, FWUuid* id,
                      Register&& registerObject) {
    object->fromJson(json);
    const auto* held = registerObject(std::move(object));
    if (!held) return false;
    if (id) *id = held->id().toFWUuid();
    return true;
}

}  // namespace

extern "C" {

FW_EXPORT bool FWKfwFileUpdateMonitorProducts(FWKfwFile* file, const char* json) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        file->updateMonitorProducts(ParseJsonArgument(json));
        return true;
    });
}

FW_EXPORT bool FWKfwFileUpdateTargetVersion(FWKfwFile* file, const char* json) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        file->updateTargetVersion(ParseJsonArgument(json));
        return true;
    });
}

FW_EXPORT bool FWKfwFileUpdateDeviceProfile(FWKfwFile* file, const char* json) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        file->updateDeviceProfile(ParseJsonArgument(json));
        return true;
    });
}

FW_EXPORT bool FWKfwFileUpdateOptions(FWKfwFile* file, const char* json) {
    if (!file || !json) return false;
    Guard(false, [&] {
        const pocketjson::Value options = ParseJsonArgument(json);
        const pocketjson::Value& margin = options["estimatedTimeMargin"];
        if (options.isObject() && margin.isInteger()) {
            const int64_t value = margin.integerValue();
            file->updateEstimatedTimeMargin(
                value < 0 || value > 0xFFFFFFFFll ? 0u : static_cast<uint32_t>(value));
        }
        return true;
    });
    return true;
}

FW_EXPORT bool FWKfwFileRegisterBlob(FWKfwFile* file, const char* json, FWUuid* id) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        return RegisterFromJson(std::make_unique<fwu::kfw::Blob>(), ParseJsonArgument(json), id,
                                [&](auto blob) { return file->registerBlob(std::move(blob)); });
    });
}

FW_EXPORT bool FWKfwFileRegisterAction(FWKfwFile* file, const char* json, FWUuid* id) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        const pocketjson::Value value = ParseJsonArgument(json);
        const auto type = fwu::kfw::Action::toType(value["type"].toString(std::string()));
        std::unique_ptr<fwu::kfw::Action> action = fwu::kfw::Action::newAction(type);
        if (!action) throw fwu::Exception(fwu::PackageError::kInvalidActionType);
        return RegisterFromJson(std::move(action), value, id,
                                [&](auto held) { return file->registerAction(std::move(held)); });
    });
}

FW_EXPORT bool FWKfwFileRegisterBundle(FWKfwFile* file, const char* json, FWUuid* id) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        return RegisterFromJson(
            std::make_unique<fwu::kfw::Bundle>(), ParseJsonArgument(json), id,
            [&](auto bundle) { return file->registerBundle(std::move(bundle)); });
    });
}

FW_EXPORT bool FWKfwFileUpdateBlob(FWKfwFile* file, FWUuid id, const char* json) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        fwu::kfw::Blob* blob = file->findBlob(Uuid::fromFWUuid(id));
        if (!blob) return false;
        blob->fromJson(ParseJsonArgument(json));
        return true;
    });
}

FW_EXPORT bool FWKfwFileUpdateAction(FWKfwFile* file, FWUuid id, const char* json) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        fwu::kfw::Action* action = file->findAction(Uuid::fromFWUuid(id));
        if (!action) return false;
        const pocketjson::Value value = ParseJsonArgument(json);
        // An action cannot change its kind: its class holds the kind's fields.
        if (fwu::kfw::Action::toType(value["type"].toString(std::string())) != action->type())
            return false;
        action->fromJson(value);
        return true;
    });
}

FW_EXPORT bool FWKfwFileUpdateBundle(FWKfwFile* file, FWUuid id, const char* json) {
    if (!file || !json) return false;
    return Guard(false, [&] {
        fwu::kfw::Bundle* bundle = file->findBundle(Uuid::fromFWUuid(id));
        if (!bundle) return false;
        bundle->fromJson(ParseJsonArgument(json));
        return true;
    });
}

FW_EXPORT bool FWDeviceProfileCreateFromJsonString(const char* json, FWDeviceProfile** profile) {
    if (!json || !profile) return false;
    return Guard(false, [&] {
        auto created = std::make_unique<fwu::dev::DeviceProfileList>();
        created->fromJson(ParseJsonArgument(json));
        *profile = created.release();
        return true;
    });
}

FW_EXPORT void FWDeviceProfileRelease(FWDeviceProfile* profile) { delete profile; }

}  // extern "C"
