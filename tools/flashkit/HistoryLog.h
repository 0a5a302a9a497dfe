// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "HistoryRecord.h"
#include "MonitorList.h"

namespace flashkit {

// The history record of an update that starts now: monitor, package and versions before.
HistoryRecord StartHistoryRecord(const std::string& package, const MonitorEntry& monitor,
                                 const std::vector<ShownDevice>& before);
// Ends the record with its status and appends it. A history that cannot be written is a
// warning on standard error: the update itself is what counts.
void FinishHistoryRecord(HistoryRecord& record, const std::string& status, int32_t errorCode,
                         const std::string& outcome, const std::vector<ShownDevice>& after);

}  // namespace flashkit
