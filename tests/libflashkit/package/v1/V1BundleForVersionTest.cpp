// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "libflashkit/package/TestPackage.h"
#include "package/v1/BundlePriority.h"
#include "package/v1/KfwFile.h"

namespace fwu::kfw::v1 {
namespace {

using namespace test::pkg;

// The monitor of every case: main system at version 5, sub controller at 7, in that order.
const DeviceVersionList kMonitor = makeVersions({{0x100, 5}, {0x101, 7}});

TEST(V1BundlePriority, ScoresByThePositionOfTheFixedDevice) {
    struct Case {
        const char* name;
        std::vector<Condition> conditions;
        std::optional<uint32_t> score;  // none: not a candidate
    };
    const Case cases[] = {
        {"first device fixed", {{0x100, 5, Version::OperatorEqual}}, 0x80000000u},
        {"second device fixed", {{0x101, 7, Version::OperatorEqual}}, 0x40000000u},
        {"both fixed",
         {{0x101, 7, Version::OperatorEqual}, {0x100, 5, Version::OperatorEqual}},
         0xC0000000u},
        {"empty version only", {{0x100, 0, Version::OperatorEqual}}, 1u},
        {"fixed and empty",
         {{0x100, 5, Version::OperatorEqual}, {0x101, 0, Version::OperatorEqual}},
         0x80000001u},
        {"device not in the list", {{0x500, 9, Version::OperatorEqual}}, 0u},
        {"no conditions", {}, 0u},
        {"wrong version", {{0x100, 6, Version::OperatorEqual}}, std::nullopt},
        {"one of two wrong",
         {{0x100, 5, Version::OperatorEqual}, {0x101, 8, Version::OperatorEqual}},
         std::nullopt},
        // The stored operator does not count: the legacy selection always asks for equality.
        {"operator ignored", {{0x100, 3, Version::OperatorGreaterEqual}}, std::nullopt},
    };
    for (const Case& c : cases) {
        auto bundle = makeBundle({}, c.conditions);
        const auto priority = BundlePriority::evaluate(bundle.get(), kMonitor);
        ASSERT_EQ(priority.has_value(), c.score.has_value()) << c.name;
        if (!priority) continue;
        EXPECT_EQ(priority->score, *c.score) << c.name;
        EXPECT_EQ(priority->bundle, bundle.get()) << c.name;
    }
}

TEST(V1BundlePriority, EmptyMonitorVersionMatchesAnyCondition) {
    auto bundle = makeBundle({}, {{0x101, 9, Version::OperatorEqual}});
    const auto priority =
        BundlePriority::evaluate(bundle.get(), makeVersions({{0x100, 5}, {0x101, 0}}));
    ASSERT_TRUE(priority.has_value());
    EXPECT_EQ(priority->score, 0x40000000u);
}

TEST(V1BundlePriority, PositionsBeyond31WrapAround) {
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (uint32_t j = 0; j < 34; ++j) entries.push_back({0x1000 + j, 1});
    auto bundle = makeBundle({}, {{0x1000 + 33, 1, Version::OperatorEqual}});
    const auto priority = BundlePriority::evaluate(bundle.get(), makeVersions(entries));
    ASSERT_TRUE(priority.has_value());
    EXPECT_EQ(priority->score, 0x40000000u);  // position 33 counts as position 1
}

// Bundles are told apart by their estimated time, which the selection does not look at.
class V1BundleForVersion : public ::testing::Test {
protected:
    Bundle* add(const std::vector<Condition>& conditions) {
        return m_file.registerBundle(makeBundle({}, conditions, ++m_count));
    }
    Bundle* select(const DeviceVersionList* list = &kMonitor) const {
        return m_file.bundleForVersion(list);
    }
    KfwFile m_file;

private:
    uint32_t m_count = 0;
};

TEST_F(V1BundleForVersion, EarlierFixedDeviceWinsWhateverTheOrder) {
    Bundle* b = add({{0x101, 7, Version::OperatorEqual}});
    Bundle* a = add({{0x100, 5, Version::OperatorEqual}});
    EXPECT_EQ(select(), a);
    ASSERT_TRUE(m_file.swapBundleOrder(a->id(), b->id()));
    EXPECT_EQ(select(), a);
}

TEST_F(V1BundleForVersion, FixedVersionBeatsEmptyConditions) {
    Bundle* empty = add({{0x100, 0, Version::OperatorEqual}});
    Bundle* sub = add({{0x101, 7, Version::OperatorEqual}});
    EXPECT_EQ(select(), sub);
    ASSERT_TRUE(m_file.unregisterBundle(sub->id()));
    EXPECT_EQ(select(), empty);
}

TEST_F(V1BundleForVersion, NoCandidateGivesNull) {
    EXPECT_EQ(select(), nullptr);
    add({{0x100, 6, Version::OperatorEqual}});
    add({{0x101, 5, Version::OperatorEqual}});
    EXPECT_EQ(select(), nullptr);
}

TEST_F(V1BundleForVersion, EqualScoresGoToTheBundleStoredFirst) {
    Bundle* first = add({{0x101, 7, Version::OperatorEqual}});
    Bundle* second = add({{0x101, 7, Version::OperatorEqual}, {0x500, 3, Version::OperatorEqual}});
    EXPECT_EQ(select(), first);
    ASSERT_TRUE(m_file.swapBundleOrder(first->id(), second->id()));
    EXPECT_EQ(select(), second);
}

TEST_F(V1BundleForVersion, NullListCountsAsEmpty) {
    // Every condition is then ignored, so each bundle is a candidate with score 0.
    Bundle* first = add({{0x100, 6, Version::OperatorEqual}});
    add({});
    EXPECT_EQ(select(nullptr), first);
}

}  // namespace
}  // namespace fwu::kfw::v1
