// SPDX-License-Identifier: Apache-2.0
#include "core/CriticalSection.h"

namespace fwu {

CriticalSection::CriticalSection() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_PRIVATE);
    pthread_mutex_init(&m_mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

CriticalSection::~CriticalSection() { pthread_mutex_destroy(&m_mutex); }

int CriticalSection::lock() { return pthread_mutex_lock(&m_mutex); }

int CriticalSection::unlock() { return pthread_mutex_unlock(&m_mutex); }

}  // namespace fwu
