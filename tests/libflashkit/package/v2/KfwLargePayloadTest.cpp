// SPDX-License-Identifier: Apache-2.0
// Payloads large enough that loading and saving hash on a second thread, checked against the
// single-threaded primitives; and the pieces that make that possible.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "V2Support.h"
#include "core/OutputFileStream.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "package/KfwLoader.h"
#include "package/v2/PayloadHasher.h"

namespace {

using fwu::kfw::FileVersion;
using fwu::test::throwsFwuException;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeTransfer;
using namespace fwu::test::v2;

// Larger than the sizes from which the reader hashes on a second thread and maps its buffer,
// and not a whole number of the pieces the payload is handed over in.
constexpr size_t kLargeImage = (9u << 20) + 12345;

Bytes randomBytes(size_t size, uint32_t seed) {
    Bytes bytes(size);
    std::mt19937 random(seed);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

std::unique_ptr<fwu::kfw::v2::KfwFile> largePackage(uint32_t seed = 1) {
    auto file = std::make_unique<fwu::kfw::v2::KfwFile>();
    file->products() = {"KM-32"};
    // Images before and after the large one, so that it sits neither at the start nor the end.
    file->registerBlob(makeBlob(randomBytes(700, seed), "boot.bin"));
    const auto* large = file->registerBlob(
        makeBlob(randomBytes(kLargeImage, seed + 1), "scaler.bin", "/src/scaler.bin"));
    file->registerBlob(makeBlob(randomBytes(5000, seed + 2), "usb.bin"));
    file->registerAction(makeTransfer(large->id(), "KFW000", 30));
    return file;
}

// The payload decrypted and hashed in one go by the plain primitives.
struct Opened {
    Bytes plain;
    bool digestMatches;
};

Opened open(const Bytes& file) {
    Opened opened;
    const Bytes iv = fwu::kfw::v2::DecodeInitialVector(
        FileVersion(file[12] | file[13] << 8, file[14] | file[15] << 8),
        Bytes(file.begin() + 16, file.begin() + 32));
    opened.plain.assign(file.begin() + 32, file.end());
    EXPECT_TRUE(fwu::kfw::v2::DecodeBytes(opened.plain.data(), opened.plain.size(), iv));
    const fwu::Sha256 digest =
        fwu::Sha256::calculate(opened.plain.data() + 32, opened.plain.size() - 32);
    opened.digestMatches = std::equal(digest.data(), digest.data() + 32, opened.plain.begin());
    return opened;
}

std::string tempFile(const std::string& name) { return ::testing::TempDir() + name; }

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Every way out of the writer: a new byte stream (which takes the writer's buffer), a byte
// stream that already holds bytes, one positioned before its end (no hand-over), a file.
TEST(V2LargePayload, EveryOutputHoldsTheSameVerifiablePackage) {
    const auto original = largePackage();
    const Bytes prefix{1, 2, 3, 4, 5};

    fwu::OutputByteStream fresh;
    fwu::kfw::v2::KfwSerializer(0).serialize(original.get(), &fresh);
    EXPECT_EQ(fresh.position(), fresh.byteSize());

    fwu::OutputByteStream appended;
    appended.writeBytes(prefix.data(), prefix.size());
    fwu::kfw::v2::KfwSerializer(0).serialize(original.get(), &appended);
    EXPECT_EQ(appended.position(), appended.byteSize());
    ASSERT_GT(appended.byteSize(), prefix.size());
    EXPECT_EQ(Bytes(appended.bytes().begin(), appended.bytes().begin() + 5), prefix);

    // Overwrites from its start and keeps the zero bytes beyond what the package needs.
    const size_t zeroed = fresh.byteSize() + 100;
    fwu::OutputByteStream overwritten(fwu::OutputByteStream::ModeZeroed, zeroed);
    fwu::kfw::v2::KfwSerializer(0).serialize(original.get(), &overwritten);
    EXPECT_EQ(overwritten.position(), fresh.byteSize());
    ASSERT_EQ(overwritten.byteSize(), zeroed);
    EXPECT_EQ(Bytes(overwritten.bytes().end() - 100, overwritten.bytes().end()), Bytes(100, 0));

    const std::string path = tempFile("v2_large_out.kfw2");
    {
        fwu::OutputFileStream out;
        out.open(path);
        fwu::kfw::v2::KfwSerializer(0).serialize(original.get(), &out);
    }
    const Bytes written = readFile(path);
    std::remove(path.c_str());

    const std::vector<std::pair<const char*, Bytes>> outputs = {
        {"fresh", fresh.bytes()},
        {"appended", Bytes(appended.bytes().begin() + 5, appended.bytes().end())},
        {"overwritten",
         Bytes(overwritten.bytes().begin(), overwritten.bytes().begin() + fresh.byteSize())},
        {"file", written}};
    Bytes firstPlain;
    for (const auto& [name, bytes] : outputs) {
        ASSERT_EQ(bytes.size(), fresh.byteSize()) << name;
        const Opened opened = open(bytes);
        EXPECT_TRUE(opened.digestMatches) << name;
        // Each save draws its own IV, so only the plain payloads can be compared.
        if (firstPlain.empty())
            firstPlain = opened.plain;
        else
            EXPECT_TRUE(opened.plain == firstPlain) << name;
        expectSameContent(*original, *read(bytes));
    }
}

// From bytes the payload is decrypted out of the caller's buffer; from a file it is read and
// decrypted in place. Both must give the package back and leave the caller's bytes alone.
TEST(V2LargePayload, LoadsFromBytesAndFromFile) {
    const auto original = largePackage();
    const Bytes bytes = write(*original);
    const Bytes kept = bytes;

    const auto fromBytes = fwu::kfw::LoadKfwFileFromBytes(bytes.data(), bytes.size());
    expectSameContent(*original, *fromBytes);
    EXPECT_TRUE(bytes == kept);

    const std::string path = tempFile("v2_large_in.kfw2");
    writeFile(path, bytes);
    const auto fromPath = fwu::kfw::LoadKfwFileFromPath(path);
    std::remove(path.c_str());
    expectSameContent(*original, *fromPath);
}

// The digest is checked before anything of the body is reported, whichever piece is damaged.
TEST(V2LargePayload, DamageAnywhereIsAnInvalidHash) {
    const Bytes valid = write(*largePackage());
    const size_t payload = valid.size() - 32;
    std::vector<size_t> offsets = {
        16, 31, 32, 40, 32 + payload / 2, valid.size() - 17, valid.size() - 1};
    // Both sides of every piece the payload is decrypted and hashed in.
    for (size_t piece = 32 + (2u << 20); piece < valid.size(); piece += 2u << 20) {
        offsets.push_back(piece - 1);
        offsets.push_back(piece);
    }
    for (size_t at : offsets) {
        Bytes damaged = valid;
        damaged[at] ^= 0x04;
        EXPECT_TRUE(throwsFwuException([&] { read(damaged); }, fwu::PackageError::kInvalidHash))
            << at;
        EXPECT_TRUE(throwsFwuException(
            [&] { fwu::kfw::LoadKfwFileFromBytes(damaged.data(), damaged.size()); },
            fwu::PackageError::kInvalidHash))
            << at;
    }
}

// Large payloads live in memory that is reused after a package is released: a load that
// reuses it holds its own package only, whether it succeeds or is refused, and never touches
// a package still alive.
TEST(V2LargePayload, ReusedPayloadMemoryHoldsOnlyTheNewPackage) {
    const auto first = largePackage(1), second = largePackage(11);
    const Bytes firstFile = write(*first), secondFile = write(*second);
    Bytes damaged = secondFile;
    damaged[damaged.size() / 2] ^= 0x10;

    for (int round = 0; round < 2; ++round) {
        auto kept = read(firstFile);
        expectSameContent(*second, *read(secondFile));  // takes fresh memory: `kept` holds its own
        expectSameContent(*first, *kept);
        kept.reset();
        expectSameContent(*second, *read(secondFile));  // reuses what `kept` released
        EXPECT_TRUE(throwsFwuException([&] { read(damaged); }, fwu::PackageError::kInvalidHash));
        expectSameContent(*first, *read(firstFile));
    }
}

// The images of a loaded package share the memory they were decrypted into; each gives its own
// digest when asked, and each keeps that memory alive while its blob lives.
TEST(V2LargePayload, ImagesOfALoadedPackageHaveTheirOwnDigests) {
    const auto original = largePackage();
    auto loaded = read(write(*original));
    ASSERT_EQ(loaded->blobs().size(), original->blobs().size());
    for (size_t i = 0; i < loaded->blobs().size(); ++i) {
        const fwu::kfw::Blob& blob = *loaded->blobs()[i];
        EXPECT_EQ(blob.hash(), fwu::Sha256::calculate(blob.bytes(), blob.size())) << i;
        EXPECT_EQ(blob.hash(), original->blobs()[i]->hash()) << i;
    }
    // The large image, unregistered from the package, stays readable while its blob lives.
    const fwu::kfw::Blob* large = loaded->blobs()[1].get();
    const Bytes expected = fwu::test::pkg::blobBytes(*original->blobs()[1]);
    const fwu::Uuid others[] = {loaded->blobs()[0]->id(), loaded->blobs()[2]->id()};
    for (const fwu::Uuid& id : others) EXPECT_TRUE(loaded->unregisterBlob(id));
    EXPECT_TRUE(fwu::test::pkg::blobBytes(*large) == expected);
}

// A large payload with a correct digest but a body that is not msgpack, or not the schema, fails
// as a small one does; with a wrong digest as well, the digest is reported.
TEST(V2LargePayload, BodyErrorsComeAfterTheDigest) {
    const Bytes junk = randomBytes(10u << 20, 7);
    const Bytes notMsgpack = seal(Bytes{0xC1}, FileVersion(2, 0), junk);
    EXPECT_THROW(read(notMsgpack), msgpack::parse_error);

    Bytes wrongDigest = notMsgpack;
    wrongDigest.back() ^= 0x01;
    EXPECT_TRUE(throwsFwuException([&] { read(wrongDigest); }, fwu::PackageError::kInvalidHash));

    // A large image under a body that lacks the schema's first field.
    const Bytes noMargin = seal(pack(map({{"blobs", array({map({{"data", bin(junk)}})})}})));
    EXPECT_TRUE(
        throwsFwuException([&] { read(noMargin); }, fwu::PackageError::kMsgpackKeyNotFound));
}

// The hasher against one-shot hashing: pieces of every size, the buffer moving between pieces,
// published ends that go nowhere or stay before the start.
TEST(V2PayloadHasher, DigestEqualsOneShotHash) {
    const Bytes data = randomBytes((5u << 20) + 77, 11);
    const size_t from = 32;
    const fwu::Sha256 expected = fwu::Sha256::calculate(data.data() + from, data.size() - from);
    for (bool concurrent : {false, true}) {
        Bytes first(data.size()), second(data.size());
        fwu::kfw::v2::PayloadHasher hasher(from, concurrent);
        std::mt19937 random(5);
        size_t end = 0;
        bool moved = false;
        Bytes* current = &first;
        while (end < data.size()) {
            const size_t piece = std::min<size_t>(data.size() - end, random() % (1u << 20));
            std::copy(data.begin() + end, data.begin() + end + piece, current->begin() + end);
            end += piece;
            // Half-way the bytes move to another buffer, as a growing vector's do.
            if (!moved && end > data.size() / 2) {
                hasher.drain();
                std::copy(first.begin(), first.begin() + end, second.begin());
                std::fill(first.begin(), first.end(), 0);
                current = &second;
                moved = true;
            }
            hasher.publish(current->data(), end);
            if (piece % 3 == 0) hasher.publish(current->data(), end / 2);  // never goes back
        }
        EXPECT_EQ(hasher.finish(), expected) << "concurrent " << concurrent;
    }
}

// Deciphering in pieces, out of place, equals the one-shot function in place.
TEST(V2Cipher, PiecesOutOfPlaceEqualOneShotInPlace) {
    const Bytes iv(16, 0x42);
    const Bytes plain = randomBytes(16 * 1000, 3);
    for (bool encrypt : {true, false}) {
        Bytes oneShot = plain;
        ASSERT_TRUE(encrypt ? fwu::kfw::v2::EncodeBytes(oneShot.data(), oneShot.size(), iv)
                            : fwu::kfw::v2::DecodeBytes(oneShot.data(), oneShot.size(), iv));
        Bytes pieces(plain.size());
        fwu::kfw::v2::CbcCipher cipher(iv, encrypt);
        size_t done = 0;
        for (size_t piece : {16u, 4800u, 0u, 11184u}) {
            ASSERT_TRUE(cipher.update(plain.data() + done, pieces.data() + done, piece));
            done += piece;
        }
        ASSERT_EQ(done, plain.size());
        EXPECT_TRUE(cipher.finish());
        EXPECT_TRUE(pieces == oneShot) << "encrypt " << encrypt;
    }
    fwu::kfw::v2::CbcCipher partial(iv, true);
    Bytes out(32);
    EXPECT_FALSE(partial.update(plain.data(), out.data(), 20));
    fwu::kfw::v2::CbcCipher shortIv(Bytes(15, 1), false);
    EXPECT_FALSE(shortIv.update(plain.data(), out.data(), 16));
    EXPECT_FALSE(shortIv.finish());
}

}  // namespace
