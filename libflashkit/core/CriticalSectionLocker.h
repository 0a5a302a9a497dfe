// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "core/CriticalSection.h"

namespace fwu {

// Scope guard: holds the critical section from construction to destruction.
class CriticalSectionLocker : private Noncopyable {
public:
    explicit CriticalSectionLocker(CriticalSection* section);
    ~CriticalSectionLocker();

private:
    CriticalSection* m_section;
};

}  // namespace fwu
