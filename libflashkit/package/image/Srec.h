// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

// S-record images (".srec", ".mot") are converted by an outside library loaded at each call.
// Where that library is absent, every conversion fails with 0x60007
// "SREC file conversion not supported".
namespace fwu::kfw::file {

// The name under which the outside conversion library is looked up.
extern const char* const kSrecLibraryName;

std::vector<uint8_t> BytesFromSrec(const std::vector<uint8_t>& text);

// The same conversion through the library at `library` (a name or path for the dynamic
// loader); the error texts keep naming the usual library.
std::vector<uint8_t> BytesFromSrecWithLibrary(const std::vector<uint8_t>& text,
                                              const char* library);

}  // namespace fwu::kfw::file
