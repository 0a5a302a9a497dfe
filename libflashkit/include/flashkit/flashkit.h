// SPDX-License-Identifier: Apache-2.0
/*
 * flashkit: reading, checking, editing and writing monitor firmware packages, and updating
 * monitors with them. This is the library's only public header; it compiles as C and C++.
 *
 * Handles are opaque. Each is created by one function and released by its matching release
 * function; records cross the boundary by value in host byte order.
 */
#ifndef FLASHKIT_FLASHKIT_H
#define FLASHKIT_FLASHKIT_H

#include <stdbool.h>
#include <stdint.h>

#if defined(FLASHKIT_BUILDING)
#define FW_EXPORT __attribute__((visibility("default")))
#else
#define FW_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status of every monitor function: 0 or positive is success, negative is failure. Statuses
 * of the monitor-control library pass through unchanged; flashkit adds those below. */
typedef int32_t KmError;

/* general failure; a reply names another file */
#define KmErrorFailed ((KmError)0x80000000u)
/* a null output or a file name under six characters */
#define KmErrorInvalidArgument ((KmError)0x80000001u)
/* data does not fit the scaler report, or a reply has another length */
#define KmErrorInvalidLength ((KmError)0x80000003u)
/* a page read failed or echoed another page */
#define KmErrorReadFailed ((KmError)0x80000006u)
/* the monitor does not offer what was asked */
#define KmErrorNotSupported ((KmError)0x80000007u)
/* the progress callback asked to stop */
#define KmErrorCancelled ((KmError)0x8000000Cu)
/* nothing to transfer */
#define KmErrorNoData ((KmError)0x80000012u)
/* the monitor stayed busy past its time limit */
#define KmErrorTimeout ((KmError)0x80000013u)
/* wrong state or flash placement, or no bundle fits */
#define KmErrorInvalidState ((KmError)0x80000015u)
/* a device does not report its target version yet */
#define KmErrorNotFinished ((KmError)0x80000016u)
/* flash read back or checksum differs */
#define KmErrorVerifyFailed ((KmError)0x8000001Eu)
/* the monitor's CRC-32 of a file differs */
#define KmErrorChecksumMismatch ((KmError)0x80010005u)

/* A firmware package. */
typedef struct FWKfwFile FWKfwFile;
/* A device profile: the updatable devices of a monitor and how their versions are shown. */
typedef struct FWDeviceProfile FWDeviceProfile;
/* An owned UTF-8 text, independent of what it was made from. */
typedef struct FWUtf8String FWUtf8String;

/* Object identifier; the all-zero value is the nil identifier. The byte order is that of the
 * package files: data1, data2 and data3 are host-order (little-endian) integers. */
typedef struct FWUuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} FWUuid;

/* The firmware version of one device of a device profile. */
typedef struct FWDeviceVersion {
    uint32_t deviceID;
    uint32_t version;
} FWDeviceVersion;

/* The versions of the five devices of the legacy device profile. */
typedef struct FWFirmwareVersion {
    uint32_t mainVersion;     /* device 0x100 "Main/System" */
    uint32_t subVersion;      /* device 0x101 "Sub/Controller" */
    uint32_t frontEndVersion; /* device 0x500 "DP/FrontEnd" */
    uint32_t fontVersion;     /* device 0x400 "Font" */
    uint32_t fpgaVersion;     /* device 0x600 "FPGA" */
    uint32_t reserved[3];     /* always zero */
} FWFirmwareVersion;

typedef enum FWDeviceVersionKind {
    FWDeviceVersionKindAllDevices = 0,
    FWDeviceVersionKindDisplayDevices = 1
} FWDeviceVersionKind;

/* How a device's version number is written as text. */
typedef enum FWVersionRepresentation {
    FWVersionRepresentationDecimal = 0,
    FWVersionRepresentationHexadecimal = 1
} FWVersionRepresentation;

/* Monitor transfer state register. */
typedef enum FWTransferState {
    FWTransferStateNone = 0,
    FWTransferStateTransferring = 1,
    FWTransferStateTransferred = 2
} FWTransferState;

/* The update protocol a monitor offers, as FWMonitorGetSupportedFirmwareUpdateType gives it. */
typedef enum FWFirmwareUpdateType {
    FWFirmwareUpdateTypeNone = 0,
    FWFirmwareUpdateTypeV3 = 1, /* file transfer */
    FWFirmwareUpdateTypeV4 = 2, /* file transfer with device files */
    FWFirmwareUpdateTypeMStar = 0x40,
    FWFirmwareUpdateTypeZV = 0x41
} FWFirmwareUpdateType;

/* Option bits of the transfer and update functions. */
typedef enum FWTransferOption {
    /* Also transfer images for devices that already report the package's target version. */
    FWTransferOptionForce = 0x1
} FWTransferOption;

/* Progress of a transfer; transferredBytes advances after every page written. */
typedef struct FWTransferProgress {
    uint32_t completedCount;   /* transfer items finished so far */
    uint32_t totalCount;       /* transfer items of the update */
    uint32_t transferredBytes; /* bytes sent so far, over all items */
    uint32_t totalBytes;       /* sum of the sizes of all items */
} FWTransferProgress;

/* What the latest transfer or update call of the calling thread left on the monitor
 * (FWMonitorGetLastUpdateOutcome), so a caller can tell the user what state the monitor is in. */
typedef enum FWUpdateOutcome {
    /* Nothing on the monitor was changed. */
    FWUpdateOutcomeUntouched = 0,
    /* Images were written only where the monitor does not run them (record files' temporary
     * copies, ZV staging areas without their flags, or nothing of a scaler's flash): the
     * monitor keeps its old firmware. */
    FWUpdateOutcomeOldFirmwareKept = 1,
    /* Some images are complete and verified, or marked for installation, others not: after
     * its next restart the monitor may run old and new firmware side by side. */
    FWUpdateOutcomeMixed = 2,
    /* A scaler image was erased and not completely rewritten: the firmware does not start; the
     * monitor comes back as "MCU ISP MODE" until an update recovers it. */
    FWUpdateOutcomeNeedsRecovery = 3,
    /* Every image was written, verified and handed to the monitor. */
    FWUpdateOutcomeComplete = 4
} FWUpdateOutcome;

/* Called on the transferring thread; return 0 to stop the transfer, anything else to go on. A
 * stop asked for while a flash image is being written takes effect once that image is
 * completely written and verified, so the flash is never left half-written. */
typedef int8_t (*FWTransferProgressCallback)(FWTransferProgress progress, void* userData);

/* Package file format, as reported by FWKfwFileGetFileVersion: the legacy format is 0, the
 * current format 2.m is m + 1. */
typedef enum FWKfwFileVersion {
    FWKfwFileVersion1 = 0,
    FWKfwFileVersion2_0 = 1,
    FWKfwFileVersion2_1 = 2,
    FWKfwFileVersion2_2 = 3,
    FWKfwFileVersionUnknown = 0xFFFF
} FWKfwFileVersion;

/* Option bits of FWKfwFileSerializeToUtf8Path. */
typedef enum FWSerializeOption {
    /* Write the legacy format; only a legacy package can be written so. */
    FWSerializeOptionLegacy = 0x1,
    /* Current format only: write the body unencrypted, with content-derived identifiers and
     * blobs sorted by name, so that equal content gives identical files. */
    FWSerializeOptionNoEncryption = 0x2
} FWSerializeOption;

/* Error code reported by FWGetLastError for a failure that has no package error code (for
 * example running out of memory or an undecodable package body). */
#define FW_ERROR_OTHER 0xFFFFFFFFu

/* ---- Packages ----------------------------------------------------------------------------
 * A null package handle makes a boolean function return false, a handle-returning function
 * return null and a value-returning function return zero, without any other effect. */

/* Open a package file (current format, else the legacy format). Null on any failure; see
 * FWGetLastError for the reason. The caller releases the result with FWKfwFileRelease. */
FW_EXPORT FWKfwFile* FWKfwFileCreateWithUtf8Path(const char* path);
FW_EXPORT FWKfwFile* FWKfwFileCreateWithPath(const char* path);
/* The same from `size` bytes in memory, which are not kept after the call. */
FW_EXPORT FWKfwFile* FWKfwFileCreateWithBytes(const unsigned char* bytes, unsigned int size);
/* A new empty package: legacy format when `legacy` is true, else the current format. */
FW_EXPORT FWKfwFile* FWKfwFileCreateEmpty(bool legacy);
/* Frees the package with everything it holds. Null is ignored. */
FW_EXPORT void FWKfwFileRelease(FWKfwFile* file);

/* Writes the package's FWKfwFileVersion (for a current-format package, the version its content
 * requires); true unless it is FWKfwFileVersionUnknown. */
FW_EXPORT bool FWKfwFileGetFileVersion(FWKfwFile* file, int* version);
/* The first monitor product name, or null. Owned by the package; valid until it changes. */
FW_EXPORT const char* FWKfwFileGetTargetMonitorProduct(FWKfwFile* file);
/* Whether the package is meant for the product; a trailing "*" in the package's product names
 * makes them prefixes. */
FW_EXPORT bool FWKfwFileSupportsMonitorProduct(FWKfwFile* file, const char* product);
/* The package's target versions of the five legacy devices (zero for devices it lacks). */
FW_EXPORT FWFirmwareVersion FWKfwFileGetTargetFirmwareVersion(FWKfwFile* file);
/* Whether a bundle of the package applies to a monitor with these legacy device versions. */
FW_EXPORT bool FWKfwFileSupportsMonitorFirmwareVersion(FWKfwFile* file, FWFirmwareVersion version);
/* Whether a bundle applies to a monitor with these device versions; its identifier is written
 * to `bundleID` when that is not null. */
FW_EXPORT bool FWKfwFileGetBundleForDeviceVersion(FWKfwFile* file, const FWDeviceVersion* versions,
                                                  unsigned int count, FWUuid* bundleID);

/* Remove an object (true when one was removed), or exchange the positions of two objects of one
 * kind (true when both were found and differ). */
FW_EXPORT bool FWKfwFileUnregisterBlob(FWKfwFile* file, FWUuid id);
FW_EXPORT bool FWKfwFileUnregisterAction(FWKfwFile* file, FWUuid id);
FW_EXPORT bool FWKfwFileUnregisterBundle(FWKfwFile* file, FWUuid id);
FW_EXPORT bool FWKfwFileSwapBlobOrder(FWKfwFile* file, FWUuid first, FWUuid second);
FW_EXPORT bool FWKfwFileSwapActionOrder(FWKfwFile* file, FWUuid first, FWUuid second);
FW_EXPORT bool FWKfwFileSwapBundleOrder(FWKfwFile* file, FWUuid first, FWUuid second);

/* The bytes of a blob in two calls: with `buffer` null, `*size` receives the blob's size; then
 * up to `*size` bytes are copied and `*size` says how many came. False for an unknown blob. */
FW_EXPORT bool FWKfwFileCopyBlobData(FWKfwFile* file, FWUuid id, unsigned char* buffer,
                                     unsigned int* size);

/* Writes the package to a file (created or truncated) with FWSerializeOption bits. False on any
 * failure, and then no file is left at `path`. */
FW_EXPORT bool FWKfwFileSerializeToUtf8Path(FWKfwFile* file, const char* path,
                                            unsigned int options);

/* ---- Editing packages with JSON text ------------------------------------------------------
 * Each takes the JSON form of what it edits (a leading byte order mark and text after the
 * value are tolerated) and returns false when a pointer is null or the content is refused;
 * changes made before a failure stay. FWGetLastError tells the reason. */

/* Replace the product names (a JSON array of strings). */
FW_EXPORT bool FWKfwFileUpdateMonitorProducts(FWKfwFile* file, const char* json);
/* Replace the target versions (an array of {"device", "version"} objects). */
FW_EXPORT bool FWKfwFileUpdateTargetVersion(FWKfwFile* file, const char* json);
/* Replace the device profile ({"devices": [...], "displayDevices": [...]}). */
FW_EXPORT bool FWKfwFileUpdateDeviceProfile(FWKfwFile* file, const char* json);
/* Apply {"estimatedTimeMargin": n} (an integer; out of range gives 0); anything else changes
 * nothing. True whenever both pointers are given. */
FW_EXPORT bool FWKfwFileUpdateOptions(FWKfwFile* file, const char* json);
/* Add a blob, action or bundle; `id` (optional) receives the identifier of the object the
 * package now holds, which is an existing one when the package already had equal content. A
 * blob's bytes are read from its "path" (".cyacd" sources are converted). */
FW_EXPORT bool FWKfwFileRegisterBlob(FWKfwFile* file, const char* json, FWUuid* id);
FW_EXPORT bool FWKfwFileRegisterAction(FWKfwFile* file, const char* json, FWUuid* id);
FW_EXPORT bool FWKfwFileRegisterBundle(FWKfwFile* file, const char* json, FWUuid* id);
/* Refill an object already in the package; an action keeps its kind ("type" must match). */
FW_EXPORT bool FWKfwFileUpdateBlob(FWKfwFile* file, FWUuid id, const char* json);
FW_EXPORT bool FWKfwFileUpdateAction(FWKfwFile* file, FWUuid id, const char* json);
FW_EXPORT bool FWKfwFileUpdateBundle(FWKfwFile* file, FWUuid id, const char* json);

/* A device profile from its JSON form; released with FWDeviceProfileRelease. */
FW_EXPORT bool FWDeviceProfileCreateFromJsonString(const char* json, FWDeviceProfile** profile);
/* Frees a device profile. Null is ignored. */
FW_EXPORT void FWDeviceProfileRelease(FWDeviceProfile* profile);

/* ---- Monitors ----------------------------------------------------------------------------
 * `monitor` is a handle of the monitor-control library (KmRetrieve); flashkit neither keeps nor
 * frees it, and reads the monitor afresh on every call. Functions returning KmError pass the
 * monitor-control library's failures through; a null output pointer gives
 * KmErrorInvalidArgument before the monitor is touched. */

/* The monitor offers the file-transfer update or the ZV protocol. */
FW_EXPORT bool FWMonitorSupportsFirmwareUpdate(void* monitor);
/* The monitor offers the file-transfer update with device files. */
FW_EXPORT bool FWMonitorSupportsFirmwareUpdateV4(void* monitor);
FW_EXPORT FWFirmwareUpdateType FWMonitorGetSupportedFirmwareUpdateType(void* monitor);
/* Serial number (up to 8 characters) and product name (up to 16), each NUL-terminated; both
 * empty on failure. */
FW_EXPORT KmError FWMonitorGetSerialProduct(void* monitor, char serial[9], char product[17]);
/* The current version of one device. */
FW_EXPORT KmError FWMonitorGetDeviceVersion(void* monitor, unsigned int deviceID,
                                            FWDeviceVersion* version);
/* The five legacy device versions; KmErrorNotSupported for a monitor with another profile. */
FW_EXPORT KmError FWMonitorGetFirmwareVersion(void* monitor, FWFirmwareVersion* version);
FW_EXPORT KmError FWMonitorGetTransferState(void* monitor, FWTransferState* state);
/* Switches the monitor's on-screen display on or off. */
FW_EXPORT KmError FWMonitorSetOSDStatus(void* monitor, bool enabled);

/* ---- Checking packages against monitors and updating them ---------------------------------- */

/* Whether the package fits the monitor: 0 it applies; 1 the monitor's product is not one of the
 * package's; 2 the monitor's devices or versions cannot be read, a target device is missing or
 * no bundle applies; 3 nothing is left to update; 4 the package's format does not fit the
 * monitor's update protocol. */
FW_EXPORT unsigned int FWKfwFileCheckMonitor(FWKfwFile* file, void* monitor);
/* FWKfwFileCheckMonitor gives 0. */
FW_EXPORT bool FWKfwFileSupportsMonitor(FWKfwFile* file, void* monitor);
/* Expected duration of the update in seconds (FWTransferOption bits), 0 when unknown. */
FW_EXPORT unsigned int FWKfwFileGetEstimatedTimeForMonitor(FWKfwFile* file, void* monitor,
                                                           unsigned int options);
/* The device's version once the package is installed: its target version in the package, or
 * the current version when the package does not change it. */
FW_EXPORT KmError FWMonitorGetDeviceVersionAfterUpdate(void* monitor, FWKfwFile* file,
                                                       unsigned int deviceID,
                                                       FWDeviceVersion* version);
/* Sends the package's images (ZV or file-transfer monitors). `callback` may be null; it runs on
 * the calling thread and returning 0 stops the transfer with KmErrorCancelled. After a failed
 * transfer the monitor's transfer state is set back to FWTransferStateNone. */
FW_EXPORT KmError FWMonitorTransferFirmwareDataWithOptions(void* monitor, FWKfwFile* file,
                                                           FWTransferProgressCallback callback,
                                                           void* userData, unsigned int options);
FW_EXPORT KmError FWMonitorTransferFirmwareData(void* monitor, FWKfwFile* file,
                                                FWTransferProgressCallback callback,
                                                void* userData);
/* Tells the monitor to install what was transferred; it restarts and leaves the bus. */
FW_EXPORT KmError FWMonitorTriggerFirmwareUpdate(void* monitor);
/* After the monitor is back: 0 or more when every device reports its target version,
 * KmErrorNotFinished while one does not. */
FW_EXPORT KmError FWMonitorCheckFirmwareUpdateFinished(void* monitor, FWKfwFile* file);
/* The whole update in one call: the scaler flow for scaler monitors, else transfer then
 * trigger. */
FW_EXPORT KmError FWMonitorUpdateFirmware(void* monitor, FWKfwFile* file,
                                          FWTransferProgressCallback callback, void* userData,
                                          unsigned int options);

/* What the latest FWMonitorTransferFirmwareData... or FWMonitorUpdateFirmware call of this
 * thread left on the monitor. */
FW_EXPORT FWUpdateOutcome FWMonitorGetLastUpdateOutcome(void);
/* The plan of an update as JSON text, worked out and checked without any request that changes
 * the monitor: update kind, images with their targets, blocks, markers or flags, bytes and the
 * estimated time. `*status` (optional) gets the status the update would start with: 0 or more
 * when the plan passes its checks. Null when the package or monitor is missing or the monitor
 * offers no update; release it with FWUtf8StringRelease. */
FW_EXPORT FWUtf8String* FWUtf8StringCreateUpdatePlanJsonString(void* monitor, FWKfwFile* file,
                                                               unsigned int options,
                                                               KmError* status);

/* ---- Device profiles ---------------------------------------------------------------------- */

/* The monitor's device profile. `*profile` is written only on success; release it with
 * FWDeviceProfileRelease. */
FW_EXPORT KmError FWDeviceProfileCreateFromMonitor(void* monitor, FWDeviceProfile** profile);
/* A copy of the package's device profile when it has one (the monitor is then not read), else
 * the monitor's. */
FW_EXPORT KmError FWDeviceProfileCreateFromMonitorAndKfwFile(void* monitor, FWKfwFile* file,
                                                             FWDeviceProfile** profile);
/* Device identifiers of a kind in two calls: with `ids` null, `*count` receives how many there
 * are; then up to `*count` of them are copied and `*count` says how many came. */
FW_EXPORT bool FWDeviceProfileGetDeviceID(FWDeviceProfile* profile, FWDeviceVersionKind kind,
                                          unsigned int* ids, unsigned int* count);
/* The version as the device shows it (at least five digits, hexadecimal for hexadecimal
 * devices), in two calls: with `buffer` null, `*size` receives the length plus one; then the
 * text is copied, cut to `*size` - 1 characters and NUL-terminated. False for a device that is
 * not in the profile. */
FW_EXPORT bool FWDeviceProfileGetVersionString(FWDeviceProfile* profile, FWDeviceVersion version,
                                               char* buffer, unsigned int* size);
/* The name of a device as the profile gives it (possibly empty), in the same two calls as
 * FWDeviceProfileGetVersionString. False for a device that is not in the profile. */
FW_EXPORT bool FWDeviceProfileGetDeviceName(FWDeviceProfile* profile, unsigned int deviceID,
                                            char* buffer, unsigned int* size);

/* The package or device profile as compact JSON text; null for a null handle. */
FW_EXPORT FWUtf8String* FWUtf8StringCreateKfwFileJsonString(FWKfwFile* file);
FW_EXPORT FWUtf8String* FWUtf8StringCreateDeviceProfileJsonString(FWDeviceProfile* profile);
/* The NUL-terminated text, valid until the handle is released; null for a null handle. */
FW_EXPORT const char* FWUtf8StringGetCString(FWUtf8String* text);
/* Frees the text. Null is ignored. */
FW_EXPORT void FWUtf8StringRelease(FWUtf8String* text);

/* ---- Identifiers and library ------------------------------------------------------------ */

/* Parses the 36-character text form; text that is shorter than 34 characters or not
 * hexadecimal gives the nil identifier. */
FW_EXPORT FWUuid FWUuidCreateFromString(const char* text);
/* Writes the text form and a NUL; `buffer` must hold 37 bytes. */
FW_EXPORT void FWUuidGetString(FWUuid uuid, char* buffer);

/* Version of this library: 0x04020101. */
FW_EXPORT uint32_t FWLibraryVersion(void);

/* The failure last caught by a flashkit function on the calling thread: its error code (0 when
 * the last such function succeeded), and, when `message` is not null, its text (for example
 * "Hash is invalid, 0x00060002"), valid until the next flashkit call on this thread. */
FW_EXPORT uint32_t FWGetLastError(const char** message);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(FWUuid) == 16, "FWUuid layout");
static_assert(sizeof(FWDeviceVersion) == 8, "FWDeviceVersion layout");
static_assert(sizeof(FWFirmwareVersion) == 32, "FWFirmwareVersion layout");
static_assert(sizeof(FWDeviceVersionKind) == 4, "FWDeviceVersionKind width");
static_assert(sizeof(FWVersionRepresentation) == 4, "FWVersionRepresentation width");
static_assert(sizeof(FWTransferProgress) == 16, "FWTransferProgress layout");
static_assert(sizeof(FWTransferState) == 4, "FWTransferState width");
static_assert(sizeof(FWKfwFileVersion) == 4, "FWKfwFileVersion width");
static_assert(sizeof(FWFirmwareUpdateType) == 4, "FWFirmwareUpdateType width");
static_assert(sizeof(KmError) == 4, "KmError width");
static_assert(sizeof(FWTransferOption) == 4, "FWTransferOption width");
#else
_Static_assert(sizeof(FWUuid) == 16, "FWUuid layout");
_Static_assert(sizeof(FWDeviceVersion) == 8, "FWDeviceVersion layout");
_Static_assert(sizeof(FWFirmwareVersion) == 32, "FWFirmwareVersion layout");
_Static_assert(sizeof(FWTransferProgress) == 16, "FWTransferProgress layout");
#endif

#endif
