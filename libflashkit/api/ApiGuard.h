// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <utility>

namespace fwu::api {

// Records the failure of the current exported call for FWGetLastError.
void ClearLastError();
void SetLastError(uint32_t code, const char* message);
void RecordCurrentException();

// The one place where exceptions stop: runs `body` and returns its result, or `onFailure`
// after recording what was thrown. Every exported function that can fail goes through it, so
// no exception ever crosses into a caller's C code.
template <typename Result, typename Body> Result Guard(Result onFailure, Body&& body) noexcept {
    ClearLastError();
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        RecordCurrentException();
        return onFailure;
    }
}

}  // namespace fwu::api
