// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "json/Value.h"

namespace fwu {

// Shape checks of the JSON readers. `types` is a mask of pocketjson type bits; a value whose
// kind is not in the mask throws 0x30001 "Invlaid json type" (a Null value is never in a mask).
void CheckJson(const pocketjson::Value& value, pocketjson::Type types);

// The member `key` of `object`, checked against `types`. Throws 0x30001 when `object` is not an
// object or the member is of another kind, and 0x30000 "Json key is not found" when the member
// is absent.
const pocketjson::Value& CheckJson(const pocketjson::Value& object, const char* key,
                                   pocketjson::Type types);

}  // namespace fwu
