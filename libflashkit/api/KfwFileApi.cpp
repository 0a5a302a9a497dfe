// SPDX-License-Identifier: Apache-2.0
// Exported package functions: check the handle, convert records, call one package operation.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "api/ApiGuard.h"
#include "api/PackageHandle.h"
#include "core/OutputFileStream.h"
#include "flashkit/flashkit.h"
#include "package/KfwLoader.h"
#include "package/v1/KfwFile.h"
#include "package/v2/KfwFile.h"

using fwu::Uuid;
using fwu::api::Guard;
using fwu::kfw::DeviceVersionList;
using fwu::kfw::KfwFile;

namespace {

const KfwFile* AsPackage(FWKfwFile* file) { return fwu::api::AsPackage(file); }

FWKfwFile* Release(std::unique_ptr<KfwFile> file) { return file.release(); }

}  // namespace

extern "C" {

FW_EXPORT FWKfwFile* FWKfwFileCreateWithUtf8Path(const char* path) {
    return Guard<FWKfwFile*>(nullptr, [&] {
        if (!path) return static_cast<FWKfwFile*>(nullptr);
        return Release(fwu::kfw::LoadKfwFileFromPath(path));
    });
}

FW_EXPORT FWKfwFile* FWKfwFileCreateWithPath(const char* path) {
    return FWKfwFileCreateWithUtf8Path(path);
}

FW_EXPORT FWKfwFile* FWKfwFileCreateWithBytes(const unsigned char* bytes, unsigned int size) {
    return Guard<FWKfwFile*>(nullptr, [&] {
        if (!bytes && size) return static_cast<FWKfwFile*>(nullptr);
        static const unsigned char nothing = 0;
        return Release(fwu::kfw::LoadKfwFileFromBytes(bytes ? bytes : &nothing, size));
    });
}

FW_EXPORT FWKfwFile* FWKfwFileCreateEmpty(bool legacy) {
    return Guard<FWKfwFile*>(nullptr, [&]() -> FWKfwFile* {
        if (legacy) return new fwu::kfw::v1::KfwFile();
        return new fwu::kfw::v2::KfwFile();
    });
}

FW_EXPORT void FWKfwFileRelease(FWKfwFile* file) { delete file; }

FW_EXPORT bool FWKfwFileGetFileVersion(FWKfwFile* file, int* version) {
    if (!file || !version) return false;
    const uint32_t value = file->version().toVersionEnum();
    *version = static_cast<int>(value);
    return value != FWKfwFileVersionUnknown;
}

FW_EXPORT const char* FWKfwFileGetTargetMonitorProduct(FWKfwFile* file) {
    return file ? file->monitorProduct(0) : nullptr;
}

FW_EXPORT bool FWKfwFileSupportsMonitorProduct(FWKfwFile* file, const char* product) {
    return file && product && file->supportsMonitorProduct(product);
}

FW_EXPORT FWFirmwareVersion FWKfwFileGetTargetFirmwareVersion(FWKfwFile* file) {
    const KfwFile* package = AsPackage(file);
    // The record is defined over the legacy profile, which always passes the legacy-profile
    // check; devices the target list lacks read 0.
    return package ? package->targetVersion().toFWFirmwareVersion() : FWFirmwareVersion{};
}

FW_EXPORT bool FWKfwFileSupportsMonitorFirmwareVersion(FWKfwFile* file, FWFirmwareVersion version) {
    if (!file) return false;
    return Guard(false, [&] {
        DeviceVersionList current;
        current.setFWFirmwareVersion(version);
        return file->bundleForVersion(&current) != nullptr;
    });
}

FW_EXPORT bool FWKfwFileGetBundleForDeviceVersion(FWKfwFile* file, const FWDeviceVersion* versions,
                                                  unsigned int count, FWUuid* bundleID) {
    if (!file || (!versions && count)) return false;
    return Guard(false, [&] {
        DeviceVersionList current;
        for (unsigned int i = 0; i < count; ++i)
            current.push({versions[i].deviceID, fwu::Version(versions[i].version)});
        const fwu::kfw::Bundle* bundle = file->bundleForVersion(&current);
        if (bundle && bundleID) *bundleID = bundle->id().toFWUuid();
        return bundle != nullptr;
    });
}

FW_EXPORT bool FWKfwFileUnregisterBlob(FWKfwFile* file, FWUuid id) {
    return file && file->unregisterBlob(Uuid::fromFWUuid(id));
}

FW_EXPORT bool FWKfwFileUnregisterAction(FWKfwFile* file, FWUuid id) {
    return file && file->unregisterAction(Uuid::fromFWUuid(id));
}

FW_EXPORT bool FWKfwFileUnregisterBundle(FWKfwFile* file, FWUuid id) {
    return file && file->unregisterBundle(Uuid::fromFWUuid(id));
}

FW_EXPORT bool FWKfwFileSwapBlobOrder(FWKfwFile* file, FWUuid first, FWUuid second) {
    return file && file->swapBlobOrder(Uuid::fromFWUuid(first), Uuid::fromFWUuid(second));
}

FW_EXPORT bool FWKfwFileSwapActionOrder(FWKfwFile* file, FWUuid first, FWUuid second) {
    return file && file->swapActionOrder(Uuid::fromFWUuid(first), Uuid::fromFWUuid(second));
}

FW_EXPORT bool FWKfwFileSwapBundleOrder(FWKfwFile* file, FWUuid first, FWUuid second) {
    return file && file->swapBundleOrder(Uuid::fromFWUuid(first), Uuid::fromFWUuid(second));
}

FW_EXPORT bool FWKfwFileCopyBlobData(FWKfwFile* file, FWUuid id, unsigned char* buffer,
                                     unsigned int* size) {
    const KfwFile* package = AsPackage(file);
    if (!package || !size) return false;
    return Guard(false, [&] {
        const fwu::kfw::Blob* blob = package->findBlob(Uuid::fromFWUuid(id));
        if (!blob || blob->size() > UINT32_MAX) return false;
        if (!buffer) {
            *size = static_cast<unsigned int>(blob->size());
            return true;
        }
        const size_t n = std::min<size_t>(*size, blob->size());
        std::copy_n(blob->bytes(), n, buffer);
        *size = static_cast<unsigned int>(n);
        return true;
    });
}

FW_EXPORT bool FWKfwFileSerializeToUtf8Path(FWKfwFile* file, const char* path,
                                            unsigned int options) {
    if (!file || !path) return false;
    const bool written = Guard(false, [&] {
        fwu::OutputFileStream stream;
        stream.open(path);
        file->serialize(&stream, options);
        stream.close();
        return true;
    });
    // A half-written package would be refused on load anyway; leave no such file behind.
    if (!written) std::remove(path);
    return written;
}

}  // extern "C"
