// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "V2Support.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::kfw::FileVersion;
using namespace fwu::test::v2;
namespace pkg = fwu::test::pkg;

// The canonical output split into its parts; canonical output is not encrypted, so the plain
// payload can be read directly.
struct Canonical {
    Bytes file;
    Bytes plain;  // digest, body, padding
    Bytes body;   // the msgpack body alone
    size_t padding = 0;
    msgpack::object_handle handle;
    const msgpack::object& root() const { return handle.get(); }
};

Canonical decode(const fwu::kfw::KfwFile& file) {
    Canonical c;
    c.file = write(file, 2);
    EXPECT_GE(c.file.size(), 64u);
    c.plain.assign(c.file.begin() + 32, c.file.end());
    size_t offset = 0;
    c.handle = msgpack::unpack(reinterpret_cast<const char*>(c.plain.data()) + 32,
                               c.plain.size() - 32, offset);
    c.body.assign(c.plain.begin() + 32, c.plain.begin() + 32 + static_cast<long>(offset));
    c.padding = c.plain.size() - 32 - offset;
    return c;
}

std::vector<std::string> keys(const msgpack::object& map) {
    EXPECT_EQ(map.type, msgpack::type::MAP);
    std::vector<std::string> out;
    for (uint32_t i = 0; i < map.via.map.size; ++i)
        out.push_back(map.via.map.ptr[i].key.as<std::string>());
    return out;
}

const msgpack::object& at(const msgpack::object& map, const std::string& key) {
    for (uint32_t i = 0; i < map.via.map.size; ++i)
        if (map.via.map.ptr[i].key.as<std::string>() == key) return map.via.map.ptr[i].val;
    throw std::runtime_error("no key " + key);
}

Uuid uuidAt(const msgpack::object& map, const std::string& key) {
    const msgpack::object& v = at(map, key);
    EXPECT_EQ(v.type, msgpack::type::BIN);
    EXPECT_EQ(v.via.bin.size, 16u);
    return Uuid::fromBytes(reinterpret_cast<const uint8_t*>(v.via.bin.ptr));
}

// The encoded bytes of every value stored under `key`, in body order. Keys are found as their
// exact fixstr encoding, which the test contents never contain elsewhere.
std::vector<Bytes> encodedValues(const Bytes& body, const std::string& key) {
    Bytes pattern{static_cast<uint8_t>(0xA0 | key.size())};
    pattern.insert(pattern.end(), key.begin(), key.end());
    std::vector<Bytes> values;
    for (auto it = body.begin();
         (it = std::search(it, body.end(), pattern.begin(), pattern.end())) != body.end();) {
        const size_t start = static_cast<size_t>(it - body.begin()) + pattern.size();
        size_t end = start;
        msgpack::unpack(reinterpret_cast<const char*>(body.data()), body.size(), end);
        values.emplace_back(body.begin() + static_cast<long>(start),
                            body.begin() + static_cast<long>(end));
        it = body.begin() + static_cast<long>(end);
    }
    return values;
}

// Registers the blobs in the given order; actions and bundles always in the same order.
void build(fwu::kfw::KfwFile& file, bool reverseBlobs) {
    file.products() = {"KM-24*"};
    file.targetVersion().push({1, Version(0x0102)});
    addProfile(file);
    std::vector<std::unique_ptr<fwu::kfw::Blob>> blobs;
    blobs.push_back(pkg::makeBlob({1, 2, 3}, "zeta.bin", "/a/zeta.bin"));
    blobs.push_back(pkg::makeBlob({4, 5}, "alpha.bin", "/b/alpha.bin"));
    blobs.push_back(pkg::makeBlob({6}, "alpha", "/c/alpha"));
    if (reverseBlobs) std::reverse(blobs.begin(), blobs.end());
    std::vector<Uuid> ids;
    for (auto& blob : blobs) ids.push_back(file.registerBlob(std::move(blob))->id());
    auto byName = [&](const std::string& name) {
        for (const auto& b : file.blobs())
            if (b->name() == name) return b->id();
        return Uuid();
    };
    const Uuid t = file.registerAction(pkg::makeTransfer(byName("zeta.bin"), "KFW000", 5))->id();
    const Uuid m =
        file.registerAction(pkg::makeMStar(byName("alpha.bin"), 0x1000, 0x2000, 6))->id();
    const Uuid z = file.registerAction(pkg::makeZV(byName("alpha"), 0x3000, 7))->id();
    file.registerBundle(
        pkg::makeBundle({t, m, z}, {{1, 0x0101, Version::OperatorGreaterEqual}}, 30));
}

TEST(V2Canonical, EqualContentGivesIdenticalBytesWhateverTheIDs) {
    fwu::kfw::v2::KfwFile a, b;
    build(a, false);
    build(b, true);
    ASSERT_NE(a.actions()[0]->id(), b.actions()[0]->id());
    ASSERT_NE(a.blobs()[0]->name(), b.blobs()[0]->name());  // registration order differs
    EXPECT_EQ(write(a, 2), write(b, 2));
    EXPECT_NE(write(a, 0), write(b, 0));

    // Content does count: one image byte more changes the output.
    fwu::kfw::v2::KfwFile c;
    build(c, false);
    c.registerBlob(pkg::makeBlob({9}, "extra"));
    EXPECT_NE(write(a, 2), write(c, 2));
}

TEST(V2Canonical, HasZeroIvAndAPlainPayloadWithItsDigest) {
    fwu::kfw::v2::KfwFile file;
    build(file, false);
    const Canonical c = decode(file);
    EXPECT_EQ(Bytes(c.file.begin() + 16, c.file.begin() + 32), Bytes(16, 0));
    EXPECT_EQ(c.file[14], 2);  // the ZV action makes it 2.2
    const fwu::Sha256 digest = fwu::Sha256::calculate(c.plain.data() + 32, c.plain.size() - 32);
    EXPECT_EQ(Bytes(c.plain.begin(), c.plain.begin() + 32), digest.bytes());
    EXPECT_LT(c.padding, 16u);
    EXPECT_TRUE(std::all_of(c.plain.end() - static_cast<long>(c.padding), c.plain.end(),
                            [](uint8_t b) { return b == 0; }));
}

// Walks a body length across a whole block so that both ends of the padding rule occur: a
// body that fills its last block gets none, one byte more gets 15.
TEST(V2Canonical, PadsTheBodyToWholeBlocksWithZeros) {
    bool sawNone = false, sawFifteen = false;
    for (size_t length = 0; length < 17; ++length) {
        fwu::kfw::v2::KfwFile file;
        file.products() = {std::string(length, 'P')};
        const Canonical c = decode(file);
        const size_t expected = (16 - (32 + c.body.size()) % 16) % 16;
        EXPECT_EQ(c.padding, expected) << "body " << c.body.size();
        EXPECT_EQ(c.file.size(), 32 + 32 + c.body.size() + expected);
        EXPECT_TRUE(std::all_of(c.plain.end() - static_cast<long>(c.padding), c.plain.end(),
                                [](uint8_t b) { return b == 0; }));
        sawNone |= c.padding == 0;
        sawFifteen |= c.padding == 15;
    }
    EXPECT_TRUE(sawNone);
    EXPECT_TRUE(sawFifteen);
}

TEST(V2Canonical, WritesKeysInOrderWithTheirEntryCounts) {
    fwu::kfw::v2::KfwFile file;
    build(file, false);
    const Canonical c = decode(file);
    const msgpack::object& root = c.root();
    EXPECT_EQ(c.body[0], 0x87);  // fixmap of 7: the profile is present
    EXPECT_EQ(keys(root),
              (std::vector<std::string>{"estimatedTimeMargin", "products", "version",
                                        "deviceProfile", "blobs", "actions", "bundles"}));
    EXPECT_EQ(keys(at(root, "version").via.array.ptr[0]),
              (std::vector<std::string>{"device", "version"}));
    const msgpack::object& profile = at(root, "deviceProfile");
    EXPECT_EQ(keys(profile), (std::vector<std::string>{"devices", "displayDevices"}));
    EXPECT_EQ(keys(at(profile, "devices").via.array.ptr[1]),
              (std::vector<std::string>{"name", "fileName", "device", "versionRepresentation"}));
    EXPECT_EQ(at(profile, "displayDevices").as<std::vector<uint32_t>>(),
              (std::vector<uint32_t>{4, 1}));

    const msgpack::object& blobs = at(root, "blobs");
    ASSERT_EQ(blobs.via.array.size, 3u);
    EXPECT_EQ(keys(blobs.via.array.ptr[0]),
              (std::vector<std::string>{"id", "name", "path", "data"}));

    const msgpack::object& actions = at(root, "actions");
    ASSERT_EQ(actions.via.array.size, 3u);
    EXPECT_EQ(keys(actions.via.array.ptr[0]),
              (std::vector<std::string>{"id", "estimatedTime", "type", "blob", "fileName"}));
    EXPECT_EQ(keys(actions.via.array.ptr[1]),
              (std::vector<std::string>{"id", "estimatedTime", "type", "blob", "address",
                                        "updateFlagAddress"}));
    EXPECT_EQ(keys(actions.via.array.ptr[2]),
              (std::vector<std::string>{"id", "estimatedTime", "type", "blob", "address"}));
    EXPECT_EQ(at(actions.via.array.ptr[1], "type").as<std::string>(), "TransferMStarData");

    const msgpack::object& bundle = at(root, "bundles").via.array.ptr[0];
    EXPECT_EQ(keys(bundle),
              (std::vector<std::string>{"id", "actions", "conditions", "estimatedTime"}));
    EXPECT_EQ(keys(at(bundle, "conditions").via.array.ptr[0]),
              (std::vector<std::string>{"device", "version", "comparison"}));
    EXPECT_EQ(at(at(bundle, "conditions").via.array.ptr[0], "comparison").as<std::string>(), "ge");

    // Without a profile the key is left out and the root has six entries.
    fwu::kfw::v2::KfwFile bare;
    const Canonical d = decode(bare);
    EXPECT_EQ(d.body[0], 0x86);
    EXPECT_EQ(keys(d.root()), (std::vector<std::string>{"estimatedTimeMargin", "products",
                                                        "version", "blobs", "actions", "bundles"}));
}

TEST(V2Canonical, ReplacesIDsByVirtualIDsAndSortsBlobsByName) {
    fwu::kfw::v2::KfwFile file;
    build(file, false);
    const Uuid dangling = uuidOf(0x42);
    file.registerAction(pkg::makeTransfer(dangling, "KFW009"));
    file.registerBundle(pkg::makeBundle({dangling}));
    const Canonical c = decode(file);
    const msgpack::object& root = c.root();

    const msgpack::object& blobs = at(root, "blobs");
    std::vector<std::string> names;
    for (uint32_t i = 0; i < blobs.via.array.size; ++i) {
        const msgpack::object& blob = blobs.via.array.ptr[i];
        const std::string name = at(blob, "name").as<std::string>();
        names.push_back(name);
        EXPECT_EQ(at(blob, "path").as<std::string>(), name);
        const fwu::kfw::Blob* original = nullptr;
        for (const auto& b : file.blobs())
            if (b->name() == name) original = b.get();
        ASSERT_NE(original, nullptr);
        EXPECT_EQ(uuidAt(blob, "id"), original->virtualID(&file));
    }
    // Byte-wise: a name that is a prefix of another comes first.
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "alpha.bin", "zeta.bin"}));

    const msgpack::object& actions = at(root, "actions");
    for (uint32_t i = 0; i < actions.via.array.size; ++i) {
        const fwu::kfw::Action& original = *file.actions()[i];
        EXPECT_EQ(uuidAt(actions.via.array.ptr[i], "id"), original.virtualID(&file));
    }
    const auto* transfer =
        dynamic_cast<const fwu::kfw::TransferDataAction*>(file.actions()[0].get());
    EXPECT_EQ(uuidAt(actions.via.array.ptr[0], "blob"),
              file.findBlob(transfer->blobID())->virtualID(&file));
    EXPECT_EQ(uuidAt(actions.via.array.ptr[3], "blob"), dangling);  // not in the package: kept

    const msgpack::object& bundles = at(root, "bundles");
    EXPECT_EQ(uuidAt(bundles.via.array.ptr[0], "id"), file.bundles()[0]->virtualID(&file));
    const msgpack::object& refs = at(bundles.via.array.ptr[0], "actions");
    ASSERT_EQ(refs.via.array.size, 3u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(
            Uuid::fromBytes(reinterpret_cast<const uint8_t*>(refs.via.array.ptr[i].via.bin.ptr)),
            file.actions()[i]->virtualID(&file));
    const msgpack::object& danglingRef = at(bundles.via.array.ptr[1], "actions").via.array.ptr[0];
    EXPECT_EQ(Uuid::fromBytes(reinterpret_cast<const uint8_t*>(danglingRef.via.bin.ptr)), dangling);
}

TEST(V2Canonical, UsesTheSmallestEncodings) {
    fwu::kfw::v2::KfwFile file;
    std::vector<std::string> products(15, "P");
    products.push_back(std::string(32, 'L'));  // str 8
    products.push_back(std::string(31, 'S'));  // still fixstr
    file.products() = products;
    const Uuid small = file.registerBlob(pkg::makeBlob(Bytes(5, 1), "a"))->id();
    const Uuid medium = file.registerBlob(pkg::makeBlob(Bytes(300, 2), "b"))->id();
    file.registerBlob(pkg::makeBlob(Bytes(70000, 3), "c"));
    const Uuid t127 = file.registerAction(pkg::makeTransfer(small, "KFW000", 127))->id();
    const Uuid t128 = file.registerAction(pkg::makeTransfer(medium, "KFW001", 128))->id();
    file.registerAction(pkg::makeZV(small, 0x10000, 0xFFFFFFFF));
    file.registerBundle(pkg::makeBundle({t127, t128}, {}, 65536));
    file.registerBundle(pkg::makeBundle({t128}, {}, 0));
    const Canonical c = decode(file);

    EXPECT_EQ(encodedValues(c.body, "estimatedTime"),
              (std::vector<Bytes>{{0x7F},
                                  {0xCC, 0x80},
                                  {0xCE, 0xFF, 0xFF, 0xFF, 0xFF},
                                  {0xCE, 0x00, 0x01, 0x00, 0x00},
                                  {0x00}}));
    EXPECT_EQ(encodedValues(c.body, "address"),
              (std::vector<Bytes>{{0xCE, 0x00, 0x01, 0x00, 0x00}}));

    const std::vector<Bytes> ids = encodedValues(c.body, "id");
    ASSERT_EQ(ids.size(), 3u + 3u + 2u);
    for (const Bytes& id : ids) {
        ASSERT_EQ(id.size(), 18u);
        EXPECT_EQ(id[0], 0xC4);  // bin 8
        EXPECT_EQ(id[1], 16);
    }
    const std::vector<Bytes> data = encodedValues(c.body, "data");
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(Bytes(data[0].begin(), data[0].begin() + 2), (Bytes{0xC4, 5}));
    EXPECT_EQ(Bytes(data[1].begin(), data[1].begin() + 3), (Bytes{0xC5, 0x01, 0x2C}));
    EXPECT_EQ(Bytes(data[2].begin(), data[2].begin() + 5), (Bytes{0xC6, 0x00, 0x01, 0x11, 0x70}));

    const Bytes productsValue = encodedValues(c.body, "products").at(0);
    EXPECT_EQ(Bytes(productsValue.begin(), productsValue.begin() + 3),
              (Bytes{0xDC, 0x00, 17}));  // array 16
    const Bytes str8{0xD9, 32, 'L'};
    EXPECT_NE(std::search(productsValue.begin(), productsValue.end(), str8.begin(), str8.end()),
              productsValue.end());
    const Bytes fix31{0xBF, 'S'};
    EXPECT_NE(std::search(productsValue.begin(), productsValue.end(), fix31.begin(), fix31.end()),
              productsValue.end());
    EXPECT_EQ(encodedValues(c.body, "blobs").at(0)[0], 0x93);  // fixarray of 3
    EXPECT_EQ(encodedValues(c.body, "actions").at(0)[0], 0x93);
}

}  // namespace
