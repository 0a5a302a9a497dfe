// SPDX-License-Identifier: Apache-2.0
#include "core/CriticalSectionLocker.h"

namespace fwu {

CriticalSectionLocker::CriticalSectionLocker(CriticalSection* section) : m_section(section) {
    if (m_section) m_section->lock();
}

CriticalSectionLocker::~CriticalSectionLocker() {
    if (m_section) m_section->unlock();
}

}  // namespace fwu
