// SPDX-License-Identifier: Apache-2.0
#pragma once

// The waits of the update flow in one place, so that tests can shorten them. The values are the
// production ones; nothing but tests changes them.
struct Timings {
    int restartWaitMs = 15000;        // between searches for the restarted monitor
    int restartTries = 40;            // searches before the monitor counts as lost (10 minutes)
    int pollMs = 1000;                // the windows' polls of the worker threads
    int rescanAfterArrivalMs = 1500;  // a USB arrival: the monitor needs time to enumerate
    int rescanAfterRemovalMs = 100;
    int serviceWaitMs = 1000;  // between checks whether a background service has quit
    int serviceWaitTries = 5;

    static Timings& current();
};
