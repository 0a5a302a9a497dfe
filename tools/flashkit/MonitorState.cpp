// SPDX-License-Identifier: Apache-2.0
#include "MonitorState.h"

namespace flashkit {
namespace {

const char kNothingInstalled[] = "nothing was installed; the monitor works as before.";
const char kScalerWaiting[] =
    "nothing of its firmware was changed, but it waits in programming mode: switch it off and "
    "on, and it works as before.";
const char kScalerMixed[] =
    "some of its firmware images were rewritten and verified, others not, so it may start with "
    "old and new firmware side by side: leave it switched on and run the update again.";
const char kZvMixed[] =
    "some of its devices are marked to install the new firmware at the next restart, others "
    "not: leave it switched on and run the update again so that every device gets its new "
    "version.";
const char kZvMarked[] =
    "the new firmware is transferred and marked, so the monitor installs it at its next "
    "restart: leave it switched on and run the update again to finish it.";
const char kFilesTransferred[] =
    "the new firmware was transferred completely and the monitor installs it at its next "
    "restart (it may have done so already): switch it off and on, then run 'flashkit check' to "
    "see its versions.";
const char kScalerComplete[] =
    "every image was rewritten, verified and marked, so it starts with the new firmware: switch "
    "it off and on, then run 'flashkit check' to see its versions.";
const char kRecovery[] =
    "its scaler firmware was erased and not completely rewritten, so it will not start "
    "normally: leave it switched on and connected and run the update again now; if it was "
    "switched off, it comes back as \"MCU ISP MODE\" and 'flashkit update' with a package that "
    "lists that product recovers it.";

}  // namespace

const char kIspModeProduct[] = "MCU ISP MODE";

bool NeedsRecovery(const std::string& product) { return product == kIspModeProduct; }

bool UnchangedAfter(FWFirmwareUpdateType kind, FWUpdateOutcome outcome) {
    if (outcome == FWUpdateOutcomeUntouched) return true;
    if (kind == FWFirmwareUpdateTypeMStar) return false;
    // Record files and ZV images become live only at a restart after a complete transfer, which
    // a lost connection or power may bring about without the trigger.
    return outcome == FWUpdateOutcomeOldFirmwareKept;
}

std::string MonitorStateAfter(FWFirmwareUpdateType kind, FWUpdateOutcome outcome) {
    if (UnchangedAfter(kind, outcome)) return kNothingInstalled;
    const bool scaler = kind == FWFirmwareUpdateTypeMStar;
    switch (outcome) {
    case FWUpdateOutcomeOldFirmwareKept: return kScalerWaiting;
    case FWUpdateOutcomeMixed: return scaler ? kScalerMixed : kZvMixed;
    case FWUpdateOutcomeNeedsRecovery: return kRecovery;
    default:
        if (scaler) return kScalerComplete;
        return kind == FWFirmwareUpdateTypeZV ? kZvMarked : kFilesTransferred;
    }
}

const char* OutcomeName(FWUpdateOutcome outcome) {
    switch (outcome) {
    case FWUpdateOutcomeUntouched: return "untouched";
    case FWUpdateOutcomeOldFirmwareKept: return "old firmware kept";
    case FWUpdateOutcomeMixed: return "mixed";
    case FWUpdateOutcomeNeedsRecovery: return "needs recovery";
    default: return "complete";
    }
}

}  // namespace flashkit
