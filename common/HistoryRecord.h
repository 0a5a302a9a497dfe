// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace flashkit {

// One update attempt as the history keeps it: one JSON object on one line.
struct HistoryRecord {
    std::string start;  // ISO 8601, UTC, seconds
    std::string end;
    std::string tool;  // "flashkit" or "PanelFlasher"
    std::string product;
    std::string serial;
    std::string package;        // absolute path of the package file
    std::string packageSha256;  // lower-case hex, empty when the file could not be read
    std::vector<std::string> versionsBefore;
    std::vector<std::string> versionsAfter;
    std::string status;     // "success", "failure" or "cancelled"
    int64_t errorCode = 0;  // the library's status (negative, shown in hex), 0 on success
    std::string outcome;    // what happened, in words

    nlohmann::json toJson() const;
    // Nothing when the object lacks a member or a member has the wrong type.
    static std::optional<HistoryRecord> fromJson(const nlohmann::json& object);

    // The current time in the form of `start` and `end`.
    static std::string now();
    // The error code as the history and the tools show it: "0x80010005", or "" for 0.
    std::string errorCodeText() const;
};

}  // namespace flashkit
