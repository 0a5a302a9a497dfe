// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "libflashkit/core/ThrowsFwuException.h"
#include "profile/CheckJson.h"
#include "json/Value.h"

namespace {

using fwu::CheckJson;
using fwu::test::throwsFwuException;
using pocketjson::Type;
using pocketjson::Value;

TEST(CheckJson, AcceptsExactlyTheKindsInTheMask) {
    struct Case {
        Value value;
        Type mask;
        bool accepted;
    };
    const Case cases[] = {
        {Value(7), pocketjson::Integer | pocketjson::Real, true},
        {Value(1.5), pocketjson::Integer | pocketjson::Real, true},
        {Value("7"), pocketjson::Integer | pocketjson::Real, false},
        {Value(true), pocketjson::Integer, false},
        {Value(1.0), pocketjson::Integer, false},
        {Value(pocketjson::Object), pocketjson::Object, true},
        {Value(pocketjson::Array), pocketjson::Object, false},
        {Value(pocketjson::Array), pocketjson::Array | pocketjson::Object, true},
        {Value(""), pocketjson::String, true},
        // Null has no bit, so no mask admits it.
        {Value(), static_cast<Type>(0x7F), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.value.type() << " mask " << c.mask);
        if (c.accepted) {
            EXPECT_NO_THROW(CheckJson(c.value, c.mask));
        } else {
            EXPECT_TRUE(throwsFwuException([&] { CheckJson(c.value, c.mask); },
                                           fwu::PackageError::kInvalidJsonType));
        }
    }
}

TEST(CheckJson, MemberLookupTellsMissingFromMistyped) {
    Value object(pocketjson::Object);
    object.insert("n", 3);
    object.insert("nothing", Value());

    EXPECT_EQ(&CheckJson(object, "n", pocketjson::Integer), object.find("n"));
    EXPECT_TRUE(throwsFwuException([&] { CheckJson(object, "absent", pocketjson::Integer); },
                                   fwu::PackageError::kJsonKeyNotFound));
    EXPECT_TRUE(throwsFwuException([&] { CheckJson(object, "n", pocketjson::String); },
                                   fwu::PackageError::kInvalidJsonType));
    // A member that is present but null is mistyped, not missing.
    EXPECT_TRUE(throwsFwuException([&] { CheckJson(object, "nothing", pocketjson::String); },
                                   fwu::PackageError::kInvalidJsonType));
    // Something that is not an object is a type error even for a key it could never hold.
    Value array(pocketjson::Array);
    array.push_back(1);
    EXPECT_TRUE(throwsFwuException([&] { CheckJson(array, "n", pocketjson::Integer); },
                                   fwu::PackageError::kInvalidJsonType));
}

}  // namespace
