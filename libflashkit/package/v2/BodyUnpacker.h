// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

#include "package/v2/Msgpack.h"

namespace fwu::kfw::v2 {

// Deepest nesting of arrays and maps a body may have; the schema itself needs five levels.
constexpr size_t kMaxBodyDepth = 32;

// Unpacks the one msgpack object at data[0..size) (bytes after it are ignored). Strings and
// bins are left in place and point into `data`, which must outlive the handle.
//
// The body comes from a file, so its declared sizes are not trusted: every array and map
// element takes at least one byte, so the counts declared so far may never add up to more
// than the bytes there are, and nesting is capped at kMaxBodyDepth. A body that breaks this
// fails before anything is allocated for it, with a msgpack exception, as malformed or
// truncated data does.
msgpack::object_handle UnpackBody(const uint8_t* data, size_t size);

}  // namespace fwu::kfw::v2
