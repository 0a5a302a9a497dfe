// SPDX-License-Identifier: Apache-2.0
#include "json/CodePoint.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace pocketjson {
namespace {

TEST(CodePoint, Utf8AtEachLengthBoundary) {
    const struct {
        uint32_t value;
        std::string bytes;
    } cases[] = {
        {0x0, std::string(1, '\0')},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, ""},  // beyond Unicode: nothing is written
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::string out = "<";
        auto it = std::back_inserter(out);
        EXPECT_EQ(CodePoint(c.value).toUtf8(it), c.bytes.size());
        EXPECT_EQ(out, "<" + c.bytes);
    }
}

}  // namespace
}  // namespace pocketjson
