// SPDX-License-Identifier: Apache-2.0
#include "package/v1/KfwParser.h"

#include <memory>
#include <utility>
#include <vector>

#include "core/CriticalSectionLocker.h"
#include "core/Exception.h"
#include "core/InputByteStream.h"
#include "package/Blob.h"
#include "package/Bundle.h"
#include "package/TransferDataAction.h"
#include "package/v1/Blowfish.h"
#include "package/v1/Checksum.h"
#include "package/v1/KfwFile.h"
#include "package/v1/KfwItemTag.h"
#include "package/v1/KfwLayout.h"
#include "package/v1/VersionString.h"

namespace fwu::kfw::v1 {

namespace {

// Every count, offset and size in a legacy file is checked against the bytes that are really
// there before it is used: a damaged or hostile file ends in this exception, never in a read
// past the image or an allocation the file cannot back.
[[noreturn]] void ThrowTooSmall() { throw Exception(PackageError::kDataTooSmall); }

size_t Remaining(const InputStream& in) { return in.byteSize() - in.position(); }

void RequireRemaining(const InputStream& in, size_t count) {
    if (count > Remaining(in)) ThrowTooSmall();
}

// A (offset, size) pair of a directory must describe a range inside `area` bytes.
void RequireRange(uint32_t offset, uint32_t size, size_t minimumSize, size_t area) {
    if (size < minimumSize || offset > area || size > area - offset) ThrowTooSmall();
}

DeviceVersionList ReadVersionString(InputStream& in) {
    return DeviceVersionListFromVersionString(in.readString(kVersionStringLength));
}

struct UnitEntry {
    DeviceVersionList versions;
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct ItemEntry {
    uint16_t tag = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

std::vector<uint8_t> ReadPlainImage(InputStream* stream) {
    stream->seek(0);
    const size_t size = stream->byteSize();
    if (size < layout::kChecksumSize + 1) ThrowTooSmall();
    const uint16_t stored = stream->read<uint16_t>();
    std::vector<uint8_t> image = stream->readBytes(size - layout::kChecksumSize);
    if (CalculateChecksum(image.data(), image.size(), 0) != stored)
        throw Exception(PackageError::kLegacyChecksumInvalid);
    DecodeBytes(image);
    return image;
}

void ReadHeader(KfwFile* file, InputStream& in) {
    RequireRemaining(in, layout::kHeaderSize);
    const uint16_t tag = in.read<uint16_t>();
    if (tag != layout::kFileTag && tag != layout::kOldFileTag)
        throw Exception(PackageError::kLegacyKfwTagInvalid);
    file->products().push_back(in.readString(layout::kProductSize));
    in.skip(1);
    file->targetVersion() = ReadVersionString(in);
}

std::vector<UnitEntry> ReadUnitDirectory(InputStream& in) {
    in.seek(layout::kUnitCountOffset);
    const uint16_t count = in.read<uint16_t>();
    // More entries would run into the units.
    if (count > layout::kMaxUnits) ThrowTooSmall();
    const size_t unitArea = in.byteSize() - layout::kHeaderSize;
    std::vector<UnitEntry> entries(count);
    for (UnitEntry& entry : entries) {
        entry.versions = ReadVersionString(in);
        in.skip(1);
        entry.offset = in.read<uint32_t>();
        entry.size = in.read<uint32_t>();
        in.skip(3);
        // Units are read one after another, but a directory that points outside the image
        // belongs to a damaged file.
        RequireRange(entry.offset, entry.size, layout::kUnitHeaderSize, unitArea);
    }
    return entries;
}

std::vector<ItemEntry> ReadItemDirectory(InputStream& in, size_t unitStart, const UnitEntry& unit) {
    in.seek(unitStart + layout::kItemCountOffset);
    const uint16_t count = in.read<uint16_t>();
    // More entries would run into the items.
    if (count > layout::kMaxItems) ThrowTooSmall();
    const size_t itemArea = unit.size - layout::kUnitHeaderSize;
    std::vector<ItemEntry> entries(count);
    for (ItemEntry& entry : entries) {
        entry.tag = in.read<uint16_t>();
        entry.offset = in.read<uint32_t>();
        entry.size = in.read<uint32_t>();
        RequireRange(entry.offset, entry.size, layout::kItemHeaderSize, itemArea);
    }
    return entries;
}

// Reads one item at the stream position and leaves the stream after its data. The blob and
// the action go into the package, which merges them with equal ones it already holds.
const Action* ReadItem(KfwFile* file, InputStream& in, const ItemEntry& entry) {
    const size_t itemStart = in.position();
    RequireRemaining(in, layout::kItemHeaderSize);
    const uint16_t tag = in.read<uint16_t>();
    if (tag != entry.tag) throw Exception(PackageError::kLegacyDifferentTag);
    const uint32_t estimatedTime = in.read<uint32_t>();
    in.seek(itemStart + layout::kItemDataSizeOffset);
    const uint32_t dataSize = in.read<uint32_t>();
    in.seek(itemStart + layout::kItemHeaderSize);
    RequireRemaining(in, dataSize);

    auto blob = std::make_unique<Blob>();
    blob->setBytes(in.readBytes(dataSize));
    const Blob* registeredBlob = file->registerBlob(std::move(blob));

    auto action = std::make_unique<TransferDataAction>();
    action->setEstimatedTime(estimatedTime);
    action->setTransferData(registeredBlob->id(), GetFileNameFromKfwItemTag(tag));
    return file->registerAction(std::move(action));
}

void ReadUnit(KfwFile* file, InputStream& in, const UnitEntry& unit) {
    const size_t unitStart = in.position();
    RequireRemaining(in, layout::kUnitHeaderSize);
    if (in.read<uint16_t>() != layout::kUnitTag)
        throw Exception(PackageError::kLegacyKfwTagInvalid);
    const DeviceVersionList versions = ReadVersionString(in);
    if (versions != unit.versions) throw Exception(PackageError::kLegacyDifferentVersion);
    const std::vector<ItemEntry> items = ReadItemDirectory(in, unitStart, unit);

    in.seek(unitStart + layout::kUnitHeaderSize);
    auto bundle = std::make_unique<Bundle>();
    for (const ItemEntry& item : items) bundle->push(ReadItem(file, in, item)->id());
    for (const DeviceVersion& version : versions.items())
        bundle->addCondition(version, Version::OperatorEqual);
    file->registerBundle(std::move(bundle));
}

}  // namespace

bool KfwParser::isValid(InputStream* stream) {
    if (!stream) return false;
    bool valid = false;
    size_t start = 0;
    try {
        start = stream->position();
        const size_t size = stream->byteSize();
        if (size > layout::kChecksumSize) {
            stream->seek(0);
            const uint16_t stored = stream->read<uint16_t>();
            uint8_t chunk[4096];
            uint16_t sum = 0;
            for (size_t left = size - layout::kChecksumSize; left > 0;) {
                const size_t piece = left < sizeof chunk ? left : sizeof chunk;
                stream->readBytes(chunk, piece);
                sum = CalculateChecksum(chunk, piece, sum);
                left -= piece;
            }
            valid = sum == stored;
        }
    } catch (...) {
        valid = false;
    }
    // The loader asks each format in turn, so leave the stream where it was.
    try {
        stream->seek(start);
    } catch (...) {}
    return valid;
}

void KfwParser::parse(v1::KfwFile* file, InputStream* stream) {
    if (!file || !stream) throw Exception(PackageError::kInvalidKfwFile);
    CriticalSectionLocker lock(&file->mutex());
    const std::vector<uint8_t> image = ReadPlainImage(stream);
    InputByteStream in(image.data(), image.size());
    ReadHeader(file, in);
    const std::vector<UnitEntry> units = ReadUnitDirectory(in);
    in.seek(layout::kHeaderSize);
    for (const UnitEntry& unit : units) ReadUnit(file, in, unit);
}

}  // namespace fwu::kfw::v1
