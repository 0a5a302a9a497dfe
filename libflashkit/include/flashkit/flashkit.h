/*
 * flashkit: reading, checking, editing and writing monitor firmware packages, and updating
 * monitors with them. This is the library's only public header; it compiles as C and C++.
 *
 * Handles are opaque. Each is created by one function and released by its matching release
 * function; records cross the boundary by value in host byte order.
 */
#ifndef FLASHKIT_FLASHKIT_H
#define FLASHKIT_FLASHKIT_H

#include <stdint.h>

#if defined(FLASHKIT_BUILDING)
#define FW_EXPORT __attribute__((visibility("default")))
#else
#define FW_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A firmware package. */
typedef struct FWKfwFile FWKfwFile;
/* A device profile: the updatable devices of a monitor and how their versions are shown. */
typedef struct FWDeviceProfile FWDeviceProfile;

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

/* Version of this library: 0x04020101. */
FW_EXPORT uint32_t FWLibraryVersion(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(FWUuid) == 16, "FWUuid layout");
static_assert(sizeof(FWDeviceVersion) == 8, "FWDeviceVersion layout");
static_assert(sizeof(FWFirmwareVersion) == 32, "FWFirmwareVersion layout");
static_assert(sizeof(FWDeviceVersionKind) == 4, "FWDeviceVersionKind width");
static_assert(sizeof(FWVersionRepresentation) == 4, "FWVersionRepresentation width");
#else
_Static_assert(sizeof(FWUuid) == 16, "FWUuid layout");
_Static_assert(sizeof(FWDeviceVersion) == 8, "FWDeviceVersion layout");
_Static_assert(sizeof(FWFirmwareVersion) == 32, "FWFirmwareVersion layout");
#endif

#endif
