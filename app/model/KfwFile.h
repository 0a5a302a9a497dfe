// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "flashkit/flashkit.h"

class TargetMonitor;

// Owns one opened and checked package of libflashkit.
class KfwFile {
public:
    // Takes ownership of `handle`, released with the object.
    explicit KfwFile(FWKfwFile* handle);
    ~KfwFile();
    KfwFile(const KfwFile&) = delete;
    KfwFile& operator=(const KfwFile&) = delete;

    FWKfwFile* handle() const { return m_handle; }
    // The library's estimate for updating the monitor, in whole minutes rounded up.
    uint32_t estimatedTimeWithMonitor(const TargetMonitor& monitor) const;

private:
    FWKfwFile* m_handle;
};
