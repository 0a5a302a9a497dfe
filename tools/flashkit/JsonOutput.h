// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <nlohmann/json.hpp>

#include "Failure.h"

namespace flashkit {

// Whether the running command writes JSON: then standard output carries nothing but JSON
// objects, one per line.
bool JsonMode();
void SetJsonMode(bool on);
// One JSON object on its own line on standard output, flushed at once.
void EmitJson(const nlohmann::json& object);
// A failure: one line on standard error, and in JSON mode also the final result object
// {"result":"error","exitCode":n,"message":"..."}.
void ReportFailure(const Failure& failure);
// Members added to the final result object that ReportFailure writes (for example the monitor
// and its versions when a check finds that a package does not fit).
void SetFailureDetails(const nlohmann::json& details);

}  // namespace flashkit
