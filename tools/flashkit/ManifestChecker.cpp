// SPDX-License-Identifier: Apache-2.0
#include "ManifestChecker.h"

#include "Failure.h"

namespace flashkit {
namespace {

using nlohmann::json;

std::string List(const std::set<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return list;
}

}  // namespace

void ManifestChecker::fail(const std::string& where, const std::string& what) const {
    throw Failure(ExitPackage, "manifest " + m_file + ": " + where + ": " + what);
}

void ManifestChecker::onlyMembers(const json& object, const std::string& where,
                                  const std::set<std::string>& known) const {
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!known.count(it.key()))
            fail(where, "unknown member \"" + it.key() + "\" (known: " + List(known) + ")");
}

const json& ManifestChecker::member(const json& object, const std::string& where,
                                    const char* key) const {
    const auto it = object.find(key);
    if (it == object.end()) fail(where, std::string("member \"") + key + "\" is missing");
    return *it;
}

const json& ManifestChecker::object(const json& value, const std::string& where) const {
    if (!value.is_object()) fail(where, "must be an object");
    return value;
}

const json& ManifestChecker::array(const json& value, const std::string& where) const {
    if (!value.is_array()) fail(where, "must be an array");
    return value;
}

std::string ManifestChecker::text(const json& value, const std::string& where) const {
    if (!value.is_string() || value.get_ref<const std::string&>().empty())
        fail(where, "must be a non-empty string");
    return value.get<std::string>();
}

// Device IDs, versions and addresses read best in hexadecimal, so "0x100" is taken as well as 256.
uint32_t ManifestChecker::number(const json& value, const std::string& where) const {
    if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFFFFFFFFu)
        return uint32_t(value.get<uint64_t>());
    if (value.is_string()) {
        const std::string& s = value.get_ref<const std::string&>();
        const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
        const std::string digits = hex ? s.substr(2) : s;
        const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
        if (!digits.empty() && digits.size() <= (hex ? 8u : 10u) &&
            digits.find_first_not_of(allowed) == std::string::npos) {
            const unsigned long long n = std::stoull(digits, nullptr, hex ? 16 : 10);
            if (n <= 0xFFFFFFFFu) return uint32_t(n);
        }
    }
    fail(where, "must be an unsigned 32-bit number (an integer or a text like \"0x1A\")");
}

}  // namespace flashkit
