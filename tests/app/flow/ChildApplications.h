// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "platform/LinuxRunningApplications.h"

// The platform's running applications, narrowed to the children of this process while the
// object lives: tests that run side by side must not see (or close) each other's stand-ins of
// the maker's applications, nor a real one on the developer's machine.
class ChildApplications : public RunningApplications {
public:
    ChildApplications();
    ~ChildApplications() override;
    ChildApplications(const ChildApplications&) = delete;
    ChildApplications& operator=(const ChildApplications&) = delete;

    QList<RunningApplication> applicationsWithIdentifier(const QString& appId,
                                                         const QString& executableName) override;
    std::optional<RunningApplication> applicationWithPid(int pid) override;
    bool launch(const QString& executablePath) override;
    bool kill(int pid) override;

    // The parent of `pid` is this process.
    static bool isChild(int pid);

private:
    LinuxRunningApplications m_platform;
};
