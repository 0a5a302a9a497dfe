// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace flashkit {

// The SHA-256 of a file's contents in lower-case hex; empty when the file cannot be read.
std::string FileSha256(const std::string& path);

}  // namespace flashkit
