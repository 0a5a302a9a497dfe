// SPDX-License-Identifier: Apache-2.0
#include "JsonOutput.h"

#include <cstdio>
#include <iostream>

namespace flashkit {
namespace {

bool g_json = false;
nlohmann::json g_failureDetails = nlohmann::json::object();

}  // namespace

bool JsonMode() { return g_json; }
void SetJsonMode(bool on) { g_json = on; }

void EmitJson(const nlohmann::json& object) {
    // Invalid UTF-8 in names read from a monitor is replaced rather than aborting the output.
    std::cout << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n'
              << std::flush;
}

void SetFailureDetails(const nlohmann::json& details) { g_failureDetails = details; }

void ReportFailure(const Failure& failure) {
    std::fprintf(stderr, "flashkit: %s\n", failure.what());
    if (g_json) {
        nlohmann::json result = {
            {"result", "error"}, {"exitCode", int(failure.code())}, {"message", failure.what()}};
        for (const auto& member : g_failureDetails.items())
            if (!result.contains(member.key())) result[member.key()] = member.value();
        EmitJson(result);
    }
}

}  // namespace flashkit
