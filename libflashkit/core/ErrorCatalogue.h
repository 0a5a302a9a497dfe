// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>

#include "core/ErrorCode.h"

namespace fwu {

// Every failure the package code raises. Each has one entry in the catalogue below, which holds
// its code and its exact message (misspellings included: callers match on them).
enum class PackageError {
    kFstatFailed,
    kOpenFailed,
    kFopenFailed,
    kFreadFailed,
    kFwriteFailed,
    kFseekFailed,
    kBadPosition,
    kInvalidReadSize,
    kJsonKeyNotFound,
    kInvalidJsonType,
    kInvalidKfwFile,
    kInvalidMagic,
    kV1NotSupported,
    kLegacyBlobTooLarge,
    kLegacyTooManyItems,
    kLegacyTooManyBundles,
    kLegacyPackageTooLarge,
    kInvalidUuid,
    kBlobNotFound,
    kInvalidActionType,
    kInvalidAction,
    kUnknownActionType,
    kDataTooSmall,
    kLegacyChecksumInvalid,
    kLegacyKfwTagInvalid,
    kLegacyDifferentTag,
    kLegacyTagInvalid,
    kLegacyDifferentVersion,
    kLegacyInvalidVersionString,
    kLegacyVersionNot25,
    kLegacyProductInvalid,
    kUnsupportedFileVersion,
    kInvalidIv,
    kInvalidHash,
    kEncodeFailed,
    kDecodeFailed,
    kInvalidMsgpackType,
    kMsgpackKeyNotFound,
    kSrecNotSupported,
    kSrecFunctionsMissing,
    kSrecInvalid,
    kSrecConversionFailed,
    kCyacdInvalidHexString,
    kCyacdInvalidRecord,
    kCyacdRecordNotFound,
    kCyacdInvalidChecksum,
    kCyacdUnsupportedChecksumType,
};

struct PackageErrorEntry {
    PackageError error;
    ErrorCode code;
    const char* message;
};

constexpr size_t kPackageErrorCount = size_t(PackageError::kCyacdUnsupportedChecksumType) + 1;

// The catalogue, in the order of PackageError.
const std::array<PackageErrorEntry, kPackageErrorCount>& PackageErrorCatalogue();
const PackageErrorEntry& PackageErrorEntryOf(PackageError error);

}  // namespace fwu
