// SPDX-License-Identifier: Apache-2.0
#include "model/KfwFile.h"

#include "model/TargetMonitor.h"

KfwFile::KfwFile(FWKfwFile* handle) : m_handle(handle) {}

KfwFile::~KfwFile() { FWKfwFileRelease(m_handle); }

uint32_t KfwFile::estimatedTimeWithMonitor(const TargetMonitor& monitor) const {
    const uint32_t seconds = FWKfwFileGetEstimatedTimeForMonitor(m_handle, monitor.handle(), 0);
    // Whole minutes, rounded up so that the user is never promised less than it takes.
    return (seconds + 59u) / 60u;
}
