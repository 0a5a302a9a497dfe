// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "MonitorList.h"
#include "flashkit/flashkit.h"

namespace flashkit {

// The library's plan of an update of `monitor` with `package`, made with reads only: the
// update kind, each image with its target, blocks, marker or flag, bytes and the estimated
// time, and in "status" the status the update would start with. Throws Failure when the
// monitor offers no update.
nlohmann::json ReadUpdatePlan(const MonitorEntry& monitor, FWKfwFile* package,
                              unsigned int options);

// The plan in lines for a person; `devices` names the devices it can.
void PrintUpdatePlan(const nlohmann::json& plan, const std::vector<ShownDevice>& devices);

}  // namespace flashkit
