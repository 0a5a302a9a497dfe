// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestPackage.h"
#include "package/Blob.h"

namespace {

using fwu::Sha256;
using fwu::kfw::Blob;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBlob;

const char kEmptySha256[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const char kAbcSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(Blob, NewBlobHashDescribesNoBytes) {
    const Blob blob;
    EXPECT_EQ(blob.size(), 0u);
    EXPECT_EQ(blob.hash().toString(), kEmptySha256);
    EXPECT_EQ(blob.name(), "e3b0c44");
    EXPECT_FALSE(blob.id().empty());
}

TEST(Blob, SetBytesRecomputesHashAndNameFallsBackToIt) {
    Blob blob;
    const uint8_t abc[] = {'a', 'b', 'c'};
    blob.setBytes(abc, sizeof abc);
    EXPECT_EQ(blob.size(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob.bytes()), blob.size()), "abc");
    EXPECT_EQ(blob.hash().toString(), kAbcSha256);
    EXPECT_EQ(blob.name(), "ba7816b");

    blob.setName("scaler.bin");
    EXPECT_EQ(blob.name(), "scaler.bin");
    blob.setName("");
    EXPECT_EQ(blob.name(), "ba7816b");

    // Both setters keep the hash in step with the bytes, back to no bytes as well.
    blob.setBytes(std::vector<uint8_t>{'x'});
    EXPECT_EQ(blob.hash(), Sha256::calculate(reinterpret_cast<const uint8_t*>("x"), 1));
    // The fallback was never stored: it follows the new bytes.
    EXPECT_EQ(blob.name(), blob.hash().toString().substr(0, 7));
    EXPECT_NE(blob.name(), "ba7816b");
    blob.setBytes(nullptr, 0);
    EXPECT_EQ(blob.size(), 0u);
    EXPECT_EQ(blob.hash().toString(), kEmptySha256);
}

TEST(Blob, EqualComparesContentOnly) {
    const auto base = makeBlob({1, 2, 3, 4}, "a", "/a");

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* name;
        const char* path;
        bool equal;
    };
    const Case cases[] = {
        {"same bytes, other name and path", {1, 2, 3, 4}, "b", "/b", true},
        {"same bytes, no name", {1, 2, 3, 4}, "", "", true},
        {"one byte differs", {1, 2, 3, 5}, "a", "/a", false},
        {"shorter", {1, 2, 3}, "a", "/a", false},
        {"longer", {1, 2, 3, 4, 0}, "a", "/a", false},
        {"empty", {}, "a", "/a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto other = makeBlob(c.bytes, c.name, c.path);
        other->setID(fixedID(1));
        EXPECT_EQ(base->equal(other.get()), c.equal);
        EXPECT_EQ(other->equal(base.get()), c.equal);
    }
    EXPECT_FALSE(base->equal(nullptr));
    EXPECT_TRUE(Blob().equal(makeBlob({}).get())) << "two empty blobs hold the same content";
}

TEST(Blob, ValidWhileItHasAnID) {
    Blob blob;
    EXPECT_TRUE(blob.isValid(nullptr));
    blob.setID(fwu::Uuid());
    EXPECT_FALSE(blob.isValid(nullptr));
}

}  // namespace
