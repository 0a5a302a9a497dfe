// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace fwu::kfw::v1 {

// Offsets and sizes of the legacy plain image (after the 2-byte checksum and deciphering).
// All integers in it are little-endian.
namespace layout {

constexpr uint16_t kFileTag = 0x0020;
constexpr uint16_t kOldFileTag = 0x0010;  // accepted when reading, never written
constexpr uint16_t kUnitTag = 0x0010;

constexpr size_t kChecksumSize = 2;

// Header, followed by the unit directory, all within the first 2048 bytes.
constexpr size_t kProductOffset = 2;
constexpr size_t kProductSize = 16;
constexpr size_t kTargetVersionOffset = 19;
constexpr size_t kUnitCountOffset = 51;
constexpr size_t kUnitDirectoryOffset = 53;
constexpr size_t kUnitEntrySize = 37;  // version string, 0, offset, size, 3 zero bytes
constexpr size_t kHeaderSize = 2048;
constexpr size_t kMaxUnits = (kHeaderSize - kUnitDirectoryOffset) / kUnitEntrySize;  // 53

// Unit header, followed by its item directory, within the unit's first 256 bytes.
constexpr size_t kUnitVersionOffset = 2;
constexpr size_t kItemCountOffset = 51;
constexpr size_t kItemDirectoryOffset = 53;
constexpr size_t kItemEntrySize = 10;  // tag, offset, size
constexpr size_t kUnitHeaderSize = 256;
constexpr size_t kMaxItems = (kUnitHeaderSize - kItemDirectoryOffset) / kItemEntrySize;  // 20

// Item header; the data follows at offset 128.
constexpr size_t kItemTimeOffset = 2;
constexpr size_t kItemDataSizeOffset = 18;
constexpr size_t kItemHeaderSize = 128;

static_assert(kMaxUnits == 53 && kMaxItems == 20, "directory capacities of the format");

}  // namespace layout

}  // namespace fwu::kfw::v1
