// SPDX-License-Identifier: Apache-2.0
// Included first on purpose: this header defines function-like major() and minor() macros, as
// <sys/types.h> does on macOS, and the class must still compile after it.
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h>
#endif

#include "core/FileVersion.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using fwu::kfw::FileVersion;

TEST(FileVersion, ToVersionEnum) {
    struct Case {
        uint32_t major;
        uint32_t minor;
        uint32_t expected;
    };
    const Case cases[] = {
        {1, 0, 0},
        {1, 7, 0},  // the legacy format, whatever its minor
        {2, 0, 1},
        {2, 1, 2},
        {2, 9, 10},
        {3, 0, 0xFFFF},
        {0, 0, 0xFFFF},
        {0, 1, 0xFFFF},
        {0xFFFFFFFFu, 0, 0xFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        EXPECT_EQ(FileVersion(c.major, c.minor).toVersionEnum(), c.expected);
    }
}

TEST(FileVersion, EqualityComparesBothMembers) {
    const FileVersion empty;
    EXPECT_TRUE(empty.major.empty());
    EXPECT_TRUE(empty.minor.empty());

    const FileVersion v(2, 1);
    EXPECT_EQ(v.major.value(), 2u);
    EXPECT_EQ(v.minor.value(), 1u);
    EXPECT_FALSE(v != FileVersion(2, 1));
    EXPECT_TRUE(v != FileVersion(2, 0));
    EXPECT_TRUE(v != FileVersion(1, 1));
    EXPECT_TRUE(v != FileVersion(1, 2));  // members are not interchangeable
    EXPECT_TRUE(empty != v);
}

}  // namespace
