// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Handles.h"

namespace flashkit {

// An opened package with its JSON form, for showing and unpacking it.
class PackageInfo {
public:
    // Opens the package file; throws Failure(ExitPackage) with the library's reason.
    explicit PackageInfo(const std::string& path);

    FWKfwFile* handle() const { return m_file.get(); }
    // The package's JSON form as the library writes it.
    const nlohmann::json& json() const { return m_json; }
    bool legacy() const { return m_legacy; }
    // "2.2", or "1.0 (legacy)".
    std::string formatText() const;
    // The bytes of the blob with this identifier text.
    std::vector<unsigned char> blobBytes(const std::string& id) const;
    // The human description: aligned sections, actions shown by blob and file names.
    void describe(std::ostream& out) const;

private:
    std::string m_path;
    Package m_file;
    nlohmann::json m_json;
    bool m_legacy = false;
};

}  // namespace flashkit
