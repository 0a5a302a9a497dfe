// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/ProgressGate.h"
#include "engine/UpdatePlan.h"
#include "flashkit/flashkit.h"

namespace fwu::dev {
class Monitor;
}
namespace fwu::kfw {
class KfwFile;
}

namespace fwu::internal {

// Where a run stopped, for a flow to tell what that left on the monitor.
struct RunState {
    bool begun = false;        // begin() succeeded: the monitor may have been changed
    size_t imagesDone = 0;     // images completely written and verified in this run
    bool imageErased = false;  // flash of the image being written was erased
    bool finished = false;     // finish() succeeded
};

// The steps one update protocol adds to the shared run: the run computes nothing itself, it
// executes a checked plan in the same order for every protocol.
class UpdateFlow {
public:
    virtual ~UpdateFlow() = default;
    // The requests that ready the monitor for writing (transfer state, ISP mode).
    virtual KmError begin(dev::Monitor& monitor) = 0;
    // Writes and verifies one image, reporting progress from `progress` on through the gate.
    virtual KmError writeImage(dev::Monitor& monitor, const PlannedImage& image,
                               const FWTransferProgress& progress, ProgressGate& gate) = 0;
    // After every image was written: transfer state, markers or flags.
    virtual KmError finish(dev::Monitor& monitor, const UpdatePlan& plan) = 0;
    // After a successful begin(), whatever happened next.
    virtual KmError end(dev::Monitor&) { return 0; }
    // What a run that stopped in `state` left on the monitor.
    virtual FWUpdateOutcome outcome(const RunState& state) const = 0;
};

// Executes a checked plan with `flow`: begin, each image with its progress, finish, end. Stops
// at the first failure; a cancel during an image whose flash was erased takes effect once the
// image is complete. `outcome` (optional) tells what the run left.
KmError RunUpdatePlan(UpdateFlow& flow, dev::Monitor& monitor, const UpdatePlan& plan,
                      FWTransferProgressCallback callback, void* userData,
                      FWUpdateOutcome* outcome);

// Works out a protocol's whole plan for `file` (reads only).
using PlanFunction = KmError (*)(dev::Monitor& monitor, const kfw::KfwFile* file, uint32_t options,
                                 UpdatePlan* plan);

// Plans with `plan` and, only when the whole plan passed its checks, runs it with `flow`; a
// refused plan leaves the monitor untouched.
KmError PlanAndRun(PlanFunction plan, UpdateFlow& flow, dev::Monitor& monitor,
                   const kfw::KfwFile* file, uint32_t options, FWTransferProgressCallback callback,
                   void* userData, FWUpdateOutcome* outcome);

}  // namespace fwu::internal
