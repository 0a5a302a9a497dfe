// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <string>

namespace kipc {

// The longest usable socket path in bytes; kept the same on every platform so a name works or
// fails alike everywhere.
constexpr std::size_t kMaxSocketPathBytes = 103;

// The file-system path of a socket name: a name starting with "/" is the path itself, any other
// name is put in the folder named by TMPDIR ("/tmp/" when unset or empty).
std::string SocketPathForName(const std::string& name);

}  // namespace kipc
