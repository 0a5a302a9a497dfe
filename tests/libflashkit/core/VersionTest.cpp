// SPDX-License-Identifier: Apache-2.0
#include "core/Version.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using fwu::Version;

TEST(Version, ParsesLeadingDecimalNumber) {
    struct Case {
        const char* text;
        uint32_t value;
    };
    const Case cases[] = {
        {"25", 25},
        {"0", 0},
        {"007", 7},
        {"  42", 42},
        {"\t\n 9", 9},
        {"+9", 9},
        {"12abc", 12},
        {"3.5", 3},
        {"10 20", 10},
        {"4294967295", UINT32_MAX},
        {"abc", 0},
        {"", 0},
        {"   ", 0},
        {"x12", 0},
        {"-1", 0},
        {"+", 0},
        {"4294967296", 0},  // one past the 32-bit range
        {"99999999999999999999999", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        const Version version{std::string(c.text)};
        EXPECT_EQ(version.value(), c.value);
        EXPECT_EQ(version.empty(), c.value == 0);
    }
}

TEST(Version, ComparisonsAreUnsigned) {
    EXPECT_TRUE(Version().empty());
    EXPECT_EQ(Version().value(), 0u);
    EXPECT_EQ(Version(0x80000000u).value(), 0x80000000u);

    const Version big(0x80000000u), small(1), same(1);
    EXPECT_TRUE(big > small);
    EXPECT_TRUE(big >= small);
    EXPECT_TRUE(small < big);
    EXPECT_TRUE(small <= big);
    EXPECT_FALSE(big < small);
    EXPECT_FALSE(big <= small);
    EXPECT_TRUE(small == same);
    EXPECT_FALSE(small != same);
    EXPECT_TRUE(small <= same);
    EXPECT_TRUE(small >= same);
    EXPECT_FALSE(small < same);
    EXPECT_FALSE(small > same);
    EXPECT_TRUE(big != small);
    EXPECT_TRUE(Version() < small);
}

TEST(Version, MatchAppliesOperatorUnlessEitherSideIsEmpty) {
    struct Case {
        uint32_t a;
        uint32_t b;
        uint32_t op;
        bool expected;
    };
    const Case cases[] = {
        // An empty version on either side matches whatever the operator, even an unknown one.
        {0, 5, 5, true},
        {0, 5, 3, true},
        {5, 0, 3, true},
        {0, 0, 2, true},
        {0, 5, 0, true},
        {5, 0, 7, true},
        // 3 against 5.
        {3, 5, 1, false},
        {3, 5, 2, true},
        {3, 5, 3, true},
        {3, 5, 4, true},
        {3, 5, 5, false},
        {3, 5, 6, false},
        // 5 against 5.
        {5, 5, 1, true},
        {5, 5, 2, false},
        {5, 5, 3, false},
        {5, 5, 4, true},
        {5, 5, 5, false},
        {5, 5, 6, true},
        // 5 against 3.
        {5, 3, 1, false},
        {5, 3, 2, true},
        {5, 3, 3, false},
        {5, 3, 4, false},
        {5, 3, 5, true},
        {5, 3, 6, true},
        // Unsigned: the high bit does not make a version negative.
        {0x80000000u, 1, 3, false},
        {0x80000000u, 1, 5, true},
        {1, 0xFFFFFFFFu, 4, true},
        // No operator or an unknown one never matches two real versions.
        {5, 5, 0, false},
        {5, 5, 7, false},
        {3, 5, 0xFFFFFFFFu, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " op " << c.op << " " << c.b);
        EXPECT_EQ(Version(c.a).match(Version(c.b), static_cast<Version::Operator>(c.op)),
                  c.expected);
    }
}

TEST(Version, ToStringPadsToWidthInChosenRepresentation) {
    struct Case {
        uint32_t value;
        uint32_t width;
        uint32_t representation;
        const char* text;
    };
    const Case cases[] = {
        {255, 4, 1, "00FF"},
        {255, 0, 1, "FF"},
        {0xABCDEF, 2, 1, "ABCDEF"},  // never truncated
        {0xFFFFFFFFu, 10, 1, "00FFFFFFFF"},
        {1234, 0, 0, "1234"},
        {1234, 2, 0, "1234"},
        {7, 3, 0, "007"},
        {0, 0, 0, "0"},
        {0, 2, 1, "00"},
        {4294967295u, 0, 0, "4294967295"},
        {255, 4, 2, "0255"},  // any representation other than 1 is decimal
        {255, 0, 0xFFFFFFFFu, "255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.value << " width " << c.width << " repr " << c.representation);
        EXPECT_EQ(Version(c.value).toString(c.width,
                                            static_cast<FWVersionRepresentation>(c.representation)),
                  c.text);
    }
}

TEST(Version, OperatorSpellings) {
    struct Case {
        const char* text;
        uint32_t op;
    };
    const Case cases[] = {
        {"eq", 1},
        {"EQ", 1},
        {"Eq", 1},
        {"==", 1},
        {"ne", 2},
        {"NE", 2},
        {"nE", 2},
        {"!=", 2},
        {"lt", 3},
        {"LT", 3},
        {"<", 3},
        {"le", 4},
        {"Le", 4},
        {"<=", 4},
        {"gt", 5},
        {"GT", 5},
        {">", 5},
        {"ge", 6},
        {"GE", 6},
        {">=", 6},
        // Anything else is no operator.
        {"=>", 0},
        {"=<", 0},
        {"=", 0},
        {"<>", 0},
        {"!", 0},
        {"", 0},
        {"e", 0},
        {"eq ", 0},
        {" eq", 0},
        {"equal", 0},
        {"geq", 0},
        {"0", 0},
        {"1", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        EXPECT_EQ(static_cast<uint32_t>(Version::toOperator(c.text)), c.op);
    }

    // A zero byte inside the text does not end it.
    for (const std::string& text : {std::string("eq\0", 3), std::string("GE\0x", 4),
                                    std::string("<\0", 2), std::string("\0", 1)}) {
        SCOPED_TRACE(text.size());
        EXPECT_EQ(static_cast<uint32_t>(Version::toOperator(text)), 0u);
    }

    const char* const words[] = {"", "eq", "ne", "lt", "le", "gt", "ge"};
    for (uint32_t op = 0; op <= 6; ++op) {
        SCOPED_TRACE(op);
        const std::string text = Version::toString(static_cast<Version::Operator>(op));
        EXPECT_EQ(text, words[op]);
        EXPECT_EQ(static_cast<uint32_t>(Version::toOperator(text)), op);
    }
    EXPECT_EQ(Version::toString(static_cast<Version::Operator>(7)), "");
    EXPECT_EQ(Version::toString(static_cast<Version::Operator>(0xFFFFFFFFu)), "");
}

}  // namespace
