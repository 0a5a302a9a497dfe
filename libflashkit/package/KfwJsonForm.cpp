// SPDX-License-Identifier: Apache-2.0
// The JSON form of the package objects. Writers emit every member; readers check each member
// they need with CheckJson, ignore members they do not know, and leave what they read before a
// failing member in place.
#include <memory>
#include <string>

#include "core/CriticalSectionLocker.h"
#include "package/Action.h"
#include "package/Blob.h"
#include "package/Bundle.h"
#include "package/KfwFile.h"
#include "package/KfwObject.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "package/image/ImageFile.h"
#include "profile/CheckJson.h"
#include "json/Value.h"

namespace fwu::kfw {

using pocketjson::Value;

namespace {

// IDs are read leniently: a text too short to be an ID leaves `id` as it was, so a new object
// keeps its random ID when the caller leaves "id" out or empty.
void ReadId(const Value& text, Uuid& id) { id.fromString(text.toString(std::string())); }

Uuid ReadRequiredId(const Value& json, const char* key, const Uuid& current) {
    Uuid id = current;
    ReadId(CheckJson(json, key, pocketjson::String), id);
    return id;
}

const std::string& ReadRequiredString(const Value& json, const char* key) {
    return CheckJson(json, key, pocketjson::String).stringValue();
}

// Addresses may come as reals (a JSON tool may write 1.6e6); toUInt32 rounds them.
uint32_t ReadAddress(const Value& json, const char* key) {
    return CheckJson(json, key, pocketjson::Integer | pocketjson::Real).toUInt32();
}

// Optional numbers keep their previous value unless given as an integer.
void ReadOptionalInteger(const Value& json, const char* key, uint32_t& field) {
    const Value& member = json[key];
    if (member.isInteger()) field = member.toUInt32();
}

}  // namespace

Value KfwObject::toJson() const {
    Value json(pocketjson::Object);
    json.insert("id", m_id.toString());
    return json;
}

void KfwObject::fromJson(const Value& json) { ReadId(json["id"], m_id); }

Value Blob::toJson() const {
    Value json = KfwObject::toJson();
    json.insert("name", name());
    json.insert("path", m_path);
    json.insert("hash", hash().toString());
    json.insert("byteSize", m_size);
    return json;
}

void Blob::fromJson(const Value& json) {
    KfwObject::fromJson(json);
    m_name = ReadRequiredString(json, "name");
    m_path = ReadRequiredString(json, "path");
    // "hash" and "byteSize" describe the bytes and are recomputed from them.
    setBytes(file::LoadImageFile(m_path));
}

Value Action::toJson() const {
    Value json = KfwObject::toJson();
    json.insert("type", toString(m_type));
    json.insert("estimatedTime", m_estimatedTime);
    return json;
}

void Action::fromJson(const Value& json) {
    KfwObject::fromJson(json);
    m_type = toType(ReadRequiredString(json, "type"));
    ReadOptionalInteger(json, "estimatedTime", m_estimatedTime);
}

Value TransferDataAction::toJson() const {
    Value json = Action::toJson();
    json.insert("blob", m_blobID.toString());
    json.insert("fileName", m_fileName);
    return json;
}

void TransferDataAction::fromJson(const Value& json) {
    Action::fromJson(json);
    m_blobID = ReadRequiredId(json, "blob", m_blobID);
    m_fileName = ReadRequiredString(json, "fileName");
}

Value TransferMStarDataAction::toJson() const {
    Value json = Action::toJson();
    json.insert("blob", m_blobID.toString());
    json.insert("address", m_address);
    json.insert("updateFlagAddress", m_updateFlagAddress);
    return json;
}

void TransferMStarDataAction::fromJson(const Value& json) {
    Action::fromJson(json);
    m_blobID = ReadRequiredId(json, "blob", m_blobID);
    m_address = ReadAddress(json, "address");
    m_updateFlagAddress = ReadAddress(json, "updateFlagAddress");
}

Value TransferZVDataAction::toJson() const {
    Value json = Action::toJson();
    json.insert("blob", m_blobID.toString());
    json.insert("address", m_address);
    return json;
}

void TransferZVDataAction::fromJson(const Value& json) {
    Action::fromJson(json);
    m_blobID = ReadRequiredId(json, "blob", m_blobID);
    m_address = ReadAddress(json, "address");
}

Value Bundle::toJson() const {
    Value json = KfwObject::toJson();
    Value actions(pocketjson::Array);
    for (const Uuid& id : m_items) actions.push_back(id.toString());
    Value conditions(pocketjson::Array);
    for (const DeviceVersionCondition& condition : m_conditions) {
        Value entry(pocketjson::Object);
        entry.insert("device", condition.deviceVersion.deviceID);
        entry.insert("version", condition.deviceVersion.version.value());
        entry.insert("comparison", Version::toString(condition.op));
        conditions.push_back(entry);
    }
    json.insert("actions", actions);
    json.insert("conditions", conditions);
    json.insert("estimatedTime", m_estimatedTime);
    return json;
}

void Bundle::fromJson(const Value& json) {
    KfwObject::fromJson(json);
    m_items.clear();
    m_conditions.clear();
    const Value& actions = CheckJson(json, "actions", pocketjson::Array);
    for (size_t i = 0; i < actions.size(); ++i) {
        const Value& item = actions.at(i);
        CheckJson(item, pocketjson::String);
        Uuid id;
        ReadId(item, id);
        push(id);
    }
    const Value& conditions = CheckJson(json, "conditions", pocketjson::Array);
    for (size_t i = 0; i < conditions.size(); ++i) {
        const Value& item = conditions.at(i);
        const uint32_t device = CheckJson(item, "device", pocketjson::Integer).toUInt32();
        const uint32_t version = CheckJson(item, "version", pocketjson::Integer).toUInt32();
        const std::string& comparison = ReadRequiredString(item, "comparison");
        addCondition({device, Version(version)}, Version::toOperator(comparison));
    }
    ReadOptionalInteger(json, "estimatedTime", m_estimatedTime);
}

void KfwFile::updateMonitorProducts(const Value& json) {
    CriticalSectionLocker lock(&m_mutex);
    m_products.clear();
    CheckJson(json, pocketjson::Array);
    for (size_t i = 0; i < json.size(); ++i) {
        const Value& product = json.at(i);
        CheckJson(product, pocketjson::String);
        m_products.push_back(product.stringValue());
    }
}

void KfwFile::updateTargetVersion(const Value& json) {
    CriticalSectionLocker lock(&m_mutex);
    m_targetVersion.fromJson(json);
}

void KfwFile::updateDeviceProfile(const Value& json) {
    CriticalSectionLocker lock(&m_mutex);
    m_deviceProfile.fromJson(json);
}

Value KfwFile::toJson() const {
    Value json(pocketjson::Object);

    const FileVersion written = version();
    Value versionNumbers(pocketjson::Array);
    versionNumbers.push_back(written.major.value());
    versionNumbers.push_back(written.minor.value());
    Value format(pocketjson::Object);
    format.insert("version", versionNumbers);
    json.insert("kfw", format);

    json.insert("estimatedTimeMargin", m_estimatedTimeMargin);
    Value products(pocketjson::Array);
    for (const std::string& product : m_products) products.push_back(product);
    json.insert("products", products);
    json.insert("version", m_targetVersion.toJson());
    if (!m_deviceProfile.empty()) json.insert("deviceProfile", m_deviceProfile.toJson());

    Value blobs(pocketjson::Array);
    for (const auto& blob : m_blobs) blobs.push_back(blob->toJson());
    json.insert("blobs", blobs);
    Value actions(pocketjson::Array);
    for (const auto& action : m_actions) actions.push_back(action->toJson());
    json.insert("actions", actions);
    Value bundles(pocketjson::Array);
    for (const auto& bundle : m_bundles) bundles.push_back(bundle->toJson());
    json.insert("bundles", bundles);
    return json;
}

void KfwFile::fromJson(const Value& json) {
    CriticalSectionLocker lock(&m_mutex);
    // Bundles name actions and actions name blobs: release in that order.
    forgetRegistrationIndex();
    m_bundles.clear();
    m_actions.clear();
    m_blobs.clear();

    const Value& margin = json["estimatedTimeMargin"];
    m_estimatedTimeMargin = margin.isInteger() ? margin.toUInt32() : 60;
    updateMonitorProducts(json["products"]);
    updateTargetVersion(json["version"]);
    // The profile is read from where toJson writes it; a package without one has none.
    if (const Value* profile = json.find("deviceProfile")) {
        updateDeviceProfile(*profile);
    } else {
        m_deviceProfile.items().clear();
        m_deviceProfile.setDisplayDeviceIDs({});
    }

    const Value& blobs = CheckJson(json, "blobs", pocketjson::Array);
    for (size_t i = 0; i < blobs.size(); ++i) {
        auto blob = std::make_unique<Blob>();
        blob->fromJson(blobs.at(i));
        registerBlob(std::move(blob));
    }
    const Value& actions = CheckJson(json, "actions", pocketjson::Array);
    for (size_t i = 0; i < actions.size(); ++i) {
        const Value& item = actions.at(i);
        std::unique_ptr<Action> action =
            Action::newAction(Action::toType(ReadRequiredString(item, "type")));
        if (!action) continue;  // a kind this library does not know
        action->fromJson(item);
        registerAction(std::move(action));
    }
    const Value& bundles = CheckJson(json, "bundles", pocketjson::Array);
    for (size_t i = 0; i < bundles.size(); ++i) {
        auto bundle = std::make_unique<Bundle>();
        bundle->fromJson(bundles.at(i));
        registerBundle(std::move(bundle));
    }
}

}  // namespace fwu::kfw
