// SPDX-License-Identifier: Apache-2.0
#include "api/ApiGuard.h"

#include <exception>
#include <new>
#include <string>

#include "core/Exception.h"
#include "flashkit/flashkit.h"

namespace fwu::api {

namespace {

struct LastError {
    uint32_t code = 0;
    std::string message;
};

thread_local LastError t_lastError;

}  // namespace

void ClearLastError() {
    t_lastError.code = 0;
    t_lastError.message.clear();
}

void SetLastError(uint32_t code, const char* message) {
    try {
        t_lastError.code = code;
        t_lastError.message = message ? message : "";
    } catch (...) {
        // Out of memory while keeping the text: the code alone still tells the reason.
        t_lastError.message.clear();
    }
}

void RecordCurrentException() {
    try {
        throw;
    } catch (const Exception& e) {
        SetLastError(e.code(), e.what());
    } catch (const std::bad_alloc&) {
        SetLastError(FW_ERROR_OTHER, "Out of memory");
    } catch (const std::exception& e) {
        SetLastError(FW_ERROR_OTHER, e.what());
    } catch (...) {
        SetLastError(FW_ERROR_OTHER, "Unknown failure");
    }
}

}  // namespace fwu::api

extern "C" FW_EXPORT uint32_t FWGetLastError(const char** message) {
    if (message) *message = fwu::api::t_lastError.message.c_str();
    return fwu::api::t_lastError.code;
}
