// SPDX-License-Identifier: Apache-2.0
/*
 * screenio: finding connected monitors and reading and writing their features.
 *
 * A feature is addressed by a 16-bit usage page and a 16-bit usage. Every function returns a
 * KmError status: 0 or positive is success, negative is failure. This header compiles as C and
 * C++.
 *
 * Handles: KmFind makes a new search and KmRetrieve hands out the handle of one monitor of it.
 * A handle stays usable until the next KmRelease or KmFind; after that, and after its monitor
 * has left the bus (a restart, an unplug), every call with it fails with
 * SCREENIO_ERROR_INVALID_HANDLE or SCREENIO_ERROR_GONE instead of touching another monitor.
 * The library owns the handles; callers never free them.
 *
 * Backend: the environment variable SCREENIO_SIM selects simulated monitors ("demo" for the
 * built-in set, else the path of a JSON description, see docs/simulator.md); unset, the
 * monitors on USB are reached through the kernel's hidraw nodes (SCREENIO_USB_VENDOR_ID
 * overrides the maker's vendor id). SCREENIO_TRACE names a file that receives one line per
 * call.
 *
 * All functions may be called from several threads.
 */
#ifndef SCREENIO_SCREENIO_H
#define SCREENIO_SCREENIO_H

#include <stdint.h>

#if defined(SCREENIO_BUILDING)
#define SCREENIO_EXPORT __attribute__((visibility("default")))
#else
#define SCREENIO_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t KmError;

/* Failure statuses of this library. */
#define SCREENIO_ERROR_IO (-1)               /* the request failed on the link */
#define SCREENIO_ERROR_INVALID_HANDLE (-2)   /* not a handle of the current search */
#define SCREENIO_ERROR_INVALID_ARGUMENT (-3) /* a null pointer or an index out of range */
#define SCREENIO_ERROR_NOT_OFFERED (-4)      /* the monitor does not offer the usage */
#define SCREENIO_ERROR_LENGTH (-5)           /* the length differs from the usage's report */
#define SCREENIO_ERROR_GONE (-6)             /* the monitor has left the bus */
#define SCREENIO_ERROR_TIMEOUT (-7)          /* the monitor did not answer in time */
#define SCREENIO_ERROR_REJECTED (-8)         /* the monitor refused the request in its state */
#define SCREENIO_ERROR_INTERNAL (-9)         /* the library itself failed (out of memory) */
#define SCREENIO_ERROR_BUSY (-10)            /* another program is using the monitor */
#define SCREENIO_ERROR_ACCESS (-11)          /* the system denies access to the monitor */
#define SCREENIO_ERROR_LOCK (-12)            /* the monitor's lock cannot be taken */

/* Drops every handle of the previous search. */
SCREENIO_EXPORT KmError KmRelease(void);
/* Searches for monitors; returns how many were found (0 when none). */
SCREENIO_EXPORT KmError KmFind(void);
/* Writes the handle of monitor `index` (0 to count - 1) of the last search to `*handle`.
 * Taking a handle claims the monitor for this process until KmRelease or the next KmFind;
 * a monitor another process has claimed gives SCREENIO_ERROR_BUSY. */
SCREENIO_EXPORT KmError KmRetrieve(int32_t index, void** handle);
/* Reads a value feature into `*value`. */
SCREENIO_EXPORT KmError KmGetFeatureValue(void* handle, uint16_t page, uint16_t usage,
                                          int64_t* value);
/* Writes a value feature. */
SCREENIO_EXPORT KmError KmSetFeatureValue(void* handle, uint16_t page, uint16_t usage,
                                          int64_t value);
/* Reads an array feature: exactly `length` bytes, the usage's report length. */
SCREENIO_EXPORT KmError KmGetFeatureArray(void* handle, uint16_t page, uint16_t usage,
                                          uint8_t* buffer, uint32_t length);
/* Writes an array feature: exactly `length` bytes, the usage's report length. */
SCREENIO_EXPORT KmError KmSetFeatureArray(void* handle, uint16_t page, uint16_t usage,
                                          const uint8_t* buffer, uint32_t length);
/* Describes a usage without reading it: `*flag` becomes 0 when the monitor offers the usage
 * (it is left as the caller set it otherwise) and `*count` the byte length of its array report.
 * `p4` to `p6` are reserved outputs; pass null. */
SCREENIO_EXPORT KmError KmGetFixedData(void* handle, uint16_t page, uint16_t usage, void* p4,
                                       void* p5, void* p6, uint8_t* flag, uint32_t* count);

#ifdef __cplusplus
}
#endif

#endif
