// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "flashkit/flashkit.h"

namespace fwu::test {

enum class Kind { Files, Legacy, Scaler, ZV };
// When the run is interrupted.
enum class Phase {
    FirstChange,    // at the first request that would change the monitor
    Erase,          // while a flash block is being erased
    MidImage,       // in the middle of the first image
    BetweenImages,  // after the first image was complete, before anything of the second
    Verify,         // during the CRC wait (record files), checksum wait (ZV) or read-back (scaler)
    BeforeTrigger,  // all images written: the trigger (scaler: the markers) comes next
    Restart,        // the request that restarts the monitor (scaler: the closing status write)
};
// How.
enum class Cut { Cancel, PowerCut, DropOff, Fail };
// What the monitor boots once it was switched off and on.
enum class Boots { Old, New, Mixed, Recovered };

struct MatrixRow {
    Kind kind;
    Phase phase;
    Cut cut;
    Boots boots;
    FWUpdateOutcome outcome;  // FWMonitorGetLastUpdateOutcome after the update call
    bool success;             // the update call returned a success status
};

std::vector<MatrixRow> MatrixRows();
std::string RowName(const MatrixRow& row);
const char* KindName(Kind kind);
const char* PhaseName(Phase phase);
const char* CutName(Cut cut);

}  // namespace fwu::test
