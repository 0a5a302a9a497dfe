// SPDX-License-Identifier: Apache-2.0
#include "core/ErrorCatalogue.h"

namespace fwu {
namespace {

using E = PackageError;

constexpr std::array<PackageErrorEntry, kPackageErrorCount> kCatalogue{{
    {E::kFstatFailed, ErrorFileStat, "fstat failed"},
    {E::kOpenFailed, ErrorFileOpen, "open failed"},
    {E::kFopenFailed, ErrorFileOpen, "fopen failed"},
    {E::kFreadFailed, ErrorFileRead, "fread failed"},
    {E::kFwriteFailed, ErrorFileWrite, "fwrite failed"},
    {E::kFseekFailed, ErrorStreamPosition, "fseek failed"},
    {E::kBadPosition, ErrorStreamPosition, "Bad position"},
    {E::kInvalidReadSize, ErrorStreamReadSize, "Invalid read size"},
    {E::kJsonKeyNotFound, ErrorJsonKeyNotFound, "Json key is not found"},
    {E::kInvalidJsonType, ErrorJsonType, "Invlaid json type"},
    {E::kInvalidKfwFile, ErrorInvalidKfwFile, "Invalid kfw file"},
    {E::kInvalidMagic, ErrorInvalidKfwFile, "Magic number is invalid"},
    {E::kV1NotSupported, ErrorUnsupportedRequest, "v1 is not supported"},
    {E::kLegacyBlobTooLarge, ErrorUnsupportedRequest, "Blob is too large for the legacy format"},
    {E::kLegacyTooManyItems, ErrorUnsupportedRequest,
     "Too many items in a bundle for the legacy format"},
    {E::kLegacyTooManyBundles, ErrorUnsupportedRequest, "Too many bundles for the legacy format"},
    {E::kLegacyPackageTooLarge, ErrorUnsupportedRequest,
     "Package is too large for the legacy format"},
    {E::kInvalidUuid, ErrorInvalidObject, "Invalid uuid"},
    {E::kBlobNotFound, ErrorInvalidObject, "Blob is not found"},
    {E::kInvalidActionType, ErrorInvalidAction, "Invalid action type"},
    {E::kInvalidAction, ErrorInvalidAction, "Invalid action"},
    {E::kUnknownActionType, ErrorInvalidAction, "Unknown action type"},
    {E::kDataTooSmall, ErrorDataTooSmall, "Data is too small"},
    {E::kLegacyChecksumInvalid, ErrorLegacyChecksum, "Checksum is invalid"},
    {E::kLegacyKfwTagInvalid, ErrorLegacyTag, "Kfw tag is invalid"},
    {E::kLegacyDifferentTag, ErrorLegacyTag, "Different tag"},
    {E::kLegacyTagInvalid, ErrorLegacyTag, "Tag is invalid"},
    {E::kLegacyDifferentVersion, ErrorLegacyVersion, "Different version"},
    {E::kLegacyInvalidVersionString, ErrorLegacyVersion, "Invalid version string"},
    {E::kLegacyVersionNot25, ErrorLegacyVersion, "Version is not 25"},
    {E::kLegacyProductInvalid, ErrorLegacyProduct, "Product is invalid"},
    {E::kUnsupportedFileVersion, ErrorUnsupportedFileVersion, "Unsupported file version"},
    {E::kInvalidIv, ErrorInvalidIv, "Invalid iv"},
    {E::kInvalidHash, ErrorInvalidHash, "Hash is invalid"},
    {E::kEncodeFailed, ErrorEncode, "Encode failed"},
    {E::kDecodeFailed, ErrorDecode, "Decode failed"},
    {E::kInvalidMsgpackType, ErrorMsgpackType, "Invalid msgpack type"},
    {E::kMsgpackKeyNotFound, ErrorMsgpackKey, "Key not found"},
    {E::kSrecNotSupported, ErrorSrecConversion, "SREC file conversion not supported"},
    {E::kSrecFunctionsMissing, ErrorSrecConversion, "Required functions not found on syndfu.dll"},
    {E::kSrecInvalid, ErrorSrecConversion, "SREC file is invalid"},
    {E::kSrecConversionFailed, ErrorSrecConversion, "SREC to binary conversion failed"},
    {E::kCyacdInvalidHexString, ErrorCyacdConversion, "Invalid hex string"},
    {E::kCyacdInvalidRecord, ErrorCyacdConversion, "Invalid Cyacd record"},
    {E::kCyacdRecordNotFound, ErrorCyacdConversion, "Cyacd record not found"},
    {E::kCyacdInvalidChecksum, ErrorCyacdConversion, "Invalid checksum"},
    {E::kCyacdUnsupportedChecksumType, ErrorCyacdConversion, "Unsupported checksum type"},
}};

// Lookup is by position, so an entry out of place would raise another error's message.
constexpr bool InEnumOrder() {
    for (size_t i = 0; i < kCatalogue.size(); ++i)
        if (size_t(kCatalogue[i].error) != i || !kCatalogue[i].message) return false;
    return true;
}
static_assert(InEnumOrder(), "the package error catalogue must follow the order of PackageError");

}  // namespace

const std::array<PackageErrorEntry, kPackageErrorCount>& PackageErrorCatalogue() {
    return kCatalogue;
}

const PackageErrorEntry& PackageErrorEntryOf(PackageError error) {
    return kCatalogue[size_t(error)];
}

}  // namespace fwu
