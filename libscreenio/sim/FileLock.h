// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "UniqueFd.h"

namespace screenio::sim {

// An exclusive flock on a lock file, held for the object's lifetime. Processes that lock the
// same file take turns; so do two locks in one process (each has its own open file).
class FileLock {
public:
    // Creates the lock file when needed and waits for the lock. Throws std::runtime_error when
    // the file cannot be opened or locked.
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    common::UniqueFd m_fd;
};

}  // namespace screenio::sim
