// SPDX-License-Identifier: Apache-2.0
// The exported dry run: an update's plan as JSON text, made with reads only.
#include "api/ApiGuard.h"
#include "api/PackageHandle.h"
#include "api/Utf8String.h"
#include "device/Monitor.h"
#include "engine/GenericTransfer.h"
#include "engine/MStarUpdate.h"
#include "engine/UpdatePlan.h"
#include "engine/ZVUpdate.h"
#include "flashkit/flashkit.h"
#include "json/Value.h"

using fwu::api::AsPackage;
using fwu::api::Guard;
using fwu::dev::Monitor;
using fwu::internal::PlannedImage;
using fwu::internal::UpdateKind;
using fwu::internal::UpdatePlan;
using pocketjson::Value;

namespace {

const char* KindName(UpdateKind kind) {
    switch (kind) {
    case UpdateKind::Scaler: return "scaler";
    case UpdateKind::ZV: return "ZV";
    default: return "record files";
    }
}

Value ImageJson(const PlannedImage& image, UpdateKind kind) {
    Value json(pocketjson::Object);
    if (image.hasDevice) json["device"] = image.deviceID;
    json["bytes"] = uint64_t(image.size());
    if (kind == UpdateKind::RecordFiles) {
        json["file"] = image.fileName;
        json["temporaryFile"] = image.temporaryName;
        json["recordSize"] = image.property.recordSize;
        json["records"] = image.property.recordCount;
        return json;
    }
    json["address"] = image.address;
    Value blocks(pocketjson::Array);
    for (uint32_t k = 0; k < image.blocks; ++k)
        blocks.push_back(uint64_t(image.address) + uint64_t(k) * 0x10000);
    json["erasedBlocks"] = blocks;
    if (image.flagged)
        json[kind == UpdateKind::Scaler ? "markerAddress" : "updateFlag"] = image.flag;
    return json;
}

Value PlanJson(const UpdatePlan& plan, KmError status) {
    Value json(pocketjson::Object);
    json["kind"] = KindName(plan.kind);
    json["status"] = int64_t(status);
    Value images(pocketjson::Array);
    for (const PlannedImage& image : plan.images) images.push_back(ImageJson(image, plan.kind));
    json["images"] = images;
    json["actions"] = plan.actionCount;
    json["totalBytes"] = plan.totalBytes;
    json["estimatedSeconds"] = plan.estimatedSeconds;
    return json;
}

}  // namespace

extern "C" {

FW_EXPORT FWUtf8String* FWUtf8StringCreateUpdatePlanJsonString(void* monitor, FWKfwFile* file,
                                                               unsigned int options,
                                                               KmError* status) {
    if (status) *status = KmErrorInvalidArgument;
    if (!monitor || !file) return nullptr;
    return Guard<FWUtf8String*>(nullptr, [&]() -> FWUtf8String* {
        Monitor device(monitor);
        // The protocols in the order the update chooses them.
        const bool scaler = device.supportsFirmwareUpdateMStar();
        const bool zv = !scaler && device.supportsFirmwareUpdateZV();
        if (!scaler && !zv && !device.supportsFirmwareUpdateV3()) {
            if (status) *status = KmErrorNotSupported;
            return nullptr;
        }
        UpdatePlan plan;
        const KmError planned =
            scaler ? fwu::internal::PlanScaler(device, AsPackage(file), options, &plan)
            : zv   ? fwu::internal::PlanZV(device, AsPackage(file), options, &plan)
                   : fwu::internal::PlanRecordFiles(device, AsPackage(file), options, &plan);
        if (status) *status = planned;
        return fwu::api::ToUtf8String(PlanJson(plan, planned));
    });
}

}  // extern "C"
