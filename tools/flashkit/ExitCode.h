// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace flashkit {

// Exit statuses, one per failure class, so scripts can tell them apart. Documented in --help
// and the README; keep them stable.
enum ExitCode : int {
    ExitOk = 0,
    ExitInternal = 1,              // an unexpected failure of the tool itself
    ExitUsage = 2,                 // bad command line
    ExitPackage = 3,               // a package or manifest cannot be read, built or written
    ExitNoMonitor = 4,             // no monitor, or the selection does not name exactly one
    ExitDifferentModel = 10,       // the package is for another model
    ExitUnsupportedVersion = 11,   // the monitor's versions cannot be read or no bundle applies
    ExitAlreadyUpdated = 12,       // nothing left to update
    ExitWrongPackageVersion = 13,  // the package format does not fit the monitor's protocol
    ExitCommunication = 20,        // the monitor failed a request
    ExitChecksumMismatch = 21,     // the monitor's checksum of a transferred image differs
    ExitNotBack = 22,              // the monitor did not come back after its restart
    ExitNotFinished = 23,          // after the update the monitor does not report the new versions
    ExitDeclined = 30,             // the user answered no at the confirmation
    ExitCancelled = 130,           // interrupted (Ctrl-C)
};

// The table for --help and the README.
const char* ExitCodeHelp();

}  // namespace flashkit
