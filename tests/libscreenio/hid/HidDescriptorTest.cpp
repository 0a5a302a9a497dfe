// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "hid/HidDescriptor.h"

namespace screenio::hid {
namespace {

using Bytes = std::vector<uint8_t>;

HidDescriptor Parse(const Bytes& bytes) { return HidDescriptor::parse(bytes.data(), bytes.size()); }

struct Expected {
    uint8_t reportId;
    uint32_t bitOffset;
    uint32_t bitSize;
    uint32_t count;
    int64_t logicalMinimum;
    int64_t logicalMaximum;
    bool isSigned;
    bool isArray;
    size_t reportLength;
};

void ExpectField(const HidDescriptor& d, uint16_t page, uint16_t usage, const Expected& e) {
    SCOPED_TRACE(testing::Message() << "usage " << std::hex << page << ":" << usage);
    const HidField* f = d.feature(page, usage);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->reportId, e.reportId);
    EXPECT_EQ(f->bitOffset, e.bitOffset);
    EXPECT_EQ(f->bitSize, e.bitSize);
    EXPECT_EQ(f->count, e.count);
    EXPECT_EQ(f->logicalMinimum, e.logicalMinimum);
    EXPECT_EQ(f->logicalMaximum, e.logicalMaximum);
    EXPECT_EQ(f->isSigned, e.isSigned);
    EXPECT_EQ(f->isArray, e.isArray);
    EXPECT_EQ(f->reportLength, e.reportLength);
}

// Vendor collection on FF02: a 522-byte buffer FD in feature report 5 (preceded by an input
// report with the same ID, whose bits must not shift the feature), and in feature report 6 a
// 32-bit value FB followed by a two-byte field FC.
const Bytes kVendorDescriptor = {
    0x06, 0x02, 0xFF,              // Usage Page FF02
    0x09, 0x01,                    // Usage 01
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x05,                    //   Report ID 5
    0x09, 0x10,                    //   Usage 10
    0x15, 0x00,                    //   Logical Minimum 0
    0x26, 0xFF, 0x00,              //   Logical Maximum 255
    0x75, 0x08,                    //   Report Size 8
    0x95, 0x40,                    //   Report Count 64
    0x81, 0x02,                    //   Input (Data, Variable)
    0x09, 0xFD,                    //   Usage FD
    0x96, 0x0A, 0x02,              //   Report Count 522
    0xB1, 0x00,                    //   Feature (Data, Array)
    0x85, 0x06,                    //   Report ID 6
    0x09, 0xFB,                    //   Usage FB
    0x27, 0xFF, 0xFF, 0xFF, 0xFF,  //   Logical Maximum FFFFFFFF
    0x75, 0x20,                    //   Report Size 32
    0x95, 0x01,                    //   Report Count 1
    0xB1, 0x02,                    //   Feature (Data, Variable)
    0x09, 0xFC,                    //   Usage FC
    0x75, 0x08,                    //   Report Size 8
    0x95, 0x02,                    //   Report Count 2
    0xB1, 0x02,                    //   Feature (Data, Variable)
    0xC0,                          // End Collection
};

TEST(HidDescriptorGolden, VendorBuffersUnderReportIds) {
    const HidDescriptor d = Parse(kVendorDescriptor);
    EXPECT_TRUE(d.usesReportIds());
    ExpectField(d, 0xFF02, 0xFD, {5, 0, 8, 522, 0, 255, false, true, 522});
    ExpectField(d, 0xFF02, 0xFB, {6, 0, 32, 1, 0, 0xFFFFFFFFll, false, false, 6});
    ExpectField(d, 0xFF02, 0xFC, {6, 32, 8, 2, 0, 0xFFFFFFFFll, false, false, 6});
    EXPECT_EQ(d.feature(0xFF02, 0x10), nullptr) << "input usages are not features";
    EXPECT_EQ(d.feature(0x0000, 0xFD), nullptr);
    EXPECT_EQ(d.features().size(), 3u);

    EXPECT_EQ(d.reportLength(ReportType::Input, 5), 64u);
    EXPECT_EQ(d.reportLength(ReportType::Feature, 5), 522u);
    EXPECT_EQ(d.reportLength(ReportType::Feature, 6), 6u);
    EXPECT_EQ(d.reportLength(ReportType::Input, 6), std::nullopt);
    EXPECT_EQ(d.reportLength(ReportType::Output, 5), std::nullopt);

    EXPECT_TRUE(d.hasTopLevelCollectionOnPage(0xFF02));
    EXPECT_FALSE(d.hasTopLevelCollectionOnPage(0xFF00));
}

TEST(HidDescriptorGolden, NoReportIdsAndLocalStateClearedAfterMainItem) {
    const Bytes bytes = {
        0x06, 0x00, 0xFF,  // Usage Page FF00
        0x09, 0x01,        // Usage 01
        0xA1, 0x01,        // Collection (Application)
        0x09, 0x20,        //   Usage 20
        0x75, 0x08,        //   Report Size 8
        0x95, 0x01,        //   Report Count 1
        0xB1, 0x02,        //   Feature (Data, Variable)
        0x75, 0x04,        //   Report Size 4
        0xB1, 0x03,        //   Feature (Constant): padding, must not reuse usage 20
        0x09, 0x21,        //   Usage 21
        0x75, 0x0C,        //   Report Size 12
        0xB1, 0x02,        //   Feature (Data, Variable)
        0x09, 0x30,        //   Usage 30
        0x75, 0x08,        //   Report Size 8
        0x95, 0x03,        //   Report Count 3
        0x91, 0x02,        //   Output (Data, Variable)
        0xC0,              // End Collection
    };
    const HidDescriptor d = Parse(bytes);
    EXPECT_FALSE(d.usesReportIds());
    ExpectField(d, 0xFF00, 0x20, {0, 0, 8, 1, 0, 0, false, false, 3});
    ExpectField(d, 0xFF00, 0x21, {0, 12, 12, 1, 0, 0, false, false, 3});
    EXPECT_EQ(d.features().size(), 2u);
    EXPECT_EQ(d.reportLength(ReportType::Feature, 0), 3u);
    EXPECT_EQ(d.reportLength(ReportType::Output, 0), 3u);
    EXPECT_TRUE(d.hasTopLevelCollectionOnPage(0xFF00));
}

TEST(HidDescriptorGolden, UsageMinimumMaximum) {
    const Bytes bytes = {
        0x06, 0x01, 0xFF,  // Usage Page FF01
        0x09, 0x01,        // Usage 01
        0xA1, 0x01,        // Collection (Application)
        0x85, 0x02,        //   Report ID 2
        0x19, 0x40,        //   Usage Minimum 40
        0x29, 0x43,        //   Usage Maximum 43
        0x25, 0x0F,        //   Logical Maximum 15
        0x75, 0x04,        //   Report Size 4
        0x95, 0x04,        //   Report Count 4
        0xB1, 0x02,        //   Feature (Data, Variable): one nibble per usage
        0x29, 0x52,        //   Usage Maximum 52 (written before the minimum)
        0x19, 0x50,        //   Usage Minimum 50
        0x75, 0x08,        //   Report Size 8
        0x95, 0x02,        //   Report Count 2
        0xB1, 0x00,        //   Feature (Data, Array): all three select into the same two bytes
        0x09, 0x60,        //   Usage 60
        0x19, 0x61,        //   Usage Minimum 61
        0x29, 0x62,        //   Usage Maximum 62
        0x95, 0x05,        //   Report Count 5
        0xB1, 0x02,        //   Feature (Data, Variable): 60, 61, then 62 takes the rest
        0xC0,              // End Collection
    };
    const HidDescriptor d = Parse(bytes);
    for (uint16_t u = 0x40; u <= 0x43; ++u)
        ExpectField(d, 0xFF01, u, {2, 4u * (u - 0x40), 4, 1, 0, 15, false, false, 9});
    EXPECT_EQ(d.feature(0xFF01, 0x44), nullptr);
    for (uint16_t u = 0x50; u <= 0x52; ++u)
        ExpectField(d, 0xFF01, u, {2, 16, 8, 2, 0, 15, false, true, 9});
    ExpectField(d, 0xFF01, 0x60, {2, 32, 8, 1, 0, 15, false, false, 9});
    ExpectField(d, 0xFF01, 0x61, {2, 40, 8, 1, 0, 15, false, false, 9});
    ExpectField(d, 0xFF01, 0x62, {2, 48, 8, 3, 0, 15, false, false, 9});
    EXPECT_EQ(d.reportLength(ReportType::Feature, 2), 9u);
}

TEST(HidDescriptorGolden, PushPopAndLogicalSignedness) {
    const Bytes bytes = {
        0x06, 0x00, 0xFF,              // Usage Page FF00
        0x09, 0x01,                    // Usage 01
        0xA1, 0x01,                    // Collection (Application)
        0x85, 0x01,                    //   Report ID 1
        0x15, 0x80,                    //   Logical Minimum -128
        0x25, 0x7F,                    //   Logical Maximum 127
        0x75, 0x08,                    //   Report Size 8
        0x95, 0x01,                    //   Report Count 1
        0x09, 0x10,                    //   Usage 10
        0xB1, 0x02,                    //   Feature (Data, Variable)
        0xA4,                          //   Push
        0x85, 0x02,                    //     Report ID 2
        0x06, 0x01, 0xFF,              //     Usage Page FF01
        0x15, 0x00,                    //     Logical Minimum 0
        0x25, 0xFF,                    //     Logical Maximum FF: unsigned since the minimum is 0
        0x75, 0x10,                    //     Report Size 16
        0x09, 0x11,                    //     Usage 11
        0xB1, 0x02,                    //     Feature (Data, Variable)
        0x16, 0x00, 0x80,              //     Logical Minimum -32768
        0x26, 0xFF, 0x7F,              //     Logical Maximum 32767
        0x09, 0x12,                    //     Usage 12
        0xB1, 0x02,                    //     Feature (Data, Variable)
        0x17, 0xFF, 0xFF, 0xFF, 0xFF,  // Logical Minimum -1
        0x27, 0xFE, 0xFF, 0xFF, 0xFF,  // Logical Maximum -2 (signed because the minimum is)
        0x09, 0x13,                    //     Usage 13
        0xB1, 0x02,                    //     Feature (Data, Variable)
        0xB4,                          //   Pop: back to report 1, page FF00, 8 bits, -128..127
        0x09, 0x14,                    //   Usage 14
        0xB1, 0x02,                    //   Feature (Data, Variable)
        0xC0,                          // End Collection
    };
    const HidDescriptor d = Parse(bytes);
    ExpectField(d, 0xFF00, 0x10, {1, 0, 8, 1, -128, 127, true, false, 2});
    ExpectField(d, 0xFF01, 0x11, {2, 0, 16, 1, 0, 255, false, false, 6});
    ExpectField(d, 0xFF01, 0x12, {2, 16, 16, 1, -32768, 32767, true, false, 6});
    ExpectField(d, 0xFF01, 0x13, {2, 32, 16, 1, -1, -2, true, false, 6});
    ExpectField(d, 0xFF00, 0x14, {1, 8, 8, 1, -128, 127, true, false, 2});
    EXPECT_EQ(d.feature(0xFF01, 0x14), nullptr);
}

TEST(HidDescriptorGolden, ExtendedUsagesCarryTheirOwnPage) {
    const Bytes bytes = {
        0x05, 0x01,                    // Usage Page 01
        0x0B, 0x05, 0x00, 0x30, 0xFF,  // Usage FF30:0005
        0xA1, 0x01,                    // Collection (Application)
        0x0B, 0x07, 0x00, 0x01, 0xFF,  //   Usage FF01:0007
        0x09, 0x08,                    //   Usage 08 on the current page 01
        0x75, 0x08,                    //   Report Size 8
        0x95, 0x02,                    //   Report Count 2
        0xB1, 0x02,                    //   Feature (Data, Variable)
        0xA1, 0x01,                    //   Collection (Application), nested: not top level
        0x06, 0x00, 0xFF,              //     Usage Page FF00
        0x09, 0x01,                    //     Usage 01
        0xA1, 0x01,                    //     Collection (Application)
        0xC0, 0xC0,                    //   End Collection x2
        0xC0,                          // End Collection
    };
    const HidDescriptor d = Parse(bytes);
    ExpectField(d, 0xFF01, 0x07, {0, 0, 8, 1, 0, 0, false, false, 2});
    ExpectField(d, 0x0001, 0x08, {0, 8, 8, 1, 0, 0, false, false, 2});
    EXPECT_EQ(d.feature(0x0001, 0x07), nullptr);
    EXPECT_TRUE(d.hasTopLevelCollectionOnPage(0xFF30));
    EXPECT_FALSE(d.hasTopLevelCollectionOnPage(0x0001));
    EXPECT_FALSE(d.hasTopLevelCollectionOnPage(0xFF00));
}

TEST(HidDescriptorGolden, OnlyApplicationCollectionsCountAsTopLevel) {
    const Bytes bytes = {
        0x06, 0x30, 0xFF,  // Usage Page FF30
        0x09, 0x01,        // Usage 01
        0xA1, 0x00,        // Collection (Physical)
        0xC0,              // End Collection
    };
    EXPECT_FALSE(Parse(bytes).hasTopLevelCollectionOnPage(0xFF30));
}

TEST(HidDescriptorGolden, DescriptorOfExactlyTheSizeLimitIsAccepted) {
    Bytes bytes;
    while (bytes.size() < HidDescriptor::kMaxDescriptorBytes)
        bytes.insert(bytes.end(), {0x05, 0x01});
    ASSERT_EQ(bytes.size(), HidDescriptor::kMaxDescriptorBytes);
    EXPECT_NO_THROW(Parse(bytes));
}

TEST(HidDescriptorGolden, ReportOfExactlyTheSizeLimitIsAccepted) {
    // 12288 + 4095 bytes: the kernel's buffer less the report ID byte.
    const Bytes bytes = {0x85, 0x01, 0x09, 0x01, 0x75, 0x08, 0x96, 0x00,
                         0x30, 0xB1, 0x00, 0x96, 0xFF, 0x0F, 0xB1, 0x02};
    const HidDescriptor d = Parse(bytes);
    EXPECT_EQ(d.reportLength(ReportType::Feature, 1), HidDescriptor::kMaxReportBytes);
}

// What the kernel accepts must not hide a monitor: each descriptor here is one the kernel binds,
// though it bends the rules, and the layout read from it is checked.
struct AcceptedCase {
    const char* name;
    Bytes bytes;
    std::function<void(const HidDescriptor&)> check;
};

// Usage Page FF00, Usage 01, Collection (Application), `body`, End Collection.
Bytes InVendorCollection(std::initializer_list<uint8_t> body) {
    Bytes out = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    out.insert(out.end(), body);
    out.push_back(0xC0);
    return out;
}

Bytes Repeat(std::initializer_list<uint8_t> unit, size_t times, Bytes tail = {}) {
    Bytes out;
    for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// A one-byte value alone in unnumbered report 0.
const Expected kOneByte = {0, 0, 8, 1, 0, 0, false, false, 1};

const AcceptedCase kAcceptedCases[] = {
    {"ReservedItemsAreSkipped",
     InVendorCollection({0x0C, 0x0D, 0xAA, 0x09, 0x20, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}),
     [](const HidDescriptor& d) { ExpectField(d, 0xFF00, 0x20, kOneByte); }},
    {"UnknownMainItemIsSkippedAndEndsTheUsages",
     InVendorCollection(
         {0x09, 0x20, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0x09, 0x21, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         EXPECT_EQ(d.feature(0xFF00, 0x20), nullptr);
         ExpectField(d, 0xFF00, 0x21, {0, 8, 8, 1, 0, 0, false, false, 2});
     }},
    {"UnknownLocalItemIsSkipped",
     InVendorCollection({0x09, 0x20, 0x69, 0x01, 0xE8, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}),
     [](const HidDescriptor& d) { ExpectField(d, 0xFF00, 0x20, kOneByte); }},
    {"ReportIdAfterDataThatHadNone",
     InVendorCollection({0x75, 0x08, 0x95, 0x01, 0x09, 0x20, 0xB1, 0x02, 0x85, 0x01, 0x09, 0x21,
                         0x95, 0x02, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         EXPECT_TRUE(d.usesReportIds());
         ExpectField(d, 0xFF00, 0x20, {0, 0, 8, 1, 0, 0, false, false, 1});
         ExpectField(d, 0xFF00, 0x21, {1, 0, 8, 2, 0, 0, false, false, 2});
     }},
    {"PopRestoresNoReportId",
     InVendorCollection({0xA4, 0x85, 0x01, 0xB4, 0x75, 0x08, 0x95, 0x01, 0x09, 0x20, 0xB1, 0x02}),
     [](const HidDescriptor& d) { ExpectField(d, 0xFF00, 0x20, kOneByte); }},
    {"UsageMinimumAboveMaximumNamesNothing",
     InVendorCollection(
         {0x19, 0x05, 0x29, 0x04, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0x09, 0x20, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         EXPECT_EQ(d.feature(0xFF00, 0x04), nullptr);
         EXPECT_EQ(d.feature(0xFF00, 0x05), nullptr);
         ExpectField(d, 0xFF00, 0x20, {0, 8, 8, 1, 0, 0, false, false, 2});
     }},
    {"UnpairedUsageMinimumIsDropped",
     InVendorCollection(
         {0x19, 0x01, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0x29, 0x03, 0x09, 0x20, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         for (uint16_t u = 0; u <= 3; ++u) EXPECT_EQ(d.feature(0xFF00, u), nullptr) << u;
         ExpectField(d, 0xFF00, 0x20, {0, 8, 8, 1, 0, 0, false, false, 2});
     }},
    {"UsageRangeAcrossPages",
     InVendorCollection({0x1B, 0xFE, 0xFF, 0x00, 0xFF, 0x2B, 0x01, 0x00, 0x01, 0xFF, 0x75, 0x08,
                         0x95, 0x04, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         ExpectField(d, 0xFF00, 0xFFFE, {0, 0, 8, 1, 0, 0, false, false, 4});
         ExpectField(d, 0xFF00, 0xFFFF, {0, 8, 8, 1, 0, 0, false, false, 4});
         ExpectField(d, 0xFF01, 0x0000, {0, 16, 8, 1, 0, 0, false, false, 4});
         ExpectField(d, 0xFF01, 0x0001, {0, 24, 8, 1, 0, 0, false, false, 4});
     }},
    {"UsageRangeBeyondTheCapIsCut",
     InVendorCollection(
         {0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x00}),
     [](const HidDescriptor& d) {
         ExpectField(d, 0xFF00, 0x0000, {0, 0, 8, 1, 0, 255, false, true, 1});
         const uint16_t lastKept = HidDescriptor::kMaxUsages - 1;
         ExpectField(d, 0xFF00, lastKept, {0, 0, 8, 1, 0, 255, false, true, 1});
         EXPECT_EQ(d.feature(0xFF00, HidDescriptor::kMaxUsages), nullptr);
     }},
    {"UsagePageAfterItsUsage",
     // Usage 20 (page 0 so far), Usage Page FF01: the page reaches the usage at the main item.
     // Usage Page FF02, Usage 30, Usage Page FF03, Usage 31: 31 has the last page, so 30 keeps
     // its own.
     InVendorCollection({0x05, 0x00, 0x09, 0x20, 0x06, 0x01, 0xFF, 0x75, 0x08,
                         0x95, 0x01, 0xB1, 0x02, 0x06, 0x02, 0xFF, 0x09, 0x30,
                         0x06, 0x03, 0xFF, 0x09, 0x31, 0x95, 0x02, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         ExpectField(d, 0xFF01, 0x20, {0, 0, 8, 1, 0, 0, false, false, 3});
         EXPECT_EQ(d.feature(0x0000, 0x20), nullptr);
         ExpectField(d, 0xFF02, 0x30, {0, 8, 8, 1, 0, 0, false, false, 3});
         ExpectField(d, 0xFF03, 0x31, {0, 16, 8, 1, 0, 0, false, false, 3});
     }},
    {"OnlyTheFirstDelimitedUsageSetCounts",
     InVendorCollection({0xA9, 0x01, 0x09, 0x40, 0x09, 0x41, 0xA9, 0x00, 0xA9, 0x01, 0x09, 0x50,
                         0x19, 0x51, 0x29, 0x52, 0xA9, 0x00, 0x75, 0x08, 0x95, 0x03, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         // 41 is the last usage, so it takes the remaining two elements.
         ExpectField(d, 0xFF00, 0x40, {0, 0, 8, 1, 0, 0, false, false, 3});
         ExpectField(d, 0xFF00, 0x41, {0, 8, 8, 2, 0, 0, false, false, 3});
         for (uint16_t u = 0x50; u <= 0x52; ++u) EXPECT_EQ(d.feature(0xFF00, u), nullptr) << u;
     }},
    {"LogicalMaximumSignedAsTheMinimumWasAtIt",
     // Maximum FF while the minimum is 0: 255. The minimum -1 that follows does not change it.
     InVendorCollection({0x25, 0xFF, 0x15, 0xFF, 0x09, 0x20, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}),
     [](const HidDescriptor& d) {
         ExpectField(d, 0xFF00, 0x20, {0, 0, 8, 1, -1, 255, true, false, 1});
     }},
    {"UsagePageAbove16BitsKeepsItsLowHalf",
     InVendorCollection(
         {0x07, 0x30, 0xFF, 0x01, 0x00, 0x09, 0x20, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}),
     [](const HidDescriptor& d) { ExpectField(d, 0xFF30, 0x20, kOneByte); }},
    {"DeeplyNestedCollections", Repeat({0xA1, 0x00}, 100, Repeat({0xC0}, 100)),
     [](const HidDescriptor& d) { EXPECT_TRUE(d.features().empty()); }},
};

class HidDescriptorAccepted : public testing::TestWithParam<AcceptedCase> {};

TEST_P(HidDescriptorAccepted, IsParsedWithItsLayout) {
    const AcceptedCase& c = GetParam();
    std::optional<HidDescriptor> d;
    try {
        d = Parse(c.bytes);
    } catch (const std::invalid_argument& e) {
        FAIL() << e.what();
    }
    c.check(*d);
}

INSTANTIATE_TEST_SUITE_P(HidDescriptor, HidDescriptorAccepted, testing::ValuesIn(kAcceptedCases),
                         [](const testing::TestParamInfo<AcceptedCase>& info) {
                             return std::string(info.param.name);
                         });

// Other data in a report, named or not, makes a field share it; constant padding does not.
TEST(HidDescriptorGolden, FieldsKnowWhetherOtherDataSharesTheirReport) {
    const Bytes bytes = InVendorCollection({
        0x75, 0x08, 0x95, 0x01, 0x85, 0x01, 0x09, 0x20, 0xB1, 0x02,
        0x09, 0x21, 0xB1, 0x02,                                      // report 1: 20, 21
        0x85, 0x02, 0x09, 0x20, 0xB1, 0x02, 0x09, 0x22, 0xB1, 0x02,  // report 2: 20 again, 22
        0x85, 0x03, 0x09, 0x23, 0xB1, 0x02, 0xB1, 0x02,              // report 3: 23, unnamed
        0x85, 0x04, 0x09, 0x24, 0xB1, 0x02, 0xB1, 0x03,              // report 4: 24, padding
        0x85, 0x05, 0x19, 0x25, 0x29, 0x26, 0x95, 0x02, 0xB1, 0x00,  // report 5: an array
    });
    const HidDescriptor d = Parse(bytes);
    for (uint16_t usage : {0x20, 0x21, 0x22, 0x23})
        EXPECT_TRUE(d.feature(0xFF00, usage)->sharesReport) << usage;
    for (uint16_t usage : {0x24, 0x25, 0x26})
        EXPECT_FALSE(d.feature(0xFF00, usage)->sharesReport) << usage;
}

struct HostileCase {
    const char* name;
    Bytes bytes;
    const char* message;  // must appear in the exception text
};

class HidDescriptorHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(HidDescriptorHostile, IsRejectedWithMessage) {
    const HostileCase& c = GetParam();
    try {
        Parse(c.bytes);
        FAIL() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
}

// What the kernel refuses too, and what would cost unbounded time or memory.
const HostileCase kHostileCases[] = {
    {"Empty", {}, "empty"},
    {"TruncatedItem", {0x05, 0x01, 0x06, 0x02}, "truncated item"},
    {"TruncatedFourByteItem", {0x27, 0xFF, 0xFF, 0xFF}, "truncated item"},
    {"LongItem", {0xFE, 0x02, 0xF0, 0xAA, 0xBB}, "long item"},
    {"AnyItemWithTag15IsLong", {0xF0}, "long item"},
    {"UnknownGlobalTag", {0xC4}, "unknown global item tag"},
    {"ReportIdZero", {0x85, 0x00}, "report ID 0"},
    {"ReportId256", {0x86, 0x00, 0x01}, "report ID 256 above 255"},
    {"HugeReportCount", {0x97, 0xFF, 0xFF, 0xFF, 0xFF}, "Report Count 4294967295"},
    {"ReportCountAboveTheKernels", {0x96, 0x01, 0x30}, "Report Count 12289 above 12288"},
    {"HugeReportSize", {0x77, 0x00, 0x00, 0x00, 0x01}, "Report Size 16777216"},
    {"ReportOverSizeCap",
     {0x85, 0x07, 0x75, 0x08, 0x96, 0x00, 0x30, 0xB1, 0x02, 0x96, 0x00, 0x10, 0xB1, 0x02},
     "report 7 longer than 16383 bytes"},
    {"PopWithoutPush", {0xB4}, "Pop without Push"},
    {"PushTooDeep", Repeat({0xA4}, HidDescriptor::kMaxPushDepth + 1), "Push nested deeper"},
    {"EndCollectionWithoutCollection", {0xC0}, "End Collection without open Collection"},
    {"CollectionNotClosed", {0x09, 0x01, 0xA1, 0x01}, "1 collection(s) not closed"},
    {"NestedDelimiter", {0xA9, 0x01, 0xA9, 0x01}, "nested Delimiter"},
    {"DelimiterCloseWithoutOpen", {0xA9, 0x00}, "Delimiter close without open"},
    {"DelimiterNotClosed", {0xA9, 0x01, 0x09, 0x01}, "Delimiter not closed"},
    {"TooManyUsagesBeforeMainItem", Repeat({0x09, 0x01}, HidDescriptor::kMaxUsages + 1),
     "usages before one main item"},
    // Nine array features each selecting a 4096-usage range: cheap to write, but every
    // declaration costs a lookup, so the total is bounded even when the usages repeat.
    {"TooManyFeatureUsages",
     Repeat({0x1A, 0x00, 0x00, 0x2A, 0xFF, 0x0F, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x00}, 9),
     "feature usages"},
    {"OverSizeCap", Bytes(HidDescriptor::kMaxDescriptorBytes + 1, 0xA4),
     "exceeds the 64 KiB limit"},
};

INSTANTIATE_TEST_SUITE_P(HidDescriptor, HidDescriptorHostile, testing::ValuesIn(kHostileCases),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(HidDescriptorHostileInput, NullDataIsRejected) {
    EXPECT_THROW(HidDescriptor::parse(nullptr, 4), std::invalid_argument);
}

TEST(HidDescriptorHostileInput, EveryTruncationOfAGoldenDescriptorIsRejected) {
    // Once the collection is open, cutting anywhere leaves a partial item or an open collection.
    const size_t collectionOpened = 7;
    for (size_t n = collectionOpened; n < kVendorDescriptor.size(); ++n) {
        const Bytes cut(kVendorDescriptor.begin(), kVendorDescriptor.begin() + n);
        EXPECT_THROW(Parse(cut), std::invalid_argument) << "length " << n;
    }
}

}  // namespace
}  // namespace screenio::hid
