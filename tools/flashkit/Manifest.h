// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Handles.h"

namespace flashkit {

class ManifestChecker;

// A package described by a manifest: the package members as JSON plus blobs, actions and
// bundles that refer to each other by names local to the manifest. Load checks everything it
// can before the library sees it, so a mistake is reported by the member that holds it.
class Manifest {
public:
    // Reads and checks the manifest at `path`; throws Failure(ExitPackage) naming the member.
    static Manifest Load(const std::string& path);
    // The same for the manifest's text; `path` names it in messages and locates the images.
    static Manifest fromText(const std::string& text, const std::string& path);

    // Whether the manifest asks for the legacy format ("legacy": true).
    bool legacy() const { return m_legacy; }
    // Builds the package through the library's JSON editing functions; throws Failure when the
    // library refuses a member, with the library's reason.
    Package build(bool legacy) const;

private:
    struct BlobEntry {
        std::string name;
        std::string path;  // absolute
    };
    struct ActionEntry {
        std::string name;
        std::string blob;     // manifest name of the blob
        nlohmann::json body;  // the action's JSON without "blob"
    };
    struct BundleEntry {
        std::string name;
        std::vector<std::string> actions;  // manifest names
        nlohmann::json conditions;
        uint32_t estimatedTime = 0;
    };
    using NameIndex = std::map<std::string, size_t>;  // manifest name, index in its list

    // The steps of Load, one per top-level member (or group of small ones).
    void readProducts(const nlohmann::json& root, const ManifestChecker& check);
    void readTargetVersions(const nlohmann::json& root, const ManifestChecker& check);
    void readSettings(const nlohmann::json& root, const ManifestChecker& check);
    NameIndex readBlobs(const nlohmann::json& root, const ManifestChecker& check,
                        const std::string& folder);
    NameIndex readActions(const nlohmann::json& root, const ManifestChecker& check,
                          const NameIndex& blobNames);
    void readBundles(const nlohmann::json& root, const ManifestChecker& check,
                     const NameIndex& actionNames);
    // The action's "type" and the members that type has, checked, as the library takes them.
    static nlohmann::json readActionBody(const nlohmann::json& item, const std::string& where,
                                         const ManifestChecker& check);
    static nlohmann::json readConditions(const nlohmann::json& bundle, const std::string& where,
                                         const ManifestChecker& check);

    std::string m_path;
    nlohmann::json m_products = nlohmann::json::array();
    nlohmann::json m_targetVersions = nlohmann::json::array();
    nlohmann::json m_deviceProfile;  // null when the manifest has none
    nlohmann::json m_options = nlohmann::json::object();
    bool m_legacy = false;
    std::vector<BlobEntry> m_blobs;
    std::vector<ActionEntry> m_actions;
    std::vector<BundleEntry> m_bundles;
};

}  // namespace flashkit
