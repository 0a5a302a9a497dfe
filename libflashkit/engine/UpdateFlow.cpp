// SPDX-License-Identifier: Apache-2.0
#include "engine/UpdateFlow.h"

#include "engine/Progress.h"

namespace fwu::internal {
namespace {

KmError RunImages(UpdateFlow& flow, dev::Monitor& monitor, const UpdatePlan& plan,
                  ProgressGate& gate, FWTransferProgress& progress, RunState& state,
                  FWTransferProgressCallback callback, void* userData) {
    uint64_t done = 0;
    for (const PlannedImage& image : plan.images) {
        gate.nextImage();
        const KmError status = flow.writeImage(monitor, image, progress, gate);
        state.imageErased = gate.erased();
        if (status < 0) return status;
        state.imageErased = false;
        gate.nextImage();
        ++state.imagesDone;
        // A cancel held back while the image was written takes effect now that it is whole.
        if (gate.cancelRequested()) return KmErrorCancelled;
        done += image.size();
        ++progress.completedCount;
        progress.transferredBytes = uint32_t(done);
        if (!ContinueTransfer(callback, progress, userData)) return KmErrorCancelled;
    }
    return 0;
}

}  // namespace

KmError RunUpdatePlan(UpdateFlow& flow, dev::Monitor& monitor, const UpdatePlan& plan,
                      FWTransferProgressCallback callback, void* userData,
                      FWUpdateOutcome* outcome) {
    RunState state;
    ProgressGate gate(callback, userData);
    KmError status = 0;
    try {
        status = flow.begin(monitor);
        if (status >= 0) {
            state.begun = true;
            FWTransferProgress progress = plan.startProgress();
            status = RunImages(flow, monitor, plan, gate, progress, state, callback, userData);
            if (status >= 0) status = flow.finish(monitor, plan);
            state.finished = status >= 0;
        }
    } catch (...) {
        // Out of memory mid-run: the monitor is left as after a failure, never as a success.
        state.imageErased = state.imageErased || gate.erased();
        flow.end(monitor);
        if (outcome) *outcome = flow.outcome(state);
        throw;
    }
    // Even a failed begin may have changed something (ISP mode half entered), so end runs
    // after any attempt; its status counts only when all else succeeded.
    const KmError ended = flow.end(monitor);
    if (status >= 0 && ended < 0) status = ended;
    if (outcome) *outcome = flow.outcome(state);
    return status;
}

KmError PlanAndRun(PlanFunction plan, UpdateFlow& flow, dev::Monitor& monitor,
                   const kfw::KfwFile* file, uint32_t options, FWTransferProgressCallback callback,
                   void* userData, FWUpdateOutcome* outcome) {
    if (outcome) *outcome = FWUpdateOutcomeUntouched;
    UpdatePlan checked;
    const KmError status = plan(monitor, file, options, &checked);
    if (status < 0) return status;
    return RunUpdatePlan(flow, monitor, checked, callback, userData, outcome);
}

}  // namespace fwu::internal
