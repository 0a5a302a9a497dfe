// SPDX-License-Identifier: Apache-2.0
#include "HistoryRecord.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace flashkit {

nlohmann::json HistoryRecord::toJson() const {
    return {{"start", start},
            {"end", end},
            {"tool", tool},
            {"product", product},
            {"serial", serial},
            {"package", package},
            {"packageSha256", packageSha256},
            {"versionsBefore", versionsBefore},
            {"versionsAfter", versionsAfter},
            {"status", status},
            {"errorCode", errorCodeText()},
            {"outcome", outcome}};
}

namespace {

bool ReadString(const nlohmann::json& object, const char* name, std::string& out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) return false;
    out = found->get<std::string>();
    return true;
}

bool ReadStrings(const nlohmann::json& object, const char* name, std::vector<std::string>& out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_array()) return false;
    out.clear();
    for (const nlohmann::json& item : *found) {
        if (!item.is_string()) return false;
        out.push_back(item.get<std::string>());
    }
    return true;
}

// "0x80010005" back to the negative status; "" is 0.
bool ParseErrorCode(const std::string& text, int64_t& out) {
    if (text.empty()) {
        out = 0;
        return true;
    }
    if (text.size() != 10 || text.compare(0, 2, "0x") != 0) return false;
    uint32_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        value = value << 4 | uint32_t(digit);
    }
    out = int32_t(value);
    return true;
}

}  // namespace

std::optional<HistoryRecord> HistoryRecord::fromJson(const nlohmann::json& object) {
    if (!object.is_object()) return std::nullopt;
    HistoryRecord record;
    std::string code;
    const bool complete =
        ReadString(object, "start", record.start) && ReadString(object, "end", record.end) &&
        ReadString(object, "tool", record.tool) && ReadString(object, "product", record.product) &&
        ReadString(object, "serial", record.serial) &&
        ReadString(object, "package", record.package) &&
        ReadString(object, "packageSha256", record.packageSha256) &&
        ReadStrings(object, "versionsBefore", record.versionsBefore) &&
        ReadStrings(object, "versionsAfter", record.versionsAfter) &&
        ReadString(object, "status", record.status) && ReadString(object, "errorCode", code) &&
        ReadString(object, "outcome", record.outcome) && ParseErrorCode(code, record.errorCode);
    if (!complete) return std::nullopt;
    return record;
}

std::string HistoryRecord::now() {
    const std::time_t seconds = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string HistoryRecord::errorCodeText() const {
    if (errorCode == 0) return {};
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, uint32_t(errorCode));
    return text;
}

}  // namespace flashkit
