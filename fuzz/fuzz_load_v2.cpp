// SPDX-License-Identifier: Apache-2.0
// Whole package files, as a user could hand them to the updater.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fwu::fuzz::LoadAndRoundTrip(data, size);
    return 0;
}
