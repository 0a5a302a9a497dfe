// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "package/KfwFile.h"
#include "package/TransferDataAction.h"

namespace fwu::test::v1img {

struct ExpectedItem {
    std::string fileName;
    uint32_t estimatedTime;
    std::vector<uint8_t> bytes;
};

using VersionPairs = std::vector<std::pair<uint32_t, uint32_t>>;

inline ::testing::AssertionResult hasVersions(const kfw::DeviceVersionList& list,
                                              const VersionPairs& expected) {
    if (list.items().size() != expected.size())
        return ::testing::AssertionFailure()
               << list.items().size() << " versions, expected " << expected.size();
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& got = list.items()[i];
        if (got.deviceID != expected[i].first || got.version.value() != expected[i].second)
            return ::testing::AssertionFailure()
                   << "entry " << i << " is 0x" << std::hex << got.deviceID << "=" << std::dec
                   << got.version.value() << ", expected 0x" << std::hex << expected[i].first << "="
                   << std::dec << expected[i].second;
    }
    return ::testing::AssertionSuccess();
}

// A bundle read from a legacy file: conditions on the five devices, all "equal", and one
// transfer action per item, in order.
inline void expectLegacyBundle(const kfw::KfwFile& file, size_t index,
                               const VersionPairs& conditions,
                               const std::vector<ExpectedItem>& items) {
    SCOPED_TRACE("bundle " + std::to_string(index));
    const kfw::Bundle* bundle = file[index];
    ASSERT_NE(bundle, nullptr);
    ASSERT_EQ(bundle->conditions().size(), conditions.size());
    for (size_t i = 0; i < conditions.size(); ++i) {
        const auto& c = bundle->conditions()[i];
        EXPECT_EQ(c.deviceVersion.deviceID, conditions[i].first) << i;
        EXPECT_EQ(c.deviceVersion.version.value(), conditions[i].second) << i;
        EXPECT_EQ(c.op, Version::OperatorEqual) << i;
    }
    ASSERT_EQ(bundle->actionIDs().size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const auto* action =
            dynamic_cast<const kfw::TransferDataAction*>(file.findAction(bundle->actionIDs()[i]));
        ASSERT_NE(action, nullptr) << "item " << i;
        EXPECT_EQ(action->fileName(), items[i].fileName) << "item " << i;
        EXPECT_EQ(action->estimatedTime(), items[i].estimatedTime) << "item " << i;
        const kfw::Blob* blob = file.findBlob(action->blobID());
        ASSERT_NE(blob, nullptr) << "item " << i;
        EXPECT_EQ(std::vector<uint8_t>(blob->bytes(), blob->bytes() + blob->size()), items[i].bytes)
            << "item " << i;
    }
}

}  // namespace fwu::test::v1img
