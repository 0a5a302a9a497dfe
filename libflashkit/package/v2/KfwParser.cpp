// SPDX-License-Identifier: Apache-2.0
#include "package/v2/KfwParser.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "core/InputByteStream.h"
#include "core/Sha256.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "package/v2/BodyUnpacker.h"
#include "package/v2/KfwCipher.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwKeys.h"
#include "package/v2/MsgpackAccess.h"
#include "package/v2/PayloadHasher.h"
#include "package/v2/PayloadMemory.h"

namespace fwu::kfw::v2 {

namespace {

constexpr size_t kDigestSize = 32;
constexpr size_t kIvSize = 16;
constexpr size_t kBlockSize = 16;

using msgpack::type::ARRAY;
using msgpack::type::BIN;
using msgpack::type::MAP;
using msgpack::type::POSITIVE_INTEGER;
using msgpack::type::STR;

bool validate_magic_number(InputStream* stream) {
    const std::vector<uint8_t>& magic = MagicNumber();
    stream->seek(0);
    return stream->readBytes(magic.size()) == magic;
}

// Pieces small enough to stay in cache between decrypting and hashing, large enough that the
// hand-over between the threads costs nothing.
constexpr size_t kPiece = size_t(2) << 20;
// Below this a second thread costs more than it saves.
constexpr size_t kConcurrentSize = size_t(4) << 20;

// Decrypts the rest of the stream into `plain` (digest, body and padding), handing each piece
// to the hasher as soon as it is plain. The caller's bytes are decrypted straight into
// `plain`; other streams are read into it piece by piece and decrypted in place, so each piece
// is still in cache when it is decrypted and hashed.
void decode_data(const std::vector<uint8_t>& iv, InputStream* stream, uint8_t* plain, size_t size,
                 PayloadHasher& hasher) {
    const uint8_t* cipher = nullptr;
    if (auto* bytes = dynamic_cast<InputByteStream*>(stream)) {
        cipher = bytes->data() + bytes->position();
        bytes->skip(size);
    }
    if (size % kBlockSize != 0) throw Exception(PackageError::kDecodeFailed);
    CbcCipher decrypter(iv, false);
    for (size_t done = 0; done < size;) {
        const size_t piece = size - done < kPiece ? size - done : kPiece;
        if (!cipher) stream->readBytes(plain + done, piece);
        if (!decrypter.update(cipher ? cipher + done : plain + done, plain + done, piece))
            throw Exception(PackageError::kDecodeFailed);
        done += piece;
        hasher.publish(plain, done);
    }
    if (!decrypter.finish()) throw Exception(PackageError::kDecodeFailed);
}

// The elements of an array value, for range-for.
struct Elements {
    const msgpack::object* first;
    const msgpack::object* last;
    const msgpack::object* begin() const { return first; }
    const msgpack::object* end() const { return last; }
};

Elements ElementsOf(const msgpack::object& array) {
    msgpack_check_type(array, ARRAY);
    return {array.via.array.ptr, array.via.array.ptr + array.via.array.size};
}

Elements FindArray(const msgpack::object& map, const char* key) {
    return ElementsOf(msgpack_map_find(map, key, ARRAY));
}

uint32_t FindUint32(const msgpack::object& map, const char* key) {
    return msgpack_uint32(msgpack_map_find(map, key, POSITIVE_INTEGER));
}

std::string FindString(const msgpack::object& map, const char* key) {
    return msgpack_string(msgpack_map_find(map, key, STR));
}

Uuid FindUuid(const msgpack::object& map, const char* key) {
    return msgpack_uuid(msgpack_map_find(map, key, BIN));
}

void parse_products(v2::KfwFile* file, const msgpack::object& root) {
    for (const msgpack::object& product : FindArray(root, "products"))
        file->products().push_back(msgpack_string(product));
}

void parse_target_version(v2::KfwFile* file, const msgpack::object& root) {
    for (const msgpack::object& entry : FindArray(root, "version")) {
        DeviceVersion version;
        version.deviceID = FindUint32(entry, "device");
        version.version = Version(FindUint32(entry, "version"));
        file->targetVersion().push(version);
    }
}

void parse_device_profile(v2::KfwFile* file, const msgpack::object& root) {
    if (!msgpack_map_exists(root, "deviceProfile", MAP)) return;
    const msgpack::object& profile = msgpack_map_find(root, "deviceProfile", MAP);
    dev::DeviceProfileList& list = file->deviceProfile();
    for (const msgpack::object& device : FindArray(profile, "devices")) {
        dev::DeviceProfile entry;
        entry.name = FindString(device, "name");
        entry.fileName = FindString(device, "fileName");
        entry.device = FindUint32(device, "device");
        entry.versionRepresentation = FindUint32(device, "versionRepresentation");
        list.push(entry);
    }
    std::vector<uint32_t> display;
    for (const msgpack::object& id : FindArray(profile, "displayDevices"))
        display.push_back(msgpack_uint32(id));
    list.setDisplayDeviceIDs(display);
}

// The image stays where it was decrypted: the blob shares the payload memory.
void SetImage(Blob* blob, const msgpack::object& data, const std::shared_ptr<uint8_t>& payload) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.via.bin.ptr);
    const size_t size = data.via.bin.size;
    blob->setSharedBytes(payload, bytes, size);
}

void parse_blobs(v2::KfwFile* file, const msgpack::object& root,
                 const std::shared_ptr<uint8_t>& payload) {
    for (const msgpack::object& entry : FindArray(root, "blobs")) {
        auto blob = std::make_unique<Blob>();
        blob->setID(FindUuid(entry, "id"));
        blob->setName(FindString(entry, "name"));
        blob->setPath(FindString(entry, "path"));
        SetImage(blob.get(), msgpack_map_find(entry, "data", BIN), payload);
        file->registerBlob(std::move(blob));
    }
}

std::unique_ptr<Action> parse_action(const msgpack::object& entry) {
    const Uuid id = FindUuid(entry, "id");
    const Action::Type type = Action::toType(FindString(entry, "type"));
    const uint32_t estimatedTime = FindUint32(entry, "estimatedTime");
    std::unique_ptr<Action> action;
    switch (type) {
    case Action::TypeTransferZVData: {
        auto zv = std::make_unique<TransferZVDataAction>();
        const Uuid blob = FindUuid(entry, "blob");
        zv->setTransferData(blob, FindUint32(entry, "address"));
        action = std::move(zv);
        break;
    }
    case Action::TypeTransferMStarData: {
        auto mstar = std::make_unique<TransferMStarDataAction>();
        const Uuid blob = FindUuid(entry, "blob");
        const uint32_t address = FindUint32(entry, "address");
        mstar->setTransferData(blob, address, FindUint32(entry, "updateFlagAddress"));
        action = std::move(mstar);
        break;
    }
    case Action::TypeTransferData: {
        auto transfer = std::make_unique<TransferDataAction>();
        const Uuid blob = FindUuid(entry, "blob");
        transfer->setTransferData(blob, FindString(entry, "fileName"));
        action = std::move(transfer);
        break;
    }
    default: throw Exception(PackageError::kInvalidActionType);
    }
    action->setID(id);
    action->setEstimatedTime(estimatedTime);
    return action;
}

void parse_actions(v2::KfwFile* file, const msgpack::object& root) {
    for (const msgpack::object& entry : FindArray(root, "actions"))
        file->registerAction(parse_action(entry));
}

void parse_action_ids(Bundle* bundle, const msgpack::object& entry) {
    for (const msgpack::object& id : FindArray(entry, "actions")) bundle->push(msgpack_uuid(id));
}

void parse_conditions(Bundle* bundle, const msgpack::object& entry) {
    for (const msgpack::object& condition : FindArray(entry, "conditions")) {
        DeviceVersion version;
        version.deviceID = FindUint32(condition, "device");
        version.version = Version(FindUint32(condition, "version"));
        bundle->addCondition(version, Version::toOperator(FindString(condition, "comparison")));
    }
}

void parse_bundles(v2::KfwFile* file, const msgpack::object& root) {
    for (const msgpack::object& entry : FindArray(root, "bundles")) {
        auto bundle = std::make_unique<Bundle>();
        bundle->setID(FindUuid(entry, "id"));
        parse_action_ids(bundle.get(), entry);
        parse_conditions(bundle.get(), entry);
        bundle->setEstimatedTime(FindUint32(entry, "estimatedTime"));
        file->registerBundle(std::move(bundle));
    }
}

}  // namespace

bool KfwParser::isValid(InputStream* stream) { return validate_magic_number(stream); }

void KfwParser::parse(v2::KfwFile* file, InputStream* stream) {
    if (!validate_magic_number(stream)) throw Exception(PackageError::kInvalidMagic);
    const uint16_t major = stream->read<uint16_t>();
    const uint16_t minor = stream->read<uint16_t>();
    const FileVersion version(major, minor);
    file->setFileVersion(version);

    const std::vector<uint8_t> iv = DecodeInitialVector(version, stream->readBytes(kIvSize));
    const size_t end = stream->byteSize(), at = stream->position();
    const size_t size = end > at ? end - at : 0;
    // The images go on living in the payload memory, shared by their blobs.
    const std::shared_ptr<uint8_t> plain = AllocatePayloadMemory(size);
    msgpack::object_handle body;
    std::exception_ptr unpackError;
    {
        PayloadHasher hasher(kDigestSize, size >= kConcurrentSize);
        decode_data(iv, stream, plain.get(), size, hasher);
        if (size < kDigestSize) throw Exception(PackageError::kDataTooSmall);

        // The body is unpacked while the hasher finishes the digest. Nothing reaches `file`,
        // and no unpack error is reported, before the digest is checked.
        try {
            // Strings and bins of the unpacked body point into `plain`, which outlives `body`.
            body = UnpackBody(plain.get() + kDigestSize, size - kDigestSize);
        } catch (...) {
            unpackError = std::current_exception();
        }
        if (hasher.finish() != Sha256::fromBytes(plain.get()))
            throw Exception(PackageError::kInvalidHash);
    }
    if (unpackError) std::rethrow_exception(unpackError);

    const msgpack::object& root = body.get();
    KfwFile::BulkRegistration registration(*file);
    file->updateEstimatedTimeMargin(FindUint32(root, "estimatedTimeMargin"));
    parse_products(file, root);
    parse_target_version(file, root);
    parse_device_profile(file, root);
    parse_blobs(file, root, plain);
    parse_actions(file, root);
    parse_bundles(file, root);
}

}  // namespace fwu::kfw::v2
