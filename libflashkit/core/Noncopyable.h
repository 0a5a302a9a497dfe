// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace fwu {

// Private base that removes copy construction and copy assignment from its derived classes.
class Noncopyable {
protected:
    Noncopyable() = default;
    ~Noncopyable() = default;

public:
    Noncopyable(const Noncopyable&) = delete;
    Noncopyable& operator=(const Noncopyable&) = delete;
};

}  // namespace fwu
