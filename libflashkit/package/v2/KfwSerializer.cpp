// SPDX-License-Identifier: Apache-2.0
#include "package/v2/KfwSerializer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/CriticalSectionLocker.h"
#include "core/Exception.h"
#include "core/OutputByteStream.h"
#include "core/Sha256.h"
#include "package/KfwFile.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "package/v2/KfwCipher.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwKeys.h"
#include "package/v2/Msgpack.h"
#include "package/v2/PayloadHasher.h"
#include "package/v2/PayloadMemory.h"

namespace fwu::kfw::v2 {

namespace {

constexpr size_t kDigestSize = 32;
constexpr size_t kBlockSize = 16;
constexpr size_t kInitialCapacity = 8192;

// Pieces in which the payload is handed to the hasher while it is still being packed.
constexpr size_t kPiece = size_t(2) << 20;
// Below this a second thread costs more than it saves.
constexpr size_t kConcurrentSize = size_t(4) << 20;

// The plain payload under construction: digest slot, body, padding, after `lead` bytes kept
// free for whatever the output already holds (see KfwSerializer::serialize). It is hashed
// while it is packed and encrypted where it lies, so the images are copied exactly once, into
// here.
class PayloadBuffer {
public:
    PayloadBuffer(size_t lead, bool concurrent)
        : m_lead(lead), m_hasher(lead + kDigestSize, concurrent) {
        m_bytes.reserve(lead + kInitialCapacity);
        m_bytes.resize(lead + kDigestSize);
    }

    // The packer's sink. Images go in pieces so that hashing starts before their copy ends.
    void write(const char* data, size_t size) {
        reserveMore(size);
        while (size > 0) {
            const size_t piece = size < kPiece ? size : kPiece;
            m_bytes.insert(m_bytes.end(), data, data + piece);
            data += piece;
            size -= piece;
            if (m_bytes.size() - m_published >= kPiece) publish();
        }
    }

    void reserveMore(size_t size) {
        if (m_bytes.capacity() - m_bytes.size() >= size) return;
        // The storage moves: the hasher must be done with the old one.
        m_hasher.drain();
        m_bytes.reserve(std::max(m_bytes.size() + size, 2 * m_bytes.capacity()));
        AdviseHugePages(m_bytes.data() + m_bytes.size(), m_bytes.capacity() - m_bytes.size());
    }

    // Pads the payload to whole blocks and puts the digest of the body and padding in its slot.
    void seal() {
        const size_t payload = m_bytes.size() - m_lead;
        reserveMore(kBlockSize);
        m_bytes.resize(m_lead + (payload + kBlockSize - 1) / kBlockSize * kBlockSize, 0);
        publish();
        const Sha256 digest = m_hasher.finish();
        std::memcpy(m_bytes.data() + m_lead, digest.data(), kDigestSize);
    }

    uint8_t* payload() { return m_bytes.data() + m_lead; }
    size_t payloadSize() const { return m_bytes.size() - m_lead; }
    // Lead and payload.
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    void publish() {
        m_published = m_bytes.size();
        m_hasher.publish(m_bytes.data(), m_published);
    }

    size_t m_lead;
    size_t m_published = 0;
    std::vector<uint8_t> m_bytes;
    // Declared after the bytes, so its thread stops before they go.
    PayloadHasher m_hasher;
};

using Packer = msgpack::packer<PayloadBuffer>;

bool BlobCompareFunc(const Blob* a, const Blob* b) { return a->name() < b->name(); }

// Writes one body. In canonical mode every ID is the object's content-derived virtual ID and
// the blobs are sorted by name, so equal content gives equal bytes.
class BodyWriter {
public:
    BodyWriter(const kfw::KfwFile& file, bool canonical, PayloadBuffer& buffer)
        : m_file(file), m_canonical(canonical), m_buffer(buffer), m_packer(buffer) {}

    void serialize_msgpack() {
        const bool hasProfile = !m_file.deviceProfile().empty();
        m_packer.pack_map(hasProfile ? 7 : 6);
        serialize_string("estimatedTimeMargin");
        m_packer.pack_uint32(m_file.estimatedTimeMargin());
        serialize_products();
        serialize_target_version();
        if (hasProfile) serialize_device_profile();

        std::vector<const Blob*> blobs;
        size_t imageBytes = 0;
        for (const auto& blob : m_file.blobs()) {
            blobs.push_back(blob.get());
            imageBytes += blob->size();
        }
        if (m_canonical) std::stable_sort(blobs.begin(), blobs.end(), BlobCompareFunc);
        // One growth step for all images instead of doubling through them.
        m_buffer.reserveMore(imageBytes + kInitialCapacity);
        serialize_string("blobs");
        m_packer.pack_array(static_cast<uint32_t>(blobs.size()));
        for (const Blob* blob : blobs) serialize_blob(*blob);

        serialize_string("actions");
        m_packer.pack_array(static_cast<uint32_t>(m_file.actions().size()));
        for (const auto& action : m_file.actions()) serialize_action(*action);

        serialize_string("bundles");
        m_packer.pack_array(static_cast<uint32_t>(m_file.bundles().size()));
        for (const auto& bundle : m_file.bundles()) serialize_bundle(*bundle);
    }

private:
    void serialize_string(const std::string& text) {
        m_packer.pack_str(static_cast<uint32_t>(text.size()));
        m_packer.pack_str_body(text.data(), static_cast<uint32_t>(text.size()));
    }

    void serialize_bytes(const uint8_t* data, size_t size) {
        m_packer.pack_bin(static_cast<uint32_t>(size));
        m_packer.pack_bin_body(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
    }

    void serialize_uuid(const Uuid& id) { serialize_bytes(id.data(), id.size()); }

    void serialize_products() {
        serialize_string("products");
        m_packer.pack_array(static_cast<uint32_t>(m_file.products().size()));
        for (const std::string& product : m_file.products()) serialize_string(product);
    }

    void serialize_target_version() {
        const std::vector<DeviceVersion>& versions = m_file.targetVersion().items();
        serialize_string("version");
        m_packer.pack_array(static_cast<uint32_t>(versions.size()));
        for (const DeviceVersion& version : versions) {
            m_packer.pack_map(2);
            serialize_string("device");
            m_packer.pack_uint32(version.deviceID);
            serialize_string("version");
            m_packer.pack_uint32(version.version.value());
        }
    }

    void serialize_device_profile() {
        const dev::DeviceProfileList& profile = m_file.deviceProfile();
        serialize_string("deviceProfile");
        m_packer.pack_map(2);
        serialize_string("devices");
        m_packer.pack_array(static_cast<uint32_t>(profile.items().size()));
        for (const dev::DeviceProfile& device : profile.items()) {
            m_packer.pack_map(4);
            serialize_string("name");
            serialize_string(device.name);
            serialize_string("fileName");
            serialize_string(device.fileName);
            serialize_string("device");
            m_packer.pack_uint32(device.device);
            serialize_string("versionRepresentation");
            m_packer.pack_uint32(device.versionRepresentation);
        }
        serialize_string("displayDevices");
        m_packer.pack_array(static_cast<uint32_t>(profile.displayDeviceIDs().size()));
        for (uint32_t id : profile.displayDeviceIDs()) m_packer.pack_uint32(id);
    }

    Uuid idOf(const KfwObject& object) const {
        return m_canonical ? object.virtualID(&m_file) : object.id();
    }

    // A reference to an object the package lacks keeps its stored ID in canonical mode.
    Uuid blobReference(const Uuid& blobID) const {
        if (!m_canonical) return blobID;
        const Blob* blob = m_file.findBlob(blobID);
        return blob ? blob->virtualID(&m_file) : blobID;
    }

    Uuid actionReference(const Uuid& actionID) const {
        if (!m_canonical) return actionID;
        const Action* action = m_file.findAction(actionID);
        return action ? action->virtualID(&m_file) : actionID;
    }

    void serialize_blob(const Blob& blob) {
        const std::string name = blob.name();
        m_packer.pack_map(4);
        serialize_string("id");
        serialize_uuid(idOf(blob));
        serialize_string("name");
        serialize_string(name);
        serialize_string("path");
        serialize_string(m_canonical ? name : blob.path());
        serialize_string("data");
        serialize_bytes(blob.bytes(), blob.size());
    }

    void serialize_action_base(const Action& action, uint32_t entries) {
        m_packer.pack_map(entries);
        serialize_string("id");
        serialize_uuid(idOf(action));
        serialize_string("estimatedTime");
        m_packer.pack_uint32(action.estimatedTime());
        serialize_string("type");
        serialize_string(Action::toString(action.type()));
    }

    void serialize_transfer_data_action(const TransferDataAction& action) {
        serialize_action_base(action, 5);
        serialize_string("blob");
        serialize_uuid(blobReference(action.blobID()));
        serialize_string("fileName");
        serialize_string(action.fileName());
    }

    void serialize_transfer_mstar_data_action(const TransferMStarDataAction& action) {
        serialize_action_base(action, 6);
        serialize_string("blob");
        serialize_uuid(blobReference(action.blobID()));
        serialize_string("address");
        m_packer.pack_uint32(action.address());
        serialize_string("updateFlagAddress");
        m_packer.pack_uint32(action.updateFlagAddress());
    }

    void serialize_transfer_zv_data_action(const TransferZVDataAction& action) {
        serialize_action_base(action, 5);
        serialize_string("blob");
        serialize_uuid(blobReference(action.blobID()));
        serialize_string("address");
        m_packer.pack_uint32(action.address());
    }

    // The type decides the entries, so an object whose class does not match its type cannot
    // be written faithfully.
    void serialize_action(const Action& action) {
        switch (action.type()) {
        case Action::TypeTransferData:
            if (auto* a = dynamic_cast<const TransferDataAction*>(&action))
                return serialize_transfer_data_action(*a);
            break;
        case Action::TypeTransferMStarData:
            if (auto* a = dynamic_cast<const TransferMStarDataAction*>(&action))
                return serialize_transfer_mstar_data_action(*a);
            break;
        case Action::TypeTransferZVData:
            if (auto* a = dynamic_cast<const TransferZVDataAction*>(&action))
                return serialize_transfer_zv_data_action(*a);
            break;
        default: throw Exception(PackageError::kUnknownActionType);
        }
        throw Exception(PackageError::kInvalidAction);
    }

    void serialize_bundle(const Bundle& bundle) {
        m_packer.pack_map(4);
        serialize_string("id");
        serialize_uuid(idOf(bundle));
        serialize_string("actions");
        m_packer.pack_array(static_cast<uint32_t>(bundle.actionIDs().size()));
        for (const Uuid& id : bundle.actionIDs()) serialize_uuid(actionReference(id));
        serialize_string("conditions");
        m_packer.pack_array(static_cast<uint32_t>(bundle.conditions().size()));
        for (const DeviceVersionCondition& condition : bundle.conditions()) {
            m_packer.pack_map(3);
            serialize_string("device");
            m_packer.pack_uint32(condition.deviceVersion.deviceID);
            serialize_string("version");
            m_packer.pack_uint32(condition.deviceVersion.version.value());
            serialize_string("comparison");
            serialize_string(Version::toString(condition.op));
        }
        serialize_string("estimatedTime");
        m_packer.pack_uint32(bundle.estimatedTime());
    }

    const kfw::KfwFile& m_file;
    bool m_canonical;
    PayloadBuffer& m_buffer;
    Packer m_packer;
};

void WriteUint16(OutputStream* stream, uint32_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    stream->writeBytes(bytes, sizeof bytes);
}

}  // namespace

void KfwSerializer::serialize(const kfw::KfwFile* file, OutputStream* stream) {
    // Editors may run on other threads; the package must not change while it is written.
    CriticalSectionLocker lock(&file->mutex());
    const FileVersion version = RequiredFileVersion(*file);
    const std::vector<uint8_t>& magic = MagicNumber();
    stream->writeBytes(magic.data(), magic.size());
    WriteUint16(stream, version.major.value());
    WriteUint16(stream, version.minor.value());

    const std::vector<uint8_t> iv = Uuid::generate().bytes();
    const std::vector<uint8_t> maskedIv = EncodeInitialVector(version, iv);
    const bool encrypt = needs_encryption();
    if (encrypt) {
        stream->writeBytes(maskedIv.data(), maskedIv.size());
    } else {
        const uint8_t zeros[kBlockSize] = {};
        stream->writeBytes(zeros, sizeof zeros);
    }

    // A byte stream being appended to takes the finished buffer instead of a copy of it: the
    // buffer leaves room in front for what the stream already holds.
    auto* sink = dynamic_cast<OutputByteStream*>(stream);
    if (sink && sink->position() != sink->byteSize()) sink = nullptr;
    const size_t lead = sink ? sink->position() : 0;

    size_t imageBytes = 0;
    for (const auto& blob : file->blobs()) imageBytes += blob->size();
    PayloadBuffer buffer(lead, imageBytes >= kConcurrentSize);
    BodyWriter(*file, !encrypt, buffer).serialize_msgpack();
    buffer.seal();
    if (encrypt && !EncodeBytes(buffer.payload(), buffer.payloadSize(), iv))
        throw Exception(PackageError::kEncodeFailed);
    if (sink) {
        std::vector<uint8_t>& bytes = buffer.bytes();
        if (lead) std::memcpy(bytes.data(), sink->bytes().data(), lead);
        sink->bytes().swap(bytes);
        sink->seek(sink->bytes().size());
    } else {
        stream->writeBytes(buffer.payload(), buffer.payloadSize());
    }
}

}  // namespace fwu::kfw::v2
