// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../TestPackage.h"
#include "core/InputByteStream.h"
#include "core/OutputByteStream.h"
#include "core/Sha256.h"
#include "package/v2/KfwCipher.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwKeys.h"
#include "package/v2/KfwParser.h"
#include "package/v2/KfwSerializer.h"
#include "package/v2/Msgpack.h"

namespace fwu::test::v2 {

using Bytes = std::vector<uint8_t>;

// --- Whole files -----------------------------------------------------------------------------

inline Bytes write(const kfw::KfwFile& file, uint32_t options = 0) {
    OutputByteStream out;
    kfw::v2::KfwSerializer(options).serialize(&file, &out);
    return out.bytes();
}

inline std::unique_ptr<kfw::v2::KfwFile> read(const Bytes& bytes) {
    InputByteStream in(bytes.data(), bytes.size());
    auto file = std::make_unique<kfw::v2::KfwFile>();
    kfw::v2::KfwParser().parse(file.get(), &in);
    return file;
}

// A container built here from the cipher primitives rather than by the library's writer, so
// that crafted bodies (and crafted headers) reach the reader with a correct digest and
// encryption. `padding` lets a test append junk bytes after the body.
inline Bytes seal(const Bytes& body, kfw::FileVersion version = kfw::FileVersion(2, 0),
                  const Bytes& padding = Bytes()) {
    Bytes plain(32, 0);
    plain.insert(plain.end(), body.begin(), body.end());
    plain.insert(plain.end(), padding.begin(), padding.end());
    while (plain.size() % 16) plain.push_back(0);
    const Sha256 digest = Sha256::calculate(plain.data() + 32, plain.size() - 32);
    std::copy(digest.data(), digest.data() + 32, plain.begin());
    const Bytes iv(16, 0x5A);
    EXPECT_TRUE(kfw::v2::EncodeBytes(plain.data(), plain.size(), iv));

    Bytes file = kfw::v2::MagicNumber();
    for (uint32_t n : {version.major.value(), version.minor.value()}) {
        file.push_back(static_cast<uint8_t>(n));
        file.push_back(static_cast<uint8_t>(n >> 8));
    }
    // A version without a mask cannot be masked; its IV is never looked at.
    Bytes masked = iv;
    if (version.major.value() == 2 && version.minor.value() < 3)
        masked = kfw::v2::EncodeInitialVector(version, iv);
    file.insert(file.end(), masked.begin(), masked.end());
    file.insert(file.end(), plain.begin(), plain.end());
    return file;
}

// --- Crafted msgpack bodies ------------------------------------------------------------------

using Packer = msgpack::packer<msgpack::sbuffer>;
using Value = std::function<void(Packer&)>;
struct Field {
    std::string key;
    Value value;
};
using Fields = std::vector<Field>;

inline Value str(const std::string& s) {
    return [s](Packer& p) {
        p.pack_str(static_cast<uint32_t>(s.size()))
            .pack_str_body(s.data(), static_cast<uint32_t>(s.size()));
    };
}
inline Value num(uint64_t n) {
    return [n](Packer& p) { p.pack_uint64(n); };
}
inline Value signedNum(int64_t n) {
    return [n](Packer& p) { p.pack_int64(n); };
}
inline Value bin(const Bytes& b) {
    return [b](Packer& p) {
        p.pack_bin(static_cast<uint32_t>(b.size()));
        p.pack_bin_body(reinterpret_cast<const char*>(b.data()), static_cast<uint32_t>(b.size()));
    };
}
// A 16-byte ID (or a wrong-sized one) whose bytes are all `tag`.
inline Value id(uint8_t tag, size_t size = 16) { return bin(Bytes(size, tag)); }
inline Uuid uuidOf(uint8_t tag) {
    const Bytes b(16, tag);
    return Uuid::fromBytes(b.data());
}
inline Value array(const std::vector<Value>& items) {
    return [items](Packer& p) {
        p.pack_array(static_cast<uint32_t>(items.size()));
        for (const Value& item : items) item(p);
    };
}
inline Value map(const Fields& fields) {
    return [fields](Packer& p) {
        p.pack_map(static_cast<uint32_t>(fields.size()));
        for (const Field& f : fields) {
            str(f.key)(p);
            f.value(p);
        }
    };
}
inline Bytes pack(const Value& value) {
    msgpack::sbuffer buffer;
    Packer packer(buffer);
    value(packer);
    return Bytes(buffer.data(), buffer.data() + buffer.size());
}

// The fields without `key`.
inline Fields without(Fields fields, const std::string& key) {
    for (auto it = fields.begin(); it != fields.end();)
        it = it->key == key ? fields.erase(it) : it + 1;
    return fields;
}
// The fields with `key` set to `value` (replaced in place, or appended).
inline Fields with(Fields fields, const std::string& key, Value value) {
    for (Field& f : fields)
        if (f.key == key) {
            f.value = std::move(value);
            return fields;
        }
    fields.push_back({key, std::move(value)});
    return fields;
}

// --- Package contents ------------------------------------------------------------------------

// Reads a package's content in full, IDs included, so that two packages can be compared field
// by field.
inline void expectSameContent(const kfw::KfwFile& a, const kfw::KfwFile& b) {
    EXPECT_EQ(a.estimatedTimeMargin(), b.estimatedTimeMargin());
    EXPECT_EQ(a.products(), b.products());
    ASSERT_EQ(a.targetVersion().items().size(), b.targetVersion().items().size());
    for (size_t i = 0; i < a.targetVersion().items().size(); ++i) {
        EXPECT_EQ(a.targetVersion().items()[i].deviceID, b.targetVersion().items()[i].deviceID);
        EXPECT_EQ(a.targetVersion().items()[i].version, b.targetVersion().items()[i].version);
    }
    const auto& pa = a.deviceProfile();
    const auto& pb = b.deviceProfile();
    ASSERT_EQ(pa.items().size(), pb.items().size());
    for (size_t i = 0; i < pa.items().size(); ++i) {
        EXPECT_EQ(pa.items()[i].name, pb.items()[i].name);
        EXPECT_EQ(pa.items()[i].fileName, pb.items()[i].fileName);
        EXPECT_EQ(pa.items()[i].device, pb.items()[i].device);
        EXPECT_EQ(pa.items()[i].versionRepresentation, pb.items()[i].versionRepresentation);
    }
    EXPECT_EQ(pa.displayDeviceIDs(), pb.displayDeviceIDs());

    ASSERT_EQ(a.blobs().size(), b.blobs().size());
    for (size_t i = 0; i < a.blobs().size(); ++i) {
        const kfw::Blob& x = *a.blobs()[i];
        const kfw::Blob& y = *b.blobs()[i];
        EXPECT_EQ(x.id(), y.id());
        EXPECT_EQ(x.name(), y.name());
        EXPECT_EQ(x.path(), y.path());
        EXPECT_EQ(fwu::test::pkg::blobBytes(x), fwu::test::pkg::blobBytes(y));
        EXPECT_EQ(x.hash(), y.hash());
    }
    ASSERT_EQ(a.actions().size(), b.actions().size());
    for (size_t i = 0; i < a.actions().size(); ++i) {
        const kfw::Action& x = *a.actions()[i];
        const kfw::Action& y = *b.actions()[i];
        EXPECT_EQ(x.id(), y.id());
        // equal() compares type, time and every transfer field including the blob ID.
        EXPECT_TRUE(x.equal(&y)) << "action " << i;
        EXPECT_EQ(x.type(), y.type());
        EXPECT_EQ(x.estimatedTime(), y.estimatedTime());
    }
    ASSERT_EQ(a.bundles().size(), b.bundles().size());
    for (size_t i = 0; i < a.bundles().size(); ++i) {
        const kfw::Bundle& x = *a.bundles()[i];
        const kfw::Bundle& y = *b.bundles()[i];
        EXPECT_EQ(x.id(), y.id());
        EXPECT_TRUE(x.equal(&y)) << "bundle " << i;
        EXPECT_EQ(x.estimatedTime(), y.estimatedTime());
        EXPECT_EQ(x.conditions().size(), y.conditions().size());
    }
}

inline void addProfile(kfw::KfwFile& file) {
    dev::DeviceProfile scaler;
    scaler.name = "Scaler";
    scaler.fileName = "KFW000";
    scaler.device = 1;
    scaler.versionRepresentation = 1;
    dev::DeviceProfile usb;
    usb.name = "USB hub";
    usb.fileName = "KFW001";
    usb.device = 4;
    usb.versionRepresentation = 0;
    file.deviceProfile().push(scaler);
    file.deviceProfile().push(usb);
    file.deviceProfile().setDisplayDeviceIDs({4, 1});
}

struct Shape {
    const char* name;
    bool transfer, mstar, zv, profile;
    kfw::FileVersion expected;
};

// A package with every kind of field filled with values that would show a mix-up: distinct
// numbers per field, the 32-bit extremes, an unnamed blob, a dangling action reference.
inline void fill(fwu::kfw::KfwFile& file, const Shape& shape) {
    file.updateEstimatedTimeMargin(90);
    file.products() = {"KM-24*", "KM-27A"};
    file.targetVersion().push({1, fwu::Version(0x0102)});
    file.targetVersion().push({4, fwu::Version(0xFFFFFFFF)});
    if (shape.profile) addProfile(file);

    const fwu::Uuid named =
        file.registerBlob(pkg::makeBlob({1, 2, 3, 4, 5}, "scaler.bin", "/src/scaler.bin"))->id();
    const fwu::Uuid unnamed = file.registerBlob(pkg::makeBlob(Bytes(300, 0xEE)))->id();
    std::vector<fwu::Uuid> actions;
    if (shape.transfer)
        actions.push_back(file.registerAction(pkg::makeTransfer(named, "KFW000", 127))->id());
    if (shape.mstar)
        actions.push_back(
            file.registerAction(pkg::makeMStar(unnamed, 0x00123456, 0xFFFFFFFF, 128))->id());
    if (shape.zv)
        actions.push_back(file.registerAction(pkg::makeZV(named, 0x8000, 0xFFFFFFFF))->id());
    file.registerBundle(pkg::makeBundle(actions,
                                        {{1, 0x0101, fwu::Version::OperatorGreaterEqual},
                                         {4, 3, fwu::Version::OperatorLess},
                                         {1, 9, fwu::Version::OperatorNone}},
                                        65536));
    file.registerBundle(pkg::makeBundle({uuidOf(0x77)}, {}, 0));
}

}  // namespace fwu::test::v2
