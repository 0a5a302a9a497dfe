// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "json/Value.h"

namespace fwu::api {

// The value of a JSON text handed to an exported function. A leading byte order mark is
// skipped; whatever the parse built is returned even when it failed or trailing text followed,
// so malformed input surfaces as the shape errors of the operation that reads the value.
pocketjson::Value ParseJsonArgument(const char* text);

}  // namespace fwu::api
