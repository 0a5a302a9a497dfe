// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "screenio/screenio.h"

namespace screenio {

// How a request reaches a usage; the trace and the simulator's fault rules name requests so.
enum class Access { FixedData, GetValue, SetValue, GetArray, SetArray };

const char* AccessName(Access access);

// One monitor as a backend reaches it, for as long as one search lasts. Implementations are
// thread-safe: the exported functions call them without a lock of their own.
class Device {
public:
    virtual ~Device() = default;

    // Called when a caller takes the monitor's handle (KmRetrieve): a backend that must claim
    // the monitor (open it, lock it against other processes) does so here, and keeps the claim
    // until the search is dropped. Repeated calls after a success succeed at once.
    virtual KmError acquire() { return 0; }

    // `offered` becomes true when the monitor offers the usage; `count` the byte length of its
    // array report (0 for usages without one).
    virtual KmError getFixedData(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) = 0;
    virtual KmError getValue(uint16_t page, uint16_t usage, int64_t* value) = 0;
    virtual KmError setValue(uint16_t page, uint16_t usage, int64_t value) = 0;
    virtual KmError getArray(uint16_t page, uint16_t usage, uint8_t* buffer, uint32_t length) = 0;
    virtual KmError setArray(uint16_t page, uint16_t usage, const uint8_t* buffer,
                             uint32_t length) = 0;

    // A short name for traces, such as the serial number.
    virtual std::string describe() const = 0;
};

}  // namespace screenio
