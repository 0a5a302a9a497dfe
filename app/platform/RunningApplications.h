// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QList>
#include <QString>

#include <optional>

struct RunningApplication {
    int pid = 0;
    // The program the process runs (/proc/PID/exe).
    QString executablePath;
};

// The desktop's view of running applications: find, kill and start them.
class RunningApplications {
public:
    virtual ~RunningApplications() = default;

    // Every running instance of the application `appId`, found by its executable name.
    virtual QList<RunningApplication> applicationsWithIdentifier(const QString& appId,
                                                                 const QString& executableName) = 0;
    // The application with this process id; nothing when the process cannot be told.
    virtual std::optional<RunningApplication> applicationWithPid(int pid) = 0;
    // Starts the program without waiting for it and without keeping it as a child.
    virtual bool launch(const QString& executablePath) = 0;
    // Ends the process at once (SIGKILL).
    virtual bool kill(int pid) = 0;

    static RunningApplications& current();
    // Tests replace the platform; the object is not owned and must outlive its use. Null
    // restores the platform's own.
    static void setForTesting(RunningApplications* applications);
};
