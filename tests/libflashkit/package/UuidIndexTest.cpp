// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/Uuid.h"
#include "package/UuidIndex.h"

namespace {

using fwu::Uuid;
using fwu::kfw::UuidIndex;

struct Item {
    Uuid identity;
    const Uuid& id() const { return identity; }
};

// Both halves equal: every such ID lands on the same home slot, so lookups must walk the probe
// chain, wrapping around the end of the table.
Uuid collidingID(uint8_t n) {
    uint8_t bytes[16] = {};
    bytes[0] = bytes[8] = n;
    return Uuid::fromBytes(bytes);
}

TEST(UuidIndex, FindsEveryItemAlongLongProbeChains) {
    std::vector<std::unique_ptr<Item>> items;
    for (int n = 1; n <= 200; ++n)
        items.push_back(std::make_unique<Item>(Item{collidingID(uint8_t(n))}));
    UuidIndex<Item> index;
    index.build(items);
    for (const auto& item : items) EXPECT_EQ(index.find(item->id()), item.get());
    EXPECT_EQ(index.find(collidingID(0)), nullptr);
    EXPECT_EQ(index.find(collidingID(201)), nullptr);
}

TEST(UuidIndex, KeepsTheFirstOfRepeatedIDsAndForgetsEarlierBuilds) {
    std::vector<std::unique_ptr<Item>> items;
    items.push_back(std::make_unique<Item>(Item{collidingID(5)}));
    items.push_back(std::make_unique<Item>(Item{collidingID(5)}));
    items.push_back(std::make_unique<Item>(Item{Uuid()}));  // the empty ID is an ID like any
    UuidIndex<Item> index;
    EXPECT_EQ(index.find(Uuid()), nullptr) << "nothing before the first build";
    index.build(items);
    EXPECT_EQ(index.find(collidingID(5)), items[0].get());
    EXPECT_EQ(index.find(Uuid()), items[2].get());

    items.erase(items.begin());
    index.build(items);
    EXPECT_EQ(index.find(collidingID(5)), items[0].get());
    items.clear();
    index.build(items);
    EXPECT_EQ(index.find(collidingID(5)), nullptr);
}

}  // namespace
