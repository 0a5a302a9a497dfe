// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <pthread.h>

#include "core/Noncopyable.h"

namespace fwu {

// A recursive, process-private mutex: the package container's editing operations call one
// another while holding it.
class CriticalSection : private Noncopyable {
public:
    CriticalSection();
    ~CriticalSection();

    int lock();
    int unlock();

private:
    pthread_mutex_t m_mutex;
};

}  // namespace fwu
