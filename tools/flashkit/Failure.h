// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "ExitCode.h"

namespace flashkit {

// A failure the user is told about in one line, with the exit status that classifies it.
// Commands throw it; main prints it on standard error (or as the JSON result) and exits.
class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string& line, int32_t status = 0)
        : std::runtime_error(line), m_code(code), m_status(status) {}
    ExitCode code() const { return m_code; }
    // The library's status behind the failure, 0 when none (a refusal of the tool itself).
    int32_t status() const { return m_status; }

private:
    ExitCode m_code;
    int32_t m_status;
};

// "KmErrorChecksumMismatch (0x80010005)", "SCREENIO_ERROR_GONE (-6)", "status -42".
std::string StatusName(int32_t status);
// The code the desktop updater shows for a failed transfer, trigger or completion check
// ("0001010100", "0002020000"), or empty.
std::string ApplicationErrorCode(int32_t status, bool completionCheck);
// A monitor request that failed: what failed, the status by name, the application code where
// there is one, and what the user can do; classified by status.
Failure MonitorFailure(const std::string& what, int32_t status, bool completionCheck = false);
// A transfer or update that failed: what failed and the status, then `state` (what the run
// left on the monitor, a clause of MonitorStateAfter); the usual advice follows only when
// `unchanged` says the monitor works as before.
Failure TransferFailure(const std::string& what, int32_t status, const std::string& state,
                        bool unchanged);

}  // namespace flashkit
