// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "UniqueFd.h"

namespace flashkit {

// Asks systemd-logind to block sleep and shutdown while the object lives: the lock is the file
// descriptor logind hands out, released by closing it. Without a reachable logind (containers,
// systems without systemd) the object holds nothing and says why.
class SleepInhibitor {
public:
    SleepInhibitor();
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    bool held() const { return m_lock.valid(); }
    // Why no lock is held; empty when one is.
    const std::string& problem() const { return m_problem; }

private:
    common::UniqueFd m_lock;
    std::string m_problem;
};

}  // namespace flashkit
