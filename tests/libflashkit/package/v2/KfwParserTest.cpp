// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "V2Support.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "package/KfwLoader.h"
#include "package/v2/BodyUnpacker.h"

namespace {

using fwu::ErrorCode;
using fwu::PackageError;
using fwu::Uuid;
using fwu::Version;
using fwu::kfw::Action;
using fwu::kfw::FileVersion;
using fwu::test::throwsFwuException;
using namespace fwu::test::v2;
namespace pkg = fwu::test::pkg;

// --- A valid crafted body, field by field, so single fields can be broken ----------------------

Fields blobFields(uint8_t tag, const Bytes& data, const std::string& name) {
    return {
        {"id", id(tag)}, {"name", str(name)}, {"path", str("/in/" + name)}, {"data", bin(data)}};
}

Fields actionFields(const std::string& type) {
    Fields f{{"id", id(0x20)}, {"estimatedTime", num(12)}, {"type", str(type)}, {"blob", id(0x10)}};
    if (type == "TransferData") f.push_back({"fileName", str("KFW000")});
    if (type == "TransferMStarData") {
        f.push_back({"address", num(0x1234)});
        f.push_back({"updateFlagAddress", num(0x5678)});
    }
    if (type == "TransferZVData") f.push_back({"address", num(0x9ABC)});
    return f;
}

Fields conditionFields() {
    return {{"device", num(1)}, {"version", num(0x0105)}, {"comparison", str("ge")}};
}

Fields bundleFields() {
    return {{"id", id(0x30)},
            {"actions", array({id(0x20)})},
            {"conditions", array({map(conditionFields())})},
            {"estimatedTime", num(40)}};
}

Fields deviceFields() {
    return {{"name", str("Scaler")},
            {"fileName", str("KFW000")},
            {"device", num(1)},
            {"versionRepresentation", num(1)}};
}

Fields profileFields() {
    return {{"devices", array({map(deviceFields())})}, {"displayDevices", array({num(1)})}};
}

Fields rootFields(const Fields& action = actionFields("TransferData"),
                  const Fields& bundle = bundleFields(),
                  const Fields& blob = blobFields(0x10, {1, 2, 3}, "scaler.bin")) {
    return {{"estimatedTimeMargin", num(75)},
            {"products", array({str("KM-24*")})},
            {"version", array({map({{"device", num(1)}, {"version", num(0x0106)}})})},
            {"deviceProfile", map(profileFields())},
            {"blobs", array({map(blob)})},
            {"actions", array({map(action)})},
            {"bundles", array({map(bundle)})}};
}

Bytes sealed(const Fields& root) { return seal(pack(map(root))); }

// --- Reading a crafted body ----------------------------------------------------------------------

// The reader against the schema alone, without the library's writer in the loop.
TEST(V2Parser, ReadsACraftedBodyIntoTheModel) {
    const auto file = read(sealed(rootFields()));
    EXPECT_EQ(file->estimatedTimeMargin(), 75u);
    EXPECT_EQ(file->products(), std::vector<std::string>{"KM-24*"});
    ASSERT_EQ(file->targetVersion().items().size(), 1u);
    EXPECT_EQ(file->targetVersion().items()[0].deviceID, 1u);
    EXPECT_EQ(file->targetVersion().items()[0].version, Version(0x0106));
    ASSERT_EQ(file->deviceProfile().items().size(), 1u);
    EXPECT_EQ(file->deviceProfile().items()[0].name, "Scaler");
    EXPECT_EQ(file->deviceProfile().items()[0].fileName, "KFW000");
    EXPECT_EQ(file->deviceProfile().items()[0].device, 1u);
    EXPECT_EQ(file->deviceProfile().items()[0].versionRepresentation, 1u);
    EXPECT_EQ(file->deviceProfile().displayDeviceIDs(), std::vector<uint32_t>{1});

    ASSERT_EQ(file->blobs().size(), 1u);
    EXPECT_EQ(file->blobs()[0]->id(), uuidOf(0x10));
    EXPECT_EQ(file->blobs()[0]->name(), "scaler.bin");
    EXPECT_EQ(file->blobs()[0]->path(), "/in/scaler.bin");
    EXPECT_EQ(fwu::test::pkg::blobBytes(*file->blobs()[0]), (Bytes{1, 2, 3}));
    EXPECT_EQ(file->blobs()[0]->hash(), fwu::Sha256::calculate(file->blobs()[0]->bytes(), 3));

    ASSERT_EQ(file->actions().size(), 1u);
    const auto* action =
        dynamic_cast<const fwu::kfw::TransferDataAction*>(file->actions()[0].get());
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->id(), uuidOf(0x20));
    EXPECT_EQ(action->estimatedTime(), 12u);
    EXPECT_EQ(action->blobID(), uuidOf(0x10));
    EXPECT_EQ(action->fileName(), "KFW000");

    ASSERT_EQ(file->bundles().size(), 1u);
    const fwu::kfw::Bundle& bundle = *file->bundles()[0];
    EXPECT_EQ(bundle.id(), uuidOf(0x30));
    EXPECT_EQ(bundle.actionIDs(), std::vector<Uuid>{uuidOf(0x20)});
    ASSERT_EQ(bundle.conditions().size(), 1u);
    EXPECT_EQ(bundle.conditions()[0].deviceVersion.deviceID, 1u);
    EXPECT_EQ(bundle.conditions()[0].deviceVersion.version, Version(0x0105));
    EXPECT_EQ(bundle.conditions()[0].op, Version::OperatorGreaterEqual);
    EXPECT_EQ(bundle.estimatedTime(), 40u);
    EXPECT_EQ(file->fwu::kfw::KfwFile::version(), FileVersion(2, 0));  // as the header said
    EXPECT_EQ(file->version(), FileVersion(2, 1));                     // what the profile needs
}

TEST(V2Parser, ReadsTheTransferKindsWithTheirOwnFields) {
    const auto mstar = read(sealed(rootFields(actionFields("TransferMStarData"))));
    const auto* m =
        dynamic_cast<const fwu::kfw::TransferMStarDataAction*>(mstar->actions().at(0).get());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->blobID(), uuidOf(0x10));
    EXPECT_EQ(m->address(), 0x1234u);
    EXPECT_EQ(m->updateFlagAddress(), 0x5678u);

    const auto zv = read(sealed(rootFields(actionFields("TransferZVData"))));
    const auto* z = dynamic_cast<const fwu::kfw::TransferZVDataAction*>(zv->actions().at(0).get());
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->blobID(), uuidOf(0x10));
    EXPECT_EQ(z->address(), 0x9ABCu);
}

TEST(V2Parser, ToleratesWhatTheSchemaLeavesOpen) {
    Fields root = rootFields();
    // Keys in another order, an unknown key, a repeated key (the first counts), padding junk
    // after the body, a number wider than 32 bits (its low half counts), an unknown comparison.
    std::reverse(root.begin(), root.end());
    root.push_back({"comment", map({{"nested", array({num(1), str("x")})}})});
    root.push_back({"estimatedTimeMargin", num(999)});
    Fields bundle = with(bundleFields(), "estimatedTime", num(0x100000007ull));
    bundle =
        with(bundle, "conditions", array({map(with(conditionFields(), "comparison", str("=>")))}));
    root = with(root, "bundles", array({map(bundle)}));
    const auto file = read(seal(pack(map(root)), FileVersion(2, 1), Bytes{0xC1, 0xFF, 0x00}));
    EXPECT_EQ(file->estimatedTimeMargin(), 75u);
    EXPECT_EQ(file->bundles().at(0)->estimatedTime(), 7u);
    EXPECT_EQ(file->bundles().at(0)->conditions().at(0).op, Version::OperatorNone);
    EXPECT_EQ(file->products(), std::vector<std::string>{"KM-24*"});
    EXPECT_EQ(file->fwu::kfw::KfwFile::version(), FileVersion(2, 1));

    // An operator the reader could not name is written back as the empty string.
    const Bytes canonical = write(*file, 2);
    const Bytes expected{0xAA, 'c', 'o', 'm', 'p', 'a', 'r', 'i', 's', 'o', 'n', 0xA0};
    EXPECT_NE(std::search(canonical.begin(), canonical.end(), expected.begin(), expected.end()),
              canonical.end());

    // Without a profile the package simply has none.
    const auto bare = read(sealed(without(rootFields(), "deviceProfile")));
    EXPECT_TRUE(bare->deviceProfile().empty());
    EXPECT_EQ(bare->version(), FileVersion(2, 0));
}

TEST(V2Parser, DuplicateContentCollapsesOnLoad) {
    Fields root = rootFields();
    root = with(root, "blobs",
                array({map(blobFields(0x10, {7, 7, 7}, "first.bin")),
                       map(blobFields(0x11, {7, 7, 7}, "second.bin")),
                       map(blobFields(0x12, {8}, "third.bin"))}));
    const Fields action = actionFields("TransferData");
    root = with(root, "actions", array({map(action), map(with(action, "id", id(0x21)))}));
    const auto file = read(sealed(root));
    ASSERT_EQ(file->blobs().size(), 2u);
    EXPECT_EQ(file->blobs()[0]->id(), uuidOf(0x10));
    EXPECT_EQ(file->blobs()[0]->name(), "first.bin");
    EXPECT_EQ(file->blobs()[1]->id(), uuidOf(0x12));
    ASSERT_EQ(file->actions().size(), 1u);
    EXPECT_EQ(file->actions()[0]->id(), uuidOf(0x20));
}

// Hundreds of objects, many content-equal to earlier ones and many more that agree on
// everything but one field or one byte in the middle: the loader keeps exactly the objects that
// registering them one by one keeps.
TEST(V2Parser, ManyDuplicatesCollapseAsWhenRegisteredOneByOne) {
    const auto idBytes = [](uint16_t n) {
        Bytes b(16, 0xA5);
        b[0] = uint8_t(n);
        b[1] = uint8_t(n >> 8);
        return b;
    };
    const auto uuid = [&](uint16_t n) { return Uuid::fromBytes(idBytes(n).data()); };
    fwu::kfw::v2::KfwFile expected;
    std::vector<Value> blobs, actions, bundles;
    for (uint16_t i = 0; i < 400; ++i) {
        Bytes data(100, uint8_t(i % 3));
        data[50] = uint8_t(i % 7);  // same size and ends, different middle
        blobs.push_back(map({{"id", bin(idBytes(i))},
                             {"name", str("b")},
                             {"path", str("p")},
                             {"data", bin(data)}}));
        auto blob = pkg::makeBlob(data, "b", "p");
        blob->setID(uuid(i));
        expected.registerBlob(std::move(blob));
    }
    for (uint16_t i = 0; i < 600; ++i) {
        const uint16_t blob = i % 5, time = i % 4;
        const std::string fileName = "KFW00" + std::to_string(i % 3);
        actions.push_back(map({{"id", bin(idBytes(1000 + i))},
                               {"estimatedTime", num(time)},
                               {"type", str("TransferData")},
                               {"blob", bin(idBytes(blob))},
                               {"fileName", str(fileName)}}));
        auto action = pkg::makeTransfer(uuid(blob), fileName, time);
        action->setID(uuid(1000 + i));
        expected.registerAction(std::move(action));
    }
    for (uint16_t i = 0; i < 500; ++i) {
        const uint16_t action = 1000 + i % 6;
        const uint32_t device = i % 4, time = i % 2;
        bundles.push_back(map({{"id", bin(idBytes(3000 + i))},
                               {"actions", array({bin(idBytes(action))})},
                               {"conditions", array({map({{"device", num(device)},
                                                          {"version", num(1)},
                                                          {"comparison", str("ge")}})})},
                               {"estimatedTime", num(time)}}));
        auto bundle =
            pkg::makeBundle({uuid(action)}, {{device, 1, Version::OperatorGreaterEqual}}, time);
        bundle->setID(uuid(3000 + i));
        expected.registerBundle(std::move(bundle));
    }
    Fields root = with(with(with(rootFields(), "blobs", array(blobs)), "actions", array(actions)),
                       "bundles", array(bundles));
    const auto file = read(sealed(root));
    const auto ids = [](const auto& items) {
        std::vector<Uuid> out;
        for (const auto& item : items) out.push_back(item->id());
        return out;
    };
    EXPECT_EQ(ids(file->blobs()), ids(expected.blobs()));
    EXPECT_EQ(ids(file->actions()), ids(expected.actions()));
    EXPECT_EQ(ids(file->bundles()), ids(expected.bundles()));
    EXPECT_EQ(expected.blobs().size(), 21u);  // 3 fills x 7 middles
    EXPECT_EQ(expected.actions().size(), 60u);
    EXPECT_EQ(expected.bundles().size(), 12u);
}

// --- Body failures -------------------------------------------------------------------------------

struct BodyCase {
    const char* name;
    Fields root;
    PackageError error;
};

std::vector<BodyCase> bodyCases() {
    const PackageError key = PackageError::kMsgpackKeyNotFound;
    const PackageError type = PackageError::kInvalidMsgpackType;
    const PackageError uuid = PackageError::kInvalidUuid;
    std::vector<BodyCase> cases;
    for (const char* k :
         {"estimatedTimeMargin", "products", "version", "blobs", "actions", "bundles"})
        cases.push_back({k, without(rootFields(), k), key});
    const auto withAction = [](const Fields& a) { return rootFields(a); };
    const auto withBundle = [](const Fields& b) {
        return rootFields(actionFields("TransferData"), b);
    };
    const auto withBlob = [](const Fields& b) {
        return rootFields(actionFields("TransferData"), bundleFields(), b);
    };
    const auto withProfile = [](const Fields& p) {
        return with(rootFields(), "deviceProfile", map(p));
    };
    const Fields blob = blobFields(0x10, {1}, "b");
    cases.insert(
        cases.end(),
        {
            {"MarginAsString", with(rootFields(), "estimatedTimeMargin", str("75")), type},
            {"MarginNegative", with(rootFields(), "estimatedTimeMargin", signedNum(-1)), type},
            {"ProductNotString", with(rootFields(), "products", array({num(3)})), type},
            {"VersionsNotArray", with(rootFields(), "version", map({})), type},
            {"TargetVersionWithoutDevice",
             with(rootFields(), "version", array({map({{"version", num(1)}})})), key},
            {"TargetVersionNotMap", with(rootFields(), "version", array({num(1)})), type},
            {"ProfileNotMap", with(rootFields(), "deviceProfile", array({})), type},
            {"ProfileWithoutDisplayDevices",
             withProfile(without(profileFields(), "displayDevices")), key},
            {"DisplayDeviceNotNumber",
             withProfile(with(profileFields(), "displayDevices", array({str("1")}))), type},
            {"DeviceWithoutRepresentation",
             withProfile(with(profileFields(), "devices",
                              array({map(without(deviceFields(), "versionRepresentation"))}))),
             key},
            {"BlobId15", withBlob(with(blob, "id", id(0x10, 15))), uuid},
            {"BlobId17", withBlob(with(blob, "id", id(0x10, 17))), uuid},
            {"BlobIdAsString", withBlob(with(blob, "id", str("0123456789abcdef"))), type},
            {"BlobDataAsString", withBlob(with(blob, "data", str("abc"))), type},
            {"BlobWithoutPath", withBlob(without(blob, "path")), key},
            {"ActionTypeFoo", withAction(with(actionFields("TransferData"), "type", str("Foo"))),
             fwu::PackageError::kInvalidActionType},
            {"ActionTypeWrongCase",
             withAction(with(actionFields("TransferData"), "type", str("transferData"))),
             fwu::PackageError::kInvalidActionType},
            {"ActionId15", withAction(with(actionFields("TransferData"), "id", id(0x20, 15))),
             uuid},
            {"ActionTimeNegative",
             withAction(with(actionFields("TransferZVData"), "estimatedTime", signedNum(-5))),
             type},
            {"ActionTimeFloat",
             withAction(with(actionFields("TransferZVData"), "estimatedTime",
                             [](Packer& p) { p.pack_double(1.5); })),
             type},
            {"ZVWithoutAddress", withAction(without(actionFields("TransferZVData"), "address")),
             key},
            {"MStarWithoutUpdateFlag",
             withAction(without(actionFields("TransferMStarData"), "updateFlagAddress")), key},
            {"TransferWithoutFileName",
             withAction(without(actionFields("TransferData"), "fileName")), key},
            {"TransferBlob15", withAction(with(actionFields("TransferData"), "blob", id(0x10, 15))),
             uuid},
            {"BundleActionId15", withBundle(with(bundleFields(), "actions", array({id(0x20, 15)}))),
             uuid},
            {"BundleWithoutConditions", withBundle(without(bundleFields(), "conditions")), key},
            {"ConditionComparisonNumber",
             withBundle(with(bundleFields(), "conditions",
                             array({map(with(conditionFields(), "comparison", num(6)))}))),
             type},
            {"BundleWithoutTime", withBundle(without(bundleFields(), "estimatedTime")), key},
        });
    return cases;
}

class V2ParserBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(V2ParserBody, FailsWithTheMatchingError) {
    const BodyCase& c = GetParam();
    const Bytes bytes = sealed(c.root);
    EXPECT_TRUE(throwsFwuException([&] { read(bytes); }, c.error));
}

INSTANTIATE_TEST_SUITE_P(Cases, V2ParserBody, ::testing::ValuesIn(bodyCases()),
                         [](const ::testing::TestParamInfo<BodyCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(V2Parser, RootMustBeAMapWithStringKeys) {
    EXPECT_TRUE(throwsFwuException([&] { read(seal(pack(array({})))); },
                                   fwu::PackageError::kInvalidMsgpackType));
    const Value intKey = [](Packer& p) {
        p.pack_map(1);
        p.pack_uint32(1);
        p.pack_uint32(2);
    };
    EXPECT_TRUE(throwsFwuException([&] { read(seal(pack(intKey))); },
                                   fwu::PackageError::kInvalidMsgpackType));
}

// Which msgpack failure a load ended in; "none" when it did not fail that way.
std::string msgpackFailure(const Bytes& bytes) {
    try {
        read(bytes);
    } catch (const msgpack::array_size_overflow&) {
        return "array";
    } catch (const msgpack::map_size_overflow&) {
        return "map";
    } catch (const msgpack::depth_size_overflow&) {
        return "depth";
    } catch (const msgpack::insufficient_bytes&) {
        return "truncated";
    } catch (const msgpack::parse_error&) {
        return "malformed";
    } catch (const std::exception& e) {
        return std::string("other: ") + e.what();
    }
    return "none";
}

// Declared sizes come from the file: they must be refused before anything is allocated for them.
TEST(V2Parser, HostileSizesFailFast) {
    struct Case {
        const char* name;
        Bytes body;
        const char* failure;
    };
    // Containers that each fit the body alone but not all together: without a running total
    // this would unpack far enough to allocate every one of them.
    Bytes nested;
    for (int i = 0; i < 20; ++i) nested.insert(nested.end(), {0xDD, 0x00, 0x00, 0x02, 0x00});
    nested.resize(nested.size() + 600, 0xC0);
    const std::vector<Case> cases = {
        {"Array32Max",
         {0x81, 0xA8, 'p', 'r', 'o', 'd', 'u', 'c', 't', 's', 0xDD, 0xFF, 0xFF, 0xFF, 0xFF},
         "array"},
        {"Map32Max", {0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0}, "map"},
        {"Bin32Max", {0xC6, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, "truncated"},
        {"Str32Max", {0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, "truncated"},
        {"Nested", nested, "array"},
        {"TooDeep", Bytes(fwu::kfw::v2::kMaxBodyDepth + 1, 0x91), "depth"},
        {"Truncated", {0x86, 0xB3}, "truncated"},
        {"Reserved", {0xC1}, "malformed"},
        {"Empty", {}, "truncated"},
    };
    for (const Case& c : cases) {
        const Bytes bytes = seal(c.body);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(msgpackFailure(bytes), c.failure) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.name;
    }
    // Nesting up to the limit itself is fine for the unpacker (the body then fails as a non-map).
    Bytes deep(fwu::kfw::v2::kMaxBodyDepth, 0x91);
    deep.push_back(0xC0);
    EXPECT_TRUE(
        throwsFwuException([&] { read(seal(deep)); }, fwu::PackageError::kInvalidMsgpackType));
}

// --- Container failures --------------------------------------------------------------------------

Bytes validFile() {
    fwu::kfw::v2::KfwFile file;
    fill(file, Shape{"", true, true, false, true, FileVersion(2, 1)});
    return write(file);
}

TEST(V2Parser, ContainerFailures) {
    const Bytes valid = validFile();
    ASSERT_NO_THROW(read(valid));
    struct Case {
        const char* name;
        Bytes bytes;
        PackageError error;
    };
    auto header = [&](size_t payload) {
        Bytes b(valid.begin(), valid.begin() + 32);
        b.resize(32 + payload, 0x33);
        return b;
    };
    auto patched = [&](size_t at, uint8_t value) {
        Bytes b = valid;
        b[at] = value;
        return b;
    };
    std::vector<Case> cases = {
        {"WrongMagic", patched(4, 'K'), fwu::PackageError::kInvalidMagic},
        {"LastMagicByte", patched(11, 0x7E), fwu::PackageError::kInvalidMagic},
        {"Minor3", patched(14, 3), fwu::PackageError::kUnsupportedFileVersion},
        {"Major1", patched(12, 1), fwu::PackageError::kUnsupportedFileVersion},
        {"MajorHighByte", patched(13, 1), fwu::PackageError::kUnsupportedFileVersion},
        {"Payload40", header(40), fwu::PackageError::kDecodeFailed},
        {"Payload16", header(16), fwu::PackageError::kDataTooSmall},
        {"Payload0", header(0), fwu::PackageError::kDataTooSmall},
        {"Payload32Junk", header(32), fwu::PackageError::kInvalidHash},
        {"ShorterThanMagic", Bytes(valid.begin(), valid.begin() + 11),
         fwu::PackageError::kInvalidReadSize},
        {"NoIv", Bytes(valid.begin(), valid.begin() + 20), fwu::PackageError::kInvalidReadSize},
    };
    // Any changed byte of the IV or the payload breaks the digest.
    for (size_t at : {size_t(16), size_t(31), size_t(32), size_t(47), size_t(48), size_t(100),
                      valid.size() - 1})
        cases.push_back({"Flipped", patched(at, static_cast<uint8_t>(valid[at] ^ 0x01)),
                         fwu::PackageError::kInvalidHash});
    for (const Case& c : cases)
        EXPECT_TRUE(throwsFwuException([&] { read(c.bytes); }, c.error)) << c.name;
}

// Every single changed bit, at every offset of a whole file, is refused: before the IV by the
// header checks, from the IV on by the digest (a changed IV or version mask garbles the first
// block the digest sits in).
TEST(V2Parser, EveryChangedByteIsRefused) {
    const Bytes valid = validFile();
    for (size_t at = 0; at < valid.size(); ++at) {
        for (uint8_t bit : {uint8_t(0x01), uint8_t(0x80)}) {
            Bytes damaged = valid;
            damaged[at] ^= bit;
            if (at >= 16) {
                EXPECT_TRUE(throwsFwuException(
                    [&] { fwu::kfw::LoadKfwFileFromBytes(damaged.data(), damaged.size()); },
                    fwu::PackageError::kInvalidHash))
                    << at;
            } else {
                EXPECT_ANY_THROW(fwu::kfw::LoadKfwFileFromBytes(damaged.data(), damaged.size()))
                    << at;
            }
        }
    }
}

TEST(V2Parser, LoaderTellsTheFormatsApart) {
    const Bytes valid = validFile();
    EXPECT_TRUE(fwu::kfw::v2::KfwParser::isValid(
        std::make_unique<fwu::InputByteStream>(valid.data(), valid.size()).get()));
    // Same bytes with another magic: neither format accepts them.
    Bytes other = valid;
    other[0] = 'X';
    EXPECT_FALSE(fwu::kfw::v2::KfwParser::isValid(
        std::make_unique<fwu::InputByteStream>(other.data(), other.size()).get()));
    EXPECT_TRUE(
        throwsFwuException([&] { fwu::kfw::LoadKfwFileFromBytes(other.data(), other.size()); },
                           fwu::PackageError::kInvalidKfwFile));
    // A current-format file that fails deep inside still reports the current format's error.
    Bytes damaged = valid;
    damaged.back() ^= 0x80;
    EXPECT_TRUE(
        throwsFwuException([&] { fwu::kfw::LoadKfwFileFromBytes(damaged.data(), damaged.size()); },
                           fwu::PackageError::kInvalidHash));
}

}  // namespace
