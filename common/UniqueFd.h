// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace common {

// Owns a POSIX file descriptor and closes it once.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports whether close succeeded (it can report a failed write-back). The
    // descriptor is given up either way: after EINTR it is already gone on Linux.
    bool close();

private:
    int m_fd = -1;
};

}  // namespace common
