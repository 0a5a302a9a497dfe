// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace fwu::kfw::v2 {

// Uninitialised memory for a loaded payload, which the package's images go on living in.
// Large payloads are mapped directly and asked for huge pages: the payload is written once
// from end to end, and faulting it in 4 KiB at a time costs as much as decrypting it.
std::shared_ptr<uint8_t> AllocatePayloadMemory(size_t size);

// Asks for huge pages behind a large buffer that is about to be written from end to end; only
// advice, and only for the whole huge pages inside it.
void AdviseHugePages(void* data, size_t size);

}  // namespace fwu::kfw::v2
