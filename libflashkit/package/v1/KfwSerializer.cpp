// SPDX-License-Identifier: Apache-2.0
#include "package/v1/KfwSerializer.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/CriticalSectionLocker.h"
#include "core/Exception.h"
#include "core/OutputByteStream.h"
#include "package/KfwFile.h"
#include "package/TransferDataAction.h"
#include "package/v1/Blowfish.h"
#include "package/v1/Checksum.h"
#include "package/v1/KfwItemTag.h"
#include "package/v1/KfwLayout.h"
#include "package/v1/VersionString.h"

namespace fwu::kfw::v1 {

namespace {

struct PlannedItem {
    const TransferDataAction* action;
    const Blob* blob;
    KfwItemTag tag = KfwItemTagNone;
    size_t size() const { return layout::kItemHeaderSize + blob->size(); }
};

struct PlannedUnit {
    std::string versions;
    std::vector<PlannedItem> items;
    size_t offset = 0;  // relative to the end of the header
    size_t size = layout::kUnitHeaderSize;
};

// Writes little-endian fields at absolute offsets of a zero-filled image of fixed size.
class ImageWriter {
public:
    explicit ImageWriter(size_t size) : m_stream(OutputByteStream::ModeZeroed, size) {}

    void put16(size_t offset, uint16_t value) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
        put(offset, bytes, sizeof bytes);
    }
    void put32(size_t offset, uint32_t value) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(value >> 16),
                                  static_cast<uint8_t>(value >> 24)};
        put(offset, bytes, sizeof bytes);
    }
    void put(size_t offset, const std::string& text) { put(offset, text.data(), text.size()); }
    void put(size_t offset, const void* data, size_t count) {
        m_stream.seek(offset);
        m_stream.writeBytes(data, count);
    }
    std::vector<uint8_t>& bytes() { return m_stream.bytes(); }

private:
    OutputByteStream m_stream;
};

// The bundle's items: its actions that exist and transfer data, in bundle order.
PlannedUnit PlanUnit(const kfw::KfwFile& file, const Bundle& bundle) {
    PlannedUnit unit;
    unit.versions = VersionStringFromConditions(bundle.conditions());
    for (const Uuid& id : bundle.actionIDs()) {
        const auto* action = dynamic_cast<const TransferDataAction*>(file.findAction(id));
        if (!action) continue;
        const Blob* blob = file.findBlob(action->blobID());
        if (!blob) throw Exception(PackageError::kBlobNotFound);
        // The data size field is 32 bits wide.
        if (blob->size() > std::numeric_limits<uint32_t>::max() - layout::kItemHeaderSize)
            throw Exception(PackageError::kLegacyBlobTooLarge);
        unit.items.push_back({action, blob});
        unit.size += unit.items.back().size();
    }
    if (unit.items.size() > layout::kMaxItems) throw Exception(PackageError::kLegacyTooManyItems);
    return unit;
}

std::vector<PlannedUnit> PlanUnits(const kfw::KfwFile& file) {
    if (file.bundles().size() > layout::kMaxUnits)
        throw Exception(PackageError::kLegacyTooManyBundles);
    std::vector<PlannedUnit> units;
    size_t offset = 0;
    for (const auto& bundle : file.bundles()) {
        units.push_back(PlanUnit(file, *bundle));
        PlannedUnit& unit = units.back();
        unit.offset = offset;
        // Unit offsets and sizes are 32-bit fields.
        if (unit.size > std::numeric_limits<uint32_t>::max() - offset)
            throw Exception(PackageError::kLegacyPackageTooLarge);
        offset += unit.size;
    }
    // Tags are checked once every blob is known to be there.
    for (PlannedUnit& unit : units) {
        for (PlannedItem& item : unit.items) {
            item.tag = GetKfwItemTagFromFileName(item.action->fileName());
            if (item.tag == KfwItemTagNone) throw Exception(PackageError::kLegacyTagInvalid);
        }
    }
    return units;
}

void WriteUnit(ImageWriter& image, const PlannedUnit& unit) {
    const size_t start = layout::kHeaderSize + unit.offset;
    image.put16(start, layout::kUnitTag);
    image.put(start + layout::kUnitVersionOffset, unit.versions);
    image.put16(start + layout::kItemCountOffset, static_cast<uint16_t>(unit.items.size()));
    size_t itemOffset = 0;
    for (size_t i = 0; i < unit.items.size(); ++i) {
        const PlannedItem& item = unit.items[i];
        const size_t entry = start + layout::kItemDirectoryOffset + i * layout::kItemEntrySize;
        image.put16(entry, item.tag);
        image.put32(entry + 2, static_cast<uint32_t>(itemOffset));
        image.put32(entry + 6, static_cast<uint32_t>(item.size()));

        const size_t itemStart = start + layout::kUnitHeaderSize + itemOffset;
        image.put16(itemStart, item.tag);
        image.put32(itemStart + layout::kItemTimeOffset, item.action->estimatedTime());
        image.put32(itemStart + layout::kItemDataSizeOffset,
                    static_cast<uint32_t>(item.blob->size()));
        image.put(itemStart + layout::kItemHeaderSize, item.blob->bytes(), item.blob->size());
        itemOffset += item.size();
    }
}

}  // namespace

void KfwSerializer::serialize(const kfw::KfwFile* file, OutputStream* stream) {
    if (!file || !stream) throw Exception(PackageError::kInvalidKfwFile);
    CriticalSectionLocker lock(&file->mutex());

    if (file->products().empty() || file->products().front().size() > layout::kProductSize)
        throw Exception(PackageError::kLegacyProductInvalid);
    const std::string target = VersionStringFromList(file->targetVersion());
    const std::vector<PlannedUnit> units = PlanUnits(*file);

    const size_t unitArea = units.empty() ? 0 : units.back().offset + units.back().size;
    ImageWriter image(layout::kHeaderSize + unitArea);
    image.put16(0, layout::kFileTag);
    image.put(layout::kProductOffset, file->products().front());
    image.put(layout::kTargetVersionOffset, target);
    image.put16(layout::kUnitCountOffset, static_cast<uint16_t>(units.size()));
    for (size_t i = 0; i < units.size(); ++i) {
        const size_t entry = layout::kUnitDirectoryOffset + i * layout::kUnitEntrySize;
        image.put(entry, units[i].versions);
        image.put32(entry + kVersionStringLength + 1, static_cast<uint32_t>(units[i].offset));
        image.put32(entry + kVersionStringLength + 5, static_cast<uint32_t>(units[i].size));
        WriteUnit(image, units[i]);
    }

    std::vector<uint8_t>& bytes = image.bytes();
    EncodeBytes(bytes);
    const uint16_t checksum = CalculateChecksum(bytes.data(), bytes.size(), 0);
    const uint8_t checksumBytes[2] = {static_cast<uint8_t>(checksum),
                                      static_cast<uint8_t>(checksum >> 8)};
    stream->writeBytes(checksumBytes, sizeof checksumBytes);
    stream->writeBytes(bytes.data(), bytes.size());
}

}  // namespace fwu::kfw::v1
