// SPDX-License-Identifier: Apache-2.0
#include "unix/UniqueFd.h"

#include <unistd.h>

#include <utility>

namespace kipc {

UniqueFd::~UniqueFd() { close(); }

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void UniqueFd::close() {
    if (m_fd < 0) return;
    // Even when close reports EINTR the descriptor is gone on Linux, so it is never retried.
    ::close(std::exchange(m_fd, -1));
}

}  // namespace kipc
