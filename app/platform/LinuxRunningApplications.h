// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "platform/RunningApplications.h"

// Running applications on Linux: processes from libksys snapshots, matched by the base name of
// their executable; a process is known when its executable (/proc/PID/exe) can be read.
class LinuxRunningApplications : public RunningApplications {
public:
    QList<RunningApplication> applicationsWithIdentifier(const QString& appId,
                                                         const QString& executableName) override;
    std::optional<RunningApplication> applicationWithPid(int pid) override;
    bool launch(const QString& executablePath) override;
    bool kill(int pid) override;
};
