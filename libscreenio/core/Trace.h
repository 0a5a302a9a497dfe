// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "core/Device.h"

namespace screenio {

// The call trace named by SCREENIO_TRACE: one line per call with the monitor, usage, access,
// length and status, for diagnosing protocol problems. Does nothing when the variable is unset.
// The file is opened once, for appending; each line is written whole, so lines of two threads
// or processes never mix.
class Trace {
public:
    static bool enabled();
    // A request to a monitor's usage. `data` is what was sent or received (may be null);
    // `value` the value of a value request (may be null).
    static void request(const std::string& monitor, Access access, uint16_t page, uint16_t usage,
                        const uint8_t* data, uint32_t length, KmError status,
                        const int64_t* value = nullptr);
    // A call that addresses no usage (KmRelease, KmFind, KmRetrieve).
    static void call(const char* name, int64_t argument, KmError status);
    // A remark of a backend that belongs to no call, such as a device it passed over.
    static void note(const std::string& text);
    // Closes the trace; the next call reads SCREENIO_TRACE again (for tests).
    static void reset();
};

}  // namespace screenio
