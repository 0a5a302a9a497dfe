// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "flashkit/flashkit.h"

namespace flashkit {

// The product a monitor reports while its firmware does not start and only its boot loader
// answers.
extern const char kIspModeProduct[];
bool NeedsRecovery(const std::string& product);

// What an update that stopped left on a monitor of this kind, and what the user does next: a
// clause that follows "; " in a failure line and ends with a full stop.
std::string MonitorStateAfter(FWFirmwareUpdateType kind, FWUpdateOutcome outcome);
// True when the monitor runs its old firmware as before.
bool UnchangedAfter(FWFirmwareUpdateType kind, FWUpdateOutcome outcome);
// "untouched", "old firmware kept", "mixed", "needs recovery", "complete".
const char* OutcomeName(FWUpdateOutcome outcome);

}  // namespace flashkit
