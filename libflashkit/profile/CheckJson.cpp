// SPDX-License-Identifier: Apache-2.0
#include "profile/CheckJson.h"

#include "core/Exception.h"

namespace fwu {

void CheckJson(const pocketjson::Value& value, pocketjson::Type types) {
    // The misspelling is part of the message callers match on.
    if ((value.type() & types) == 0) throw Exception(PackageError::kInvalidJsonType);
}

const pocketjson::Value& CheckJson(const pocketjson::Value& object, const char* key,
                                   pocketjson::Type types) {
    CheckJson(object, pocketjson::Object);
    const pocketjson::Value* member = object.find(key);
    if (!member) throw Exception(PackageError::kJsonKeyNotFound);
    CheckJson(*member, types);
    return *member;
}

}  // namespace fwu
