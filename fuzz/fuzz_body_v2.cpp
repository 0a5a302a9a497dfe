// SPDX-License-Identifier: Apache-2.0
// Package bodies: the input is sealed into a valid container first, so that the fuzzer works on
// the msgpack reader rather than on the digest.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file = fwu::fuzz::SealBody(data, size);
    fwu::fuzz::LoadAndRoundTrip(file.data(), file.size());
    return 0;
}
