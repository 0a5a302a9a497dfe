// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "TestPackage.h"
#include "core/CriticalSectionLocker.h"

namespace {

using fwu::Uuid;
using fwu::kfw::Blob;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::TestPackage;

// Two editors on one package. Both register the same shared images, so each register must scan
// and append as one step or an image would be held twice; each also adds and removes private
// images. One editor wraps its add-and-remove pair in the package lock to show that the
// operations nest under it.
TEST(KfwFileConcurrency, TwoEditorsKeepThePackageConsistent) {
    constexpr int kShared = 200;
    TestPackage file;
    std::vector<Uuid> held[2];

    auto editor = [&file, &held](int self) {
        for (int i = 0; i < kShared; ++i) {
            const Blob* shared = file.registerBlob(
                makeBlob({static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)}));
            held[self].push_back(shared ? shared->id() : Uuid());

            // Three bytes: never equal to a shared image or to the other editor's.
            auto own = makeBlob({0xF0, static_cast<uint8_t>(self), static_cast<uint8_t>(i)});
            if (self == 1) {
                fwu::CriticalSectionLocker lock(&file.mutex());
                const Uuid id = file.registerBlob(std::move(own))->id();
                EXPECT_TRUE(file.unregisterBlob(id));
            } else {
                const Uuid id = file.registerBlob(std::move(own))->id();
                EXPECT_TRUE(file.unregisterBlob(id));
            }
        }
    };
    std::thread first(editor, 0), second(editor, 1);
    first.join();
    second.join();

    ASSERT_EQ(file.blobs().size(), static_cast<size_t>(kShared));
    EXPECT_EQ(held[0], held[1]) << "both editors must get the one held image for each content";
    std::set<Uuid, bool (*)(const Uuid&, const Uuid&)> distinct(
        [](const Uuid& a, const Uuid& b) { return a.bytes() < b.bytes(); });
    for (const auto& blob : file.blobs()) {
        EXPECT_EQ(blob->size(), 2u);
        distinct.insert(blob->id());
        EXPECT_NE(file.findBlob(blob->id()), nullptr);
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kShared));
}

}  // namespace
