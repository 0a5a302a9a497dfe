// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace flashkit {

// The shape checks of a manifest. Every failure throws Failure(ExitPackage) naming the manifest
// file and the member (`where`) that holds the mistake.
class ManifestChecker {
public:
    explicit ManifestChecker(std::string file) : m_file(std::move(file)) {}

    [[noreturn]] void fail(const std::string& where, const std::string& what) const;
    // Refuses a member whose name is not in `known`.
    void onlyMembers(const nlohmann::json& object, const std::string& where,
                     const std::set<std::string>& known) const;
    const nlohmann::json& member(const nlohmann::json& object, const std::string& where,
                                 const char* key) const;
    const nlohmann::json& object(const nlohmann::json& value, const std::string& where) const;
    const nlohmann::json& array(const nlohmann::json& value, const std::string& where) const;
    // A non-empty string.
    std::string text(const nlohmann::json& value, const std::string& where) const;
    // An unsigned 32-bit number, as an integer or as decimal or "0x" hexadecimal text.
    uint32_t number(const nlohmann::json& value, const std::string& where) const;

private:
    std::string m_file;
};

}  // namespace flashkit
