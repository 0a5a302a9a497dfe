// SPDX-License-Identifier: Apache-2.0
#include "sim/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace screenio::sim {

FileLock::FileLock(const std::string& path)
    : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (!m_fd.valid())
        throw std::runtime_error("cannot open lock file " + path + ": " + std::strerror(errno));
    int result;
    do {
        result = ::flock(m_fd.get(), LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) throw std::runtime_error("cannot lock " + path + ": " + std::strerror(errno));
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock; unlocking first makes the order explicit.
    if (m_fd.valid()) ::flock(m_fd.get(), LOCK_UN);
}

}  // namespace screenio::sim
