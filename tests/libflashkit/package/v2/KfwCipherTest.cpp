// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "libflashkit/core/ThrowsFwuException.h"
#include "package/v2/KfwCipher.h"
#include "package/v2/KfwKeys.h"

namespace {

using fwu::kfw::FileVersion;
using fwu::test::throwsFwuException;
using Bytes = std::vector<uint8_t>;
namespace v2 = fwu::kfw::v2;

TEST(V2Keys, FixedValuesHaveTheirSizesAndDiffer) {
    EXPECT_EQ(v2::MagicNumber(),
              (Bytes{'K', 'O', 'R', 'U', 'k', 'f', 'w', '2', 0x20, 0x2F, 0x2D, 0x7D}));
    EXPECT_EQ(v2::GetKey().size(), 32u);
    std::set<Bytes> masks;
    for (uint32_t minor : {0u, 1u, 2u}) {
        const Bytes& mask = v2::IVSource(FileVersion(2, minor));
        EXPECT_EQ(mask.size(), 16u);
        masks.insert(mask);
    }
    EXPECT_EQ(masks.size(), 3u);  // a mask shared between versions would not tell them apart
    for (const FileVersion& v :
         {FileVersion(2, 3), FileVersion(1, 0), FileVersion(3, 0), FileVersion(0, 0)})
        EXPECT_TRUE(throwsFwuException([&] { v2::IVSource(v); },
                                       fwu::PackageError::kUnsupportedFileVersion));
}

TEST(V2Cipher, InitialVectorMaskingIsItsOwnInverse) {
    const Bytes iv{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const Bytes masked = v2::EncodeInitialVector(FileVersion(2, 1), iv);
    EXPECT_NE(masked, iv);
    EXPECT_NE(masked, v2::EncodeInitialVector(FileVersion(2, 0), iv));
    EXPECT_EQ(v2::DecodeInitialVector(FileVersion(2, 1), masked), iv);
    for (size_t size : {0u, 15u, 17u, 32u})
        EXPECT_TRUE(
            throwsFwuException([&] { v2::EncodeInitialVector(FileVersion(2, 0), Bytes(size)); },
                               fwu::PackageError::kInvalidIv))
            << size;
}

TEST(V2Cipher, EncryptsWholeBlocksInPlaceAndRefusesPartialOnes) {
    const Bytes iv(16, 0x11);
    Bytes plain(48);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i);
    Bytes data = plain;
    ASSERT_TRUE(v2::EncodeBytes(data.data(), data.size(), iv));
    EXPECT_NE(data, plain);
    // CBC: equal plain blocks at different positions give different cipher blocks.
    Bytes zeros(32, 0);
    ASSERT_TRUE(v2::EncodeBytes(zeros.data(), zeros.size(), iv));
    EXPECT_NE(Bytes(zeros.begin(), zeros.begin() + 16), Bytes(zeros.begin() + 16, zeros.end()));
    // Another IV gives another cipher text.
    Bytes other = plain;
    ASSERT_TRUE(v2::EncodeBytes(other.data(), other.size(), Bytes(16, 0x12)));
    EXPECT_NE(other, data);

    ASSERT_TRUE(v2::DecodeBytes(data.data(), data.size(), iv));
    EXPECT_EQ(data, plain);

    for (size_t size : {1u, 15u, 17u, 40u}) {
        Bytes odd(size, 0x5A);
        EXPECT_FALSE(v2::EncodeBytes(odd.data(), odd.size(), iv)) << size;
        EXPECT_FALSE(v2::DecodeBytes(odd.data(), odd.size(), iv)) << size;
        EXPECT_EQ(odd, Bytes(size, 0x5A));
    }
}

}  // namespace
