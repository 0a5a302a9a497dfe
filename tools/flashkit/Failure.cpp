// SPDX-License-Identifier: Apache-2.0
#include "Failure.h"

#include <cstdio>

#include "flashkit/flashkit.h"
#include "screenio/screenio.h"

namespace flashkit {
namespace {

struct Named {
    int32_t status;
    const char* name;
};

const Named kNames[] = {
    {KmErrorFailed, "KmErrorFailed"},
    {KmErrorInvalidArgument, "KmErrorInvalidArgument"},
    {KmErrorInvalidLength, "KmErrorInvalidLength"},
    {KmErrorReadFailed, "KmErrorReadFailed"},
    {KmErrorNotSupported, "KmErrorNotSupported"},
    {KmErrorCancelled, "KmErrorCancelled"},
    {KmErrorNoData, "KmErrorNoData"},
    {KmErrorTimeout, "KmErrorTimeout"},
    {KmErrorInvalidState, "KmErrorInvalidState"},
    {KmErrorNotFinished, "KmErrorNotFinished"},
    {KmErrorVerifyFailed, "KmErrorVerifyFailed"},
    {KmErrorChecksumMismatch, "KmErrorChecksumMismatch"},
    {SCREENIO_ERROR_IO, "SCREENIO_ERROR_IO"},
    {SCREENIO_ERROR_INVALID_HANDLE, "SCREENIO_ERROR_INVALID_HANDLE"},
    {SCREENIO_ERROR_INVALID_ARGUMENT, "SCREENIO_ERROR_INVALID_ARGUMENT"},
    {SCREENIO_ERROR_NOT_OFFERED, "SCREENIO_ERROR_NOT_OFFERED"},
    {SCREENIO_ERROR_LENGTH, "SCREENIO_ERROR_LENGTH"},
    {SCREENIO_ERROR_GONE, "SCREENIO_ERROR_GONE"},
    {SCREENIO_ERROR_TIMEOUT, "SCREENIO_ERROR_TIMEOUT"},
    {SCREENIO_ERROR_REJECTED, "SCREENIO_ERROR_REJECTED"},
    {SCREENIO_ERROR_INTERNAL, "SCREENIO_ERROR_INTERNAL"},
    {SCREENIO_ERROR_BUSY, "SCREENIO_ERROR_BUSY"},
    {SCREENIO_ERROR_ACCESS, "SCREENIO_ERROR_ACCESS"},
    {SCREENIO_ERROR_LOCK, "SCREENIO_ERROR_LOCK"},
};

}  // namespace

const char* ExitCodeHelp() {
    return "Exit status:\n"
           "  0    success\n"
           "  1    internal error of the tool\n"
           "  2    bad command line\n"
           "  3    package or manifest cannot be read, built or written\n"
           "  4    no monitor found, or the selection does not name exactly one\n"
           "  10   the package is for another monitor model\n"
           "  11   the monitor's versions cannot be read, or no update path fits them\n"
           "  12   the monitor already has the package's versions\n"
           "  13   the package format does not fit the monitor's update protocol\n"
           "  20   the monitor failed a request\n"
           "  21   the monitor's checksum of a transferred image differs (error code 0001010100)\n"
           "  22   the monitor did not come back after its restart\n"
           "  23   after the update the monitor does not report the new versions (error code "
           "0002020000)\n"
           "  30   the update was not confirmed\n"
           "  130  interrupted (Ctrl-C)\n";
}

std::string StatusName(int32_t status) {
    char text[64];
    for (const Named& named : kNames) {
        if (named.status != status) continue;
        if (uint32_t(status) >= 0x80000000u)
            std::snprintf(text, sizeof text, "%s (0x%08X)", named.name, unsigned(status));
        else
            std::snprintf(text, sizeof text, "%s (%d)", named.name, int(status));
        return text;
    }
    if (uint32_t(status) >= 0x80000000u && uint32_t(status) < 0x80020000u)
        std::snprintf(text, sizeof text, "status 0x%08X", unsigned(status));
    else
        std::snprintf(text, sizeof text, "status %d", int(status));
    return text;
}

std::string ApplicationErrorCode(int32_t status, bool completionCheck) {
    if (completionCheck) return "0002020000";
    if (status == KmErrorChecksumMismatch) return "0001010100";
    return "";
}

namespace {

// The class of a failed request and what the user can do about it.
struct Advice {
    ExitCode code;
    const char* text;
};

Advice AdviceFor(int32_t status, bool completionCheck) {
    if (completionCheck)
        return {
            ExitNotFinished,
            "Switch the monitor off and on, then run 'flashkit check' again; if the versions are "
            "still old, run the update again."};
    if (status == KmErrorChecksumMismatch)
        return {ExitChecksumMismatch, "The image was damaged on its way; run the update again."};
    if (status == KmErrorCancelled)
        return {ExitCancelled, "Nothing was installed; run the update again when ready."};
    // Refusals of the update's plan: the package's images do not fit where they would go.
    if (status == KmErrorInvalidState || status == KmErrorNotSupported ||
        status == KmErrorInvalidArgument)
        return {ExitCommunication,
                "The package's images do not fit this monitor's files or flash layout; use the "
                "package made for this monitor."};
    return {ExitCommunication, "Check the monitor's cable and power, then run the command again."};
}

std::string StatusLine(const std::string& what, int32_t status, bool completionCheck) {
    std::string line = what + ": " + StatusName(status);
    const std::string application = ApplicationErrorCode(status, completionCheck);
    if (!application.empty()) line += ", error code " + application;
    return line;
}

}  // namespace

Failure TransferFailure(const std::string& what, int32_t status, const std::string& state,
                        bool unchanged) {
    const Advice advice = AdviceFor(status, false);
    std::string line = StatusLine(what, status, false) + "; " + state;
    if (unchanged) line += std::string(" ") + advice.text;
    return Failure(advice.code, line, status);
}

Failure MonitorFailure(const std::string& what, int32_t status, bool completionCheck) {
    const Advice advice = AdviceFor(status, completionCheck);
    return Failure(advice.code, StatusLine(what, status, completionCheck) + ". " + advice.text,
                   status);
}

}  // namespace flashkit
