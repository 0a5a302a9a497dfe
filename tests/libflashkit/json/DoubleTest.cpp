// SPDX-License-Identifier: Apache-2.0
#include "json/Double.h"

#include <gtest/gtest.h>

#include "libflashkit/json/CommaLocale.h"

#include <clocale>
#include <cstring>
#include <iterator>
#include <limits>
#include <locale.h>
#include <string>

namespace pocketjson {
namespace {

std::string text(double value, bool* finite = nullptr) {
    std::string out;
    auto it = std::back_inserter(out);
    const bool result = Double(value).toString(it);
    if (finite) *finite = result;
    return out;
}

TEST(DoubleToString, ValuesAndResult) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* text;
        bool finite;
    } cases[] = {
        {0.0, "0.0", true},
        {-0.0, "0.0", true},
        {1.0, "1", true},
        {0.1, "0.10000000000000001", true},
        {1e300, "1.0000000000000001e+300", true},
        {-1.5, "-1.5", true},
        {123456789012.25, "123456789012.25", true},
        {5e-324, "4.9406564584124654e-324", true},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308", true},
        {nan, "nan", false},
        {inf, "inf", false},
        {-inf, "-inf", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bool finite = !c.finite;
        EXPECT_EQ(text(c.value, &finite), c.text);
        EXPECT_EQ(finite, c.finite);
    }
}

TEST(DoubleToString, AdvancesTheCallersIterator) {
    char buffer[32] = {};
    char* out = buffer;
    ASSERT_TRUE(Double(2.5).toString(out));
    ASSERT_TRUE(Double(-0.0).toString(out));
    EXPECT_EQ(out - buffer, 6);
    EXPECT_STREQ(buffer, "2.50.0");
}

using pocketjson::test::CommaLocale;

TEST(DoubleToString, IgnoresTheLocaleDecimalPoint) {
    CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with another decimal point is installed";
    EXPECT_EQ(text(0.1), "0.10000000000000001");
    EXPECT_EQ(text(-2.5e-7), "-2.4999999999999999e-07");
    EXPECT_EQ(text(3.0), "3");
}

}  // namespace
}  // namespace pocketjson
