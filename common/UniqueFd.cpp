// SPDX-License-Identifier: Apache-2.0
#include "UniqueFd.h"

#include <unistd.h>

#include <utility>

namespace common {

UniqueFd::~UniqueFd() { close(); }

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool UniqueFd::close() {
    if (m_fd < 0) return true;
    // Never retried: a second close could hit a descriptor another thread just opened.
    return ::close(std::exchange(m_fd, -1)) == 0;
}

}  // namespace common
