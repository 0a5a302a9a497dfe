// SPDX-License-Identifier: Apache-2.0
#include "safety/MatrixTable.h"

namespace fwu::test {
namespace {

constexpr Kind Files = Kind::Files, Legacy = Kind::Legacy, Scaler = Kind::Scaler, ZV = Kind::ZV;
constexpr Phase FirstChange = Phase::FirstChange, Erase = Phase::Erase, MidImage = Phase::MidImage,
                BetweenImages = Phase::BetweenImages, Verify = Phase::Verify,
                BeforeTrigger = Phase::BeforeTrigger, Restart = Phase::Restart;
constexpr Cut Cancel = Cut::Cancel, PowerCut = Cut::PowerCut, DropOff = Cut::DropOff,
              Fail = Cut::Fail;
constexpr Boots Old = Boots::Old, New = Boots::New, Mixed = Boots::Mixed,
                Recovered = Boots::Recovered;
constexpr FWUpdateOutcome Untouched = FWUpdateOutcomeUntouched,
                          OldKept = FWUpdateOutcomeOldFirmwareKept,
                          MixedOutcome = FWUpdateOutcomeMixed,
                          NeedsRecovery = FWUpdateOutcomeNeedsRecovery,
                          Complete = FWUpdateOutcomeComplete;

}  // namespace

// A cancel can only be asked for from a progress call, so it has no row before the first change
// or during the restart, nor during the scaler's read-back or the ZV checksum, which report no
// progress. Record files erase nothing.
std::vector<MatrixRow> MatrixRows() {
    return {
        // Record files with device files: images go to temporary copies that the monitor takes
        // over only at a restart after a complete, CRC-checked transfer (transfer state 2). Until
        // then nothing it runs is touched; from then on any restart installs the new firmware,
        // whether the trigger sent it or a power cut did. A single failing page is sent again.
        {Files, FirstChange, PowerCut, Old, Untouched, false},
        {Files, FirstChange, DropOff, Old, Untouched, false},
        {Files, FirstChange, Fail, Old, Untouched, false},
        {Files, MidImage, Cancel, Old, OldKept, false},
        {Files, MidImage, PowerCut, Old, OldKept, false},
        {Files, MidImage, DropOff, Old, OldKept, false},
        {Files, MidImage, Fail, New, Complete, true},
        {Files, BetweenImages, Cancel, Old, OldKept, false},
        {Files, BetweenImages, PowerCut, Old, OldKept, false},
        {Files, BetweenImages, DropOff, Old, OldKept, false},
        {Files, BetweenImages, Fail, Old, OldKept, false},
        {Files, Verify, Cancel, Old, OldKept, false},
        {Files, Verify, PowerCut, Old, OldKept, false},
        {Files, Verify, DropOff, Old, OldKept, false},
        {Files, Verify, Fail, Old, OldKept, false},
        {Files, BeforeTrigger, Cancel, Old, OldKept, false},
        {Files, BeforeTrigger, PowerCut, New, Complete, false},
        {Files, BeforeTrigger, DropOff, New, Complete, false},
        {Files, BeforeTrigger, Fail, New, Complete, false},
        {Files, Restart, PowerCut, New, Complete, true},
        {Files, Restart, DropOff, New, Complete, true},
        {Files, Restart, Fail, New, Complete, true},

        // Legacy record files: the same protocol without device files.
        {Legacy, FirstChange, PowerCut, Old, Untouched, false},
        {Legacy, FirstChange, DropOff, Old, Untouched, false},
        {Legacy, FirstChange, Fail, Old, Untouched, false},
        {Legacy, MidImage, Cancel, Old, OldKept, false},
        {Legacy, MidImage, PowerCut, Old, OldKept, false},
        {Legacy, MidImage, DropOff, Old, OldKept, false},
        {Legacy, MidImage, Fail, New, Complete, true},
        {Legacy, BetweenImages, Cancel, Old, OldKept, false},
        {Legacy, BetweenImages, PowerCut, Old, OldKept, false},
        {Legacy, BetweenImages, DropOff, Old, OldKept, false},
        {Legacy, BetweenImages, Fail, Old, OldKept, false},
        {Legacy, Verify, Cancel, Old, OldKept, false},
        {Legacy, Verify, PowerCut, Old, OldKept, false},
        {Legacy, Verify, DropOff, Old, OldKept, false},
        {Legacy, Verify, Fail, Old, OldKept, false},
        {Legacy, BeforeTrigger, Cancel, Old, OldKept, false},
        {Legacy, BeforeTrigger, PowerCut, New, Complete, false},
        {Legacy, BeforeTrigger, DropOff, New, Complete, false},
        {Legacy, BeforeTrigger, Fail, New, Complete, false},
        {Legacy, Restart, PowerCut, New, Complete, true},
        {Legacy, Restart, DropOff, New, Complete, true},
        {Legacy, Restart, Fail, New, Complete, true},

        // Scaler: it runs its firmware in place from the flash being rewritten. A cancel waits
        // until the image being written is complete and verified; a power cut, a lost monitor or
        // a failing request after an erase leaves an image that does not start: MCU ISP MODE,
        // from which the same package (it lists that product) recovers the monitor. Complete
        // images start without their markers too, which the outcome "mixed" allows for.
        // Once ISP mode was asked for, the scaler may wait in it until switched off and on,
        // even if the request failed: "old firmware kept", not "untouched".
        {Scaler, FirstChange, PowerCut, Old, OldKept, false},
        {Scaler, FirstChange, DropOff, Old, OldKept, false},
        {Scaler, FirstChange, Fail, Old, OldKept, false},
        {Scaler, Erase, Cancel, Mixed, MixedOutcome, false},
        {Scaler, Erase, PowerCut, Recovered, NeedsRecovery, false},
        {Scaler, Erase, DropOff, Recovered, NeedsRecovery, false},
        {Scaler, Erase, Fail, Recovered, NeedsRecovery, false},
        {Scaler, MidImage, Cancel, Mixed, MixedOutcome, false},
        {Scaler, MidImage, PowerCut, Recovered, NeedsRecovery, false},
        {Scaler, MidImage, DropOff, Recovered, NeedsRecovery, false},
        {Scaler, MidImage, Fail, Recovered, NeedsRecovery, false},
        {Scaler, BetweenImages, Cancel, Mixed, MixedOutcome, false},
        {Scaler, BetweenImages, PowerCut, Mixed, MixedOutcome, false},
        {Scaler, BetweenImages, DropOff, Mixed, MixedOutcome, false},
        {Scaler, BetweenImages, Fail, Mixed, MixedOutcome, false},
        {Scaler, Verify, PowerCut, Recovered, NeedsRecovery, false},
        {Scaler, Verify, DropOff, Recovered, NeedsRecovery, false},
        {Scaler, Verify, Fail, Recovered, NeedsRecovery, false},
        {Scaler, BeforeTrigger, Cancel, New, MixedOutcome, false},
        {Scaler, BeforeTrigger, PowerCut, New, MixedOutcome, false},
        {Scaler, BeforeTrigger, DropOff, New, MixedOutcome, false},
        {Scaler, BeforeTrigger, Fail, New, MixedOutcome, false},
        {Scaler, Restart, PowerCut, New, Complete, false},
        {Scaler, Restart, DropOff, New, Complete, false},
        {Scaler, Restart, Fail, New, Complete, false},

        // ZV: the flash areas are staging areas, installed at a restart only when flagged, and the
        // flags are set only after every image passed its checksum.
        {ZV, FirstChange, PowerCut, Old, Untouched, false},
        {ZV, FirstChange, DropOff, Old, Untouched, false},
        {ZV, FirstChange, Fail, Old, Untouched, false},
        {ZV, Erase, Cancel, Old, OldKept, false},
        {ZV, Erase, PowerCut, Old, OldKept, false},
        {ZV, Erase, DropOff, Old, OldKept, false},
        {ZV, Erase, Fail, Old, OldKept, false},
        {ZV, MidImage, Cancel, Old, OldKept, false},
        {ZV, MidImage, PowerCut, Old, OldKept, false},
        {ZV, MidImage, DropOff, Old, OldKept, false},
        {ZV, MidImage, Fail, Old, OldKept, false},
        {ZV, BetweenImages, Cancel, Old, OldKept, false},
        {ZV, BetweenImages, PowerCut, Old, OldKept, false},
        {ZV, BetweenImages, DropOff, Old, OldKept, false},
        {ZV, BetweenImages, Fail, Old, OldKept, false},
        {ZV, Verify, PowerCut, Old, OldKept, false},
        {ZV, Verify, DropOff, Old, OldKept, false},
        {ZV, Verify, Fail, Old, OldKept, false},
        {ZV, BeforeTrigger, Cancel, Old, OldKept, false},
        {ZV, BeforeTrigger, PowerCut, New, Complete, false},
        {ZV, BeforeTrigger, DropOff, New, Complete, false},
        {ZV, BeforeTrigger, Fail, New, Complete, false},
        {ZV, Restart, PowerCut, New, Complete, true},
        {ZV, Restart, DropOff, New, Complete, true},
        {ZV, Restart, Fail, New, Complete, true},
    };
}

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Files: return "record files";
    case Kind::Legacy: return "legacy record files";
    case Kind::Scaler: return "scaler";
    case Kind::ZV: return "ZV";
    }
    return "?";
}

const char* PhaseName(Phase phase) {
    switch (phase) {
    case Phase::FirstChange: return "before the first change";
    case Phase::Erase: return "during an erase";
    case Phase::MidImage: return "mid-image";
    case Phase::BetweenImages: return "between images";
    case Phase::Verify: return "during the verification";
    case Phase::BeforeTrigger: return "before the trigger";
    case Phase::Restart: return "during the restart";
    }
    return "?";
}

const char* CutName(Cut cut) {
    switch (cut) {
    case Cut::Cancel: return "cancel";
    case Cut::PowerCut: return "power cut";
    case Cut::DropOff: return "drop-off";
    case Cut::Fail: return "failing request";
    }
    return "?";
}

std::string RowName(const MatrixRow& row) {
    return std::string(KindName(row.kind)) + ", " + PhaseName(row.phase) + ", " + CutName(row.cut);
}

}  // namespace fwu::test
