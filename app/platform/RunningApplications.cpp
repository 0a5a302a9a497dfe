// SPDX-License-Identifier: Apache-2.0
#include "platform/RunningApplications.h"

#include <atomic>

#include "platform/LinuxRunningApplications.h"

namespace {

std::atomic<RunningApplications*> g_testApplications{nullptr};

}  // namespace

RunningApplications& RunningApplications::current() {
    if (RunningApplications* test = g_testApplications.load()) return *test;
    static LinuxRunningApplications platform;
    return platform;
}

void RunningApplications::setForTesting(RunningApplications* applications) {
    g_testApplications = applications;
}
