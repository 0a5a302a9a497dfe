// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "UsbVendorId.h"

namespace {

struct VendorText {
    const char* what;
    const char* text;
    std::optional<uint16_t> vendor;
};

const VendorText kVendorTexts[] = {
    {"prefixed", "0x1A2B", 0x1a2b},
    {"upper-case prefix", "0X00ff", 0xff},
    {"bare hexadecimal", "1a2b", 0x1a2b},
    {"bare digits are hexadecimal", "10", 0x10},
    {"largest", "ffff", 0xffff},
    {"zero", "0", 0},
    {"too large", "0x10000", std::nullopt},
    {"far too large", "ffffffffffffffffffff", std::nullopt},
    {"negative", "-1", std::nullopt},
    {"prefix only", "0x", std::nullopt},
    {"trailing text", "12 ", std::nullopt},
    {"not hexadecimal", "xyz", std::nullopt},
    {"empty", "", std::nullopt},
};

// Sets or removes SCREENIO_USB_VENDOR_ID for one scope.
class ScopedVendorVariable {
public:
    explicit ScopedVendorVariable(const char* value) {
        if (const char* old = std::getenv(kName)) m_old = old;
        if (value)
            ::setenv(kName, value, 1);
        else
            ::unsetenv(kName);
    }
    ~ScopedVendorVariable() {
        if (m_old)
            ::setenv(kName, m_old->c_str(), 1);
        else
            ::unsetenv(kName);
    }

private:
    static constexpr const char* kName = "SCREENIO_USB_VENDOR_ID";
    std::optional<std::string> m_old;
};

}  // namespace

TEST(UsbVendorId, ParsesTheWaysAVendorIdIsWritten) {
    for (const VendorText& c : kVendorTexts)
        EXPECT_EQ(common::ParseVendorId(c.text), c.vendor) << c.what << ": \"" << c.text << '"';
    EXPECT_EQ(common::ParseVendorId(nullptr), std::nullopt);
}

TEST(UsbVendorId, TheEnvironmentOverridesTheBuiltIdAndABadOverrideIsReportedOnce) {
    {
        const ScopedVendorVariable unset(nullptr);
        EXPECT_EQ(common::VendorIdFromEnvironment(0xfff0, "test"), 0xfff0);
    }
    {
        const ScopedVendorVariable empty("");
        EXPECT_EQ(common::VendorIdFromEnvironment(0xfff0, "test"), 0xfff0);
    }
    {
        const ScopedVendorVariable given("0x1a2b");
        EXPECT_EQ(common::VendorIdFromEnvironment(0xfff0, "test"), 0x1a2b);
    }
    const ScopedVendorVariable bad("not-an-id");
    testing::internal::CaptureStderr();
    EXPECT_EQ(common::VendorIdFromEnvironment(0xfff0, "test"), 0xfff0);
    EXPECT_EQ(common::VendorIdFromEnvironment(0xfff0, "test"), 0xfff0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "test: SCREENIO_USB_VENDOR_ID=not-an-id is not a 16-bit USB vendor id; "
              "using 0xfff0\n");
}
