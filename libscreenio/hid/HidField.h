// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace screenio::hid {

// Where one usage lives inside a report, as declared by the device's report descriptor.
struct HidField {
    uint8_t reportId = 0;    // 0 when the descriptor uses no report IDs
    uint32_t bitOffset = 0;  // from the start of the report data, after the ID byte
    uint32_t bitSize = 0;    // bits per element
    uint32_t count = 0;      // elements: 1 for a plain value, N for a buffer or array
    int64_t logicalMinimum = 0;
    int64_t logicalMaximum = 0;
    bool isSigned = false;    // elements are two's complement when the minimum is negative
    bool isArray = false;     // elements are usage selectors rather than values
    size_t reportLength = 0;  // bytes of the whole report, without the ID byte
    // Other data (non-constant) bits share the report, named or not: a write must keep them.
    bool sharesReport = false;
};

}  // namespace screenio::hid
