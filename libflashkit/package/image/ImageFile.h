// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace fwu::kfw::file {

// True when `text`, lower-cased byte by byte, ends with `suffix` (which is compared as given, so
// pass it in lower case). An empty suffix, or one longer than the text, never matches.
bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix);

// The firmware image a blob's source file stands for: ".srec" and ".mot" files through the
// S-record conversion, ".cyacd" files through the Cyacd conversion, anything else as read.
// File stream errors and conversion errors propagate as fwu::Exception.
std::vector<uint8_t> LoadImageFile(const std::string& path);

}  // namespace fwu::kfw::file
