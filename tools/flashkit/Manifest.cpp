// SPDX-License-Identifier: Apache-2.0
#include "Manifest.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "Failure.h"
#include "ManifestChecker.h"
#include "flashkit/flashkit.h"

namespace flashkit {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string Where(const char* kind, size_t index) {
    return std::string(kind) + "[" + std::to_string(index) + "]";
}

std::string Where(const char* kind, size_t index, const std::string& name) {
    return Where(kind, index) + " \"" + name + "\"";
}

// The library's reason for the last refusal, or a generic phrase when it gave none.
std::string LibraryReason() {
    const char* message = nullptr;
    const uint32_t code = FWGetLastError(&message);
    std::string reason = message && *message ? message : "refused without a reason";
    if (code != 0 && (!message || !std::strstr(message, "0x"))) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", unsigned(code));
        reason += std::string(" (") + hex + ")";
    }
    return reason;
}

std::string UuidText(const FWUuid& id) {
    char text[37];
    FWUuidGetString(id, text);
    return text;
}

const std::set<std::string> kComparisons = {"eq", "ne", "lt", "le", "gt", "ge",
                                            "==", "!=", "<",  "<=", ">",  ">="};

json ParseRoot(const std::string& text, const std::string& path, const ManifestChecker& check) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& error) {
        // Not only syntax: a number beyond a double is refused as out of range.
        throw Failure(ExitPackage, "manifest " + path + " is not valid JSON: " + error.what());
    }
    check.object(root, "the top level");
    check.onlyMembers(root, "the top level",
                      {"products", "targetVersions", "deviceProfile", "estimatedTimeMargin",
                       "legacy", "blobs", "actions", "bundles"});
    return root;
}

}  // namespace

Manifest Manifest::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure(ExitPackage, "cannot read manifest " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    return fromText(text.str(), path);
}

Manifest Manifest::fromText(const std::string& text, const std::string& path) {
    const ManifestChecker check(path);
    const json root = ParseRoot(text, path, check);
    Manifest manifest;
    manifest.m_path = path;
    manifest.readProducts(root, check);
    manifest.readTargetVersions(root, check);
    manifest.readSettings(root, check);
    const std::string folder = fs::absolute(fs::path(path)).parent_path().string();
    const NameIndex blobNames = manifest.readBlobs(root, check, folder);
    const NameIndex actionNames = manifest.readActions(root, check, blobNames);
    manifest.readBundles(root, check, actionNames);
    return manifest;
}

void Manifest::readProducts(const json& root, const ManifestChecker& check) {
    if (!root.contains("products")) return;
    const json& products = check.array(root["products"], "products");
    for (size_t i = 0; i < products.size(); ++i)
        m_products.push_back(check.text(products[i], Where("products", i)));
}

void Manifest::readTargetVersions(const json& root, const ManifestChecker& check) {
    if (!root.contains("targetVersions")) return;
    const json& targets = check.array(root["targetVersions"], "targetVersions");
    std::set<uint32_t> devices;
    for (size_t i = 0; i < targets.size(); ++i) {
        const std::string where = Where("targetVersions", i);
        check.object(targets[i], where);
        check.onlyMembers(targets[i], where, {"device", "version"});
        const uint32_t device =
            check.number(check.member(targets[i], where, "device"), where + ".device");
        const uint32_t version =
            check.number(check.member(targets[i], where, "version"), where + ".version");
        if (!devices.insert(device).second)
            check.fail(where, "device " + std::to_string(device) + " has a target version already");
        m_targetVersions.push_back({{"device", device}, {"version", version}});
    }
}

void Manifest::readSettings(const json& root, const ManifestChecker& check) {
    if (root.contains("deviceProfile"))
        m_deviceProfile = check.object(root["deviceProfile"], "deviceProfile");
    if (root.contains("estimatedTimeMargin"))
        m_options["estimatedTimeMargin"] =
            check.number(root["estimatedTimeMargin"], "estimatedTimeMargin");
    if (root.contains("legacy")) {
        if (!root["legacy"].is_boolean()) check.fail("legacy", "must be true or false");
        m_legacy = root["legacy"].get<bool>();
    }
}

Manifest::NameIndex Manifest::readBlobs(const json& root, const ManifestChecker& check,
                                        const std::string& folder) {
    NameIndex names;
    if (!root.contains("blobs")) return names;
    const json& blobs = check.array(root["blobs"], "blobs");
    for (size_t i = 0; i < blobs.size(); ++i) {
        std::string where = Where("blobs", i);
        check.object(blobs[i], where);
        BlobEntry blob;
        blob.name = check.text(check.member(blobs[i], where, "name"), where + ".name");
        where = Where("blobs", i, blob.name);
        check.onlyMembers(blobs[i], where, {"name", "path"});
        if (!names.emplace(blob.name, i).second)
            check.fail(where, "duplicate blob name (also blobs[" +
                                  std::to_string(names[blob.name]) + "])");
        const std::string relative =
            check.text(check.member(blobs[i], where, "path"), where + ".path");
        const fs::path file =
            fs::path(relative).is_absolute() ? fs::path(relative) : fs::path(folder) / relative;
        std::error_code error;
        if (!fs::is_regular_file(file, error))
            check.fail(where + ".path", "image file " + file.lexically_normal().string() +
                                            (fs::exists(file, error) ? " is not a regular file"
                                                                     : " does not exist"));
        blob.path = file.lexically_normal().string();
        m_blobs.push_back(blob);
    }
    return names;
}

Manifest::NameIndex Manifest::readActions(const json& root, const ManifestChecker& check,
                                          const NameIndex& blobNames) {
    NameIndex names;
    if (!root.contains("actions")) return names;
    const json& actions = check.array(root["actions"], "actions");
    for (size_t i = 0; i < actions.size(); ++i) {
        std::string where = Where("actions", i);
        check.object(actions[i], where);
        ActionEntry action;
        action.name = check.text(check.member(actions[i], where, "name"), where + ".name");
        where = Where("actions", i, action.name);
        if (!names.emplace(action.name, i).second)
            check.fail(where, "duplicate action name (also actions[" +
                                  std::to_string(names[action.name]) + "])");
        action.body = readActionBody(actions[i], where, check);
        action.body["estimatedTime"] =
            actions[i].contains("estimatedTime")
                ? check.number(actions[i]["estimatedTime"], where + ".estimatedTime")
                : 0u;
        action.blob = check.text(check.member(actions[i], where, "blob"), where + ".blob");
        if (!blobNames.count(action.blob))
            check.fail(where + ".blob", "no blob is named \"" + action.blob + "\"");
        m_actions.push_back(action);
    }
    return names;
}

json Manifest::readActionBody(const json& item, const std::string& where,
                              const ManifestChecker& check) {
    const std::string type = check.text(check.member(item, where, "type"), where + ".type");
    std::set<std::string> known = {"name", "type", "blob", "estimatedTime"};
    json body = {{"type", type}};
    if (type == "TransferData") {
        known.insert("fileName");
        body["fileName"] = check.text(check.member(item, where, "fileName"), where + ".fileName");
    } else if (type == "TransferMStarData" || type == "TransferZVData") {
        known.insert("address");
        body["address"] = check.number(check.member(item, where, "address"), where + ".address");
        if (type == "TransferMStarData") {
            known.insert("updateFlagAddress");
            body["updateFlagAddress"] = check.number(check.member(item, where, "updateFlagAddress"),
                                                     where + ".updateFlagAddress");
        }
    } else {
        check.fail(where + ".type", "unknown action type \"" + type +
                                        "\" (known: TransferData, TransferMStarData, "
                                        "TransferZVData)");
    }
    check.onlyMembers(item, where + " (" + type + ")", known);
    return body;
}

void Manifest::readBundles(const json& root, const ManifestChecker& check,
                           const NameIndex& actionNames) {
    if (!root.contains("bundles")) return;
    const json& bundles = check.array(root["bundles"], "bundles");
    std::set<std::string> bundleNames;
    for (size_t i = 0; i < bundles.size(); ++i) {
        std::string where = Where("bundles", i);
        check.object(bundles[i], where);
        BundleEntry bundle;
        bundle.name = check.text(check.member(bundles[i], where, "name"), where + ".name");
        where = Where("bundles", i, bundle.name);
        check.onlyMembers(bundles[i], where, {"name", "actions", "conditions", "estimatedTime"});
        if (!bundleNames.insert(bundle.name).second) check.fail(where, "duplicate bundle name");
        const json& actions =
            check.array(check.member(bundles[i], where, "actions"), where + ".actions");
        for (size_t a = 0; a < actions.size(); ++a) {
            const std::string at = where + ".actions[" + std::to_string(a) + "]";
            const std::string name = check.text(actions[a], at);
            if (!actionNames.count(name)) check.fail(at, "no action is named \"" + name + "\"");
            bundle.actions.push_back(name);
        }
        bundle.conditions = readConditions(bundles[i], where, check);
        if (bundles[i].contains("estimatedTime"))
            bundle.estimatedTime =
                check.number(bundles[i]["estimatedTime"], where + ".estimatedTime");
        m_bundles.push_back(bundle);
    }
}

json Manifest::readConditions(const json& bundle, const std::string& where,
                              const ManifestChecker& check) {
    json result = json::array();
    if (!bundle.contains("conditions")) return result;
    const json& conditions = check.array(bundle["conditions"], where + ".conditions");
    for (size_t c = 0; c < conditions.size(); ++c) {
        const std::string at = where + ".conditions[" + std::to_string(c) + "]";
        check.object(conditions[c], at);
        check.onlyMembers(conditions[c], at, {"device", "version", "comparison"});
        const uint32_t device =
            check.number(check.member(conditions[c], at, "device"), at + ".device");
        const uint32_t version =
            check.number(check.member(conditions[c], at, "version"), at + ".version");
        const std::string comparison =
            check.text(check.member(conditions[c], at, "comparison"), at + ".comparison");
        if (!kComparisons.count(comparison))
            check.fail(at + ".comparison",
                       "unknown comparison \"" + comparison +
                           "\" (known: eq, ne, lt, le, gt, ge or ==, !=, <, <=, >, >=)");
        result.push_back({{"device", device}, {"version", version}, {"comparison", comparison}});
    }
    return result;
}

Package Manifest::build(bool legacy) const {
    Package file(FWKfwFileCreateEmpty(legacy));
    if (!file) throw Failure(ExitInternal, "cannot create an empty package: " + LibraryReason());
    auto refused = [&](const std::string& where) {
        return Failure(ExitPackage, "manifest " + m_path + ": " + where +
                                        ": the package refuses it: " + LibraryReason());
    };
    if (!FWKfwFileUpdateMonitorProducts(file.get(), m_products.dump().c_str()))
        throw refused("products");
    if (!FWKfwFileUpdateTargetVersion(file.get(), m_targetVersions.dump().c_str()))
        throw refused("targetVersions");
    if (!m_deviceProfile.is_null() &&
        !FWKfwFileUpdateDeviceProfile(file.get(), m_deviceProfile.dump().c_str()))
        throw refused("deviceProfile");
    if (!m_options.empty() && !FWKfwFileUpdateOptions(file.get(), m_options.dump().c_str()))
        throw refused("estimatedTimeMargin");

    std::map<std::string, std::string> blobIDs, actionIDs;
    for (size_t i = 0; i < m_blobs.size(); ++i) {
        const json body = {{"name", m_blobs[i].name}, {"path", m_blobs[i].path}};
        FWUuid id{};
        if (!FWKfwFileRegisterBlob(file.get(), body.dump().c_str(), &id))
            throw refused(Where("blobs", i, m_blobs[i].name));
        blobIDs[m_blobs[i].name] = UuidText(id);
    }
    for (size_t i = 0; i < m_actions.size(); ++i) {
        json body = m_actions[i].body;
        body["blob"] = blobIDs.at(m_actions[i].blob);
        FWUuid id{};
        if (!FWKfwFileRegisterAction(file.get(), body.dump().c_str(), &id))
            throw refused(Where("actions", i, m_actions[i].name));
        actionIDs[m_actions[i].name] = UuidText(id);
    }
    for (size_t i = 0; i < m_bundles.size(); ++i) {
        json actions = json::array();
        for (const std::string& name : m_bundles[i].actions) actions.push_back(actionIDs.at(name));
        const json body = {{"actions", actions},
                           {"conditions", m_bundles[i].conditions},
                           {"estimatedTime", m_bundles[i].estimatedTime}};
        if (!FWKfwFileRegisterBundle(file.get(), body.dump().c_str(), nullptr))
            throw refused(Where("bundles", i, m_bundles[i].name));
    }
    return file;
}

}  // namespace flashkit
