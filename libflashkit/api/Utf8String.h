// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// The exported owned-text handle: an independent copy that outlives what it was made from.
struct FWUtf8String {
    std::string text;
};

namespace pocketjson {
class Value;
}

namespace fwu::api {
// The value as JSON text in a new handle; throws when it cannot be written.
FWUtf8String* ToUtf8String(const pocketjson::Value& value);
}  // namespace fwu::api
