// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "UniqueFd.h"

namespace screenio::hid {

// The lock that keeps two of our programs off one monitor, whichever node it has now and
// whichever user runs them: a Unix socket bound to a name in the abstract namespace, which all
// users share, which leaves no file behind for anyone to create first, and which the kernel
// frees when its holder ends, however it ends.
class MonitorLock {
public:
    // The longest abstract socket name (sun_path less its leading NUL byte).
    static const size_t kMaxSocketName;

    // Takes the lock `name` (a serial number, perhaps with the monitor's place on the bus) into
    // `*lock`: 0, EBUSY when another socket holds it, or ENOLCK when no socket can be made or
    // bound (a sandbox, the limit of open files).
    static int take(const std::string& name, common::UniqueFd* lock);

    // The socket name of a lock: "screenio/monitor/" and the name with anything outside
    // [A-Za-z0-9._-] as %XX, so distinct names stay distinct; a name too long for a socket is
    // cut and followed by a hash of all of it.
    static std::string socketName(const std::string& name);
};

}  // namespace screenio::hid
