// SPDX-License-Identifier: Apache-2.0
/*
 * ksys: facts about the computer this program runs on (Linux).
 *
 * Lists (processes, installed applications, USB devices, kernel modules, printers, windows) are
 * taken as snapshots: KSysCreate...Snapshot captures the whole list into an object the caller
 * owns (null when the list cannot be taken at all), KSysEnum...(snapshot, index) hands out the
 * item at index 0, 1, 2, ... until it returns null, and KSysReleaseSnapshot frees the snapshot
 * with all its items. A snapshot is not refreshed after creation; item pointers and the strings
 * they return are valid until the snapshot is released. An enumeration function returns null
 * when given a snapshot of another kind.
 *
 * Single facts are cached in one library-wide object: a getter returns the cached value when it
 * is not empty, otherwise it reads the fact again. Returned strings point into the library and
 * stay valid until the same fact is read again. A fact that cannot be read is "" (never null),
 * 0 for numbers unless said otherwise; the fact cache has no lock, so call the fact getters
 * from one thread at a time. Snapshots are independent and may be used from any thread, one
 * thread per snapshot at a time.
 *
 * Null arguments give "" for strings, -1 for numeric identifiers and 0 for flags. No function
 * reports a message or lets an error escape.
 *
 * This header compiles as C and C++.
 */
#ifndef KSYS_KSYS_H
#define KSYS_KSYS_H

#include <stdint.h>

#if defined(KSYS_BUILDING)
#define KSYS_EXPORT __attribute__((visibility("default")))
#else
#define KSYS_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KSysSnapshot KSysSnapshot;
typedef struct KSysProcess KSysProcess;
typedef struct KSysApplication KSysApplication;
typedef struct KSysUSB KSysUSB;
typedef struct KSysKEXT KSysKEXT;
typedef struct KSysPrinter KSysPrinter;
typedef struct KSysApplicationWindow KSysApplicationWindow;
typedef struct KSysVGA KSysVGA;

/* Filled by KSysGetMemoryInformation. */
typedef struct KSysMemoryInformation {
    uint32_t totalPhysicalKiB; /* installed memory, KiB */
    uint32_t freePhysicalKiB;  /* memory not in use, KiB */
    double usedFraction;       /* memory in use / installed memory, 0.0 to 1.0 */
} KSysMemoryInformation;

/* Value of KSysGetOSKind on Linux. */
#define KSYS_OS_KIND_LINUX 3

/* Address selection of KSysEnumIPAddress. With neither family bit set both families are
 * listed; loopback addresses are left out unless KSYS_IP_LOOPBACK is given. */
#define KSYS_IP_V4 0x1u
#define KSYS_IP_V6 0x2u
#define KSYS_IP_LOOPBACK 0x4u

/* Time-zone offset when it cannot be read. */
#define KSYS_TIMEZONE_OFFSET_UNKNOWN 0xffff

/* ---- Frame and processes ---------------------------------------------------------------- */

/* The library version, 0x01080103. */
KSYS_EXPORT uint32_t KSysVersion(void);
/* KSYS_OS_KIND_LINUX. */
KSYS_EXPORT int KSysGetOSKind(void);
/* Running processes from the numeric folders of /proc: name = base name of the link
 * /proc/PID/exe, or the kernel's short name (/proc/PID/comm) when the link cannot be read;
 * command line = /proc/PID/cmdline, arguments joined by single spaces (no quoting).
 * Null when /proc cannot be listed. */
KSYS_EXPORT KSysSnapshot* KSysCreateRunningProcessSnapshot(void);
/* The same without command lines (every command is ""); faster. */
KSYS_EXPORT KSysSnapshot* KSysCreateRunningProcessSnapshotSimplified(void);
KSYS_EXPORT KSysProcess* KSysEnumRunningProcess(KSysSnapshot* snapshot, int index);
KSYS_EXPORT const char* KSysGetProcessName(KSysProcess* process);
KSYS_EXPORT int KSysGetProcessPID(KSysProcess* process);
KSYS_EXPORT const char* KSysGetProcessCommand(KSysProcess* process);
/* 1 when a running process has exactly this name (case-sensitive, whole name), else 0. Reads
 * no command lines. `flags` is not used. */
KSYS_EXPORT int KSysIsProcessRunning(const char* name, unsigned int flags);
/* Frees a snapshot of any kind with all its items; null is ignored. */
KSYS_EXPORT void KSysReleaseSnapshot(KSysSnapshot* snapshot);

/* ---- Operating system ------------------------------------------------------------------- */

/* NAME and VERSION_ID of /etc/os-release (else /usr/lib/os-release): "NAME VERSION_ID". */
KSYS_EXPORT const char* KSysGetOSName(void);
/* NAME and the version cut to its first two parts when the major number is at most 10,
 * else to the major number ("Debian GNU/Linux 12", "Ubuntu 22"). */
KSYS_EXPORT const char* KSysGetOSNameShort(void);
/* Always "" on Linux. */
KSYS_EXPORT const char* KSysGetOSEdition(void);
/* Always "" on Linux. */
KSYS_EXPORT const char* KSysGetOSSPVersion(void);
/* Always "" on Linux. */
KSYS_EXPORT const char* KSysGetOSReleaseID(void);
/* 64 for a 64-bit process, 32 otherwise. */
KSYS_EXPORT int KSysGetOSArchitecture(void);
/* Machine name of uname ("x86_64", "aarch64"). */
KSYS_EXPORT const char* KSysGetCPUArchitectureName(void);
/* Release of uname, else /proc/sys/kernel/osrelease. */
KSYS_EXPORT const char* KSysGetKernelVersion(void);
/* Version of uname (the kernel's build text), else /proc/sys/kernel/version. */
KSYS_EXPORT const char* KSysGetBuildNumber(void);
/* Node name of uname, else /proc/sys/kernel/hostname. */
KSYS_EXPORT const char* KSysGetPCName(void);
/* getdomainname; "" when no domain is set ("(none)"). */
KSYS_EXPORT const char* KSysGetDomainName(void);

/* ---- Machine ---------------------------------------------------------------------------- */

/* The first "model name" (else "Hardware", "Processor", "cpu model") of /proc/cpuinfo. */
KSYS_EXPORT const char* KSysGetCPUName(void);
/* Installed memory in KiB, from sysinfo. */
KSYS_EXPORT uint64_t KSysGetMemorySize(void);
/* Total from sysinfo, free = MemAvailable of /proc/meminfo. Returns 1 when both were read; 0
 * with free 0 and fraction 1.0 when MemAvailable cannot be read; 0 with everything 0 when the
 * total cannot be read; 0 for a null argument, which is left untouched. */
KSYS_EXPORT int KSysGetMemoryInformation(KSysMemoryInformation* info);
/* /sys/class/dmi/id/product_name, sys_vendor and product_serial; "" when unreadable (the
 * serial needs root, virtual machines and containers may have no DMI table). */
KSYS_EXPORT const char* KSysGetPCModelName(void);
KSYS_EXPORT const char* KSysGetPCVendorName(void);
KSYS_EXPORT const char* KSysGetPCSerialNumber(void);
/* The password-database name of the real user id, else getlogin_r, else $USER (at most 255
 * bytes). */
KSYS_EXPORT const char* KSysGetUserName(void);

/* ---- Locale and time zone --------------------------------------------------------------- */

/* The C library's locale as the environment selects it (LC_ALL, else LC_MESSAGES, else LANG):
 * identifier without codeset and modifier ("de_DE"), language ("de") and country ("DE"); "C"
 * and "POSIX" have no language and country. Separators from LC_NUMERIC through nl_langinfo. */
KSYS_EXPORT const char* KSysGetLocaleName(void);
KSYS_EXPORT const char* KSysGetLocaleLanguage(void);
KSYS_EXPORT const char* KSysGetLocaleCountry(void);
KSYS_EXPORT const char* KSysGetLocaleDecimalSeparator(void);
KSYS_EXPORT const char* KSysGetLocaleThousandSeparator(void);
/* The same values as the KSysGetLocale... functions. */
KSYS_EXPORT const char* KSysGetSystemLocaleName(void);
KSYS_EXPORT const char* KSysGetSystemLocaleLanguage(void);
KSYS_EXPORT const char* KSysGetSystemLocaleDecimalSeparator(void);
KSYS_EXPORT const char* KSysGetSystemLocaleThousandSeparator(void);
/* The preferred languages ($LANGUAGE, colon-separated, else the locale's language), each cut
 * before its first "-" or "_" (and codeset or modifier); index 0 reads the list again; "" beyond
 * the end. */
KSYS_EXPORT const char* KSysEnumLocaleLanguage(int index);
/* $TZ, else the zone the link /etc/localtime points to, else /etc/timezone ("Europe/Berlin"). */
KSYS_EXPORT const char* KSysGetTimezoneName(void);
/* Offset of local time from GMT now, in minutes (localtime_r), folded into -720..720 by whole
 * days; KSYS_TIMEZONE_OFFSET_UNKNOWN when it cannot be read. */
KSYS_EXPORT int KSysGetTimezoneOffset(void);

/* ---- Network ---------------------------------------------------------------------------- */

/* The interface addresses of getifaddrs as getnameinfo prints them, selected by the KSYS_IP_*
 * flags; index 0 reads the list again; "" beyond the end. */
KSYS_EXPORT const char* KSysEnumIPAddress(unsigned int flags, int index);

/* ---- Graphics adapters ------------------------------------------------------------------ */

/* PCI display devices (class 0x03) of /sys/bus/pci/devices, in folder order; null beyond the
 * end. */
KSYS_EXPORT KSysVGA* KSysEnumVGA(int index);
/* The adapter with a monitor path equal to `path` after both are cut to the part before each
 * "@" of every "/"-separated element; null when none. */
KSYS_EXPORT KSysVGA* KSysGetVGAOfScreen(const char* path);
/* Name from the PCI id database (pci.ids) when installed, else "". */
KSYS_EXPORT const char* KSysGetVGAName(KSysVGA* vga);
/* Vendor by PCI vendor id ("AMD", "Apple", "ARM", "Intel", "NVIDIA", "VMware"), else "". */
KSYS_EXPORT const char* KSysGetVGAVendor(KSysVGA* vga);
/* The bound kernel driver (link "driver" of the device). */
KSYS_EXPORT const char* KSysGetVGADriverName(KSysVGA* vga);
/* /sys/module/DRIVER/version when the driver has one, else "". */
KSYS_EXPORT const char* KSysGetVGADriverVersion(KSysVGA* vga);
/* Video memory in MiB when the driver reports it (mem_info_vram_total), else 0. */
KSYS_EXPORT uint64_t KSysGetVGAVRAMSize(KSysVGA* vga);
/* The PCI address ("0000:00:02.0"). */
KSYS_EXPORT const char* KSysGetVGADeviceLocationID(KSysVGA* vga);
/* The monitor paths: the DRM connectors of the adapter ("card0-HDMI-A-1"); "" beyond the end. */
KSYS_EXPORT const char* KSysEnumVGAMonitorPath(KSysVGA* vga, int index);

/* ---- Installed applications ------------------------------------------------------------- */

/* Desktop entries (*.desktop, Type=Application, not Hidden) in the "applications" folders of
 * $XDG_DATA_HOME (else ~/.local/share) and $XDG_DATA_DIRS (else /usr/local/share:/usr/share).
 * Name is the entry's Name; version is X-AppVersion when the entry has one, else "" (desktop
 * entries rarely carry an application version). */
KSYS_EXPORT KSysSnapshot* KSysCreateInstalledApplicationSnapshot(void);
KSYS_EXPORT KSysApplication* KSysEnumInstalledApplication(KSysSnapshot* snapshot, int index);
KSYS_EXPORT const char* KSysGetApplicationName(KSysApplication* application);
KSYS_EXPORT const char* KSysGetApplicationVersion(KSysApplication* application);

/* ---- USB devices ------------------------------------------------------------------------ */

/* Devices of /sys/bus/usb/devices (idVendor, idProduct, bcdDevice), once per bus and device
 * path. Name from "product", else the class description of bDeviceClass, else of the first
 * interface's bInterfaceClass. Empty when the folder is missing. */
KSYS_EXPORT KSysSnapshot* KSysCreateUSBDeviceSnapshot(void);
KSYS_EXPORT KSysUSB* KSysEnumUSBDevice(KSysSnapshot* snapshot, int index);
KSYS_EXPORT const char* KSysGetUSBDeviceName(KSysUSB* device);
/* The identifiers; -1 for a null device or one that could not be read. */
KSYS_EXPORT int KSysGetUSBDeviceVendorID(KSysUSB* device);
KSYS_EXPORT int KSysGetUSBDeviceProductID(KSysUSB* device);
KSYS_EXPORT int KSysGetUSBDeviceBCD(KSysUSB* device);

/* ---- Kernel modules --------------------------------------------------------------------- */

/* Loaded modules of /proc/modules, version from /sys/module/NAME/version when present, else "".
 * Empty when /proc/modules cannot be read. */
KSYS_EXPORT KSysSnapshot* KSysCreateLoadedKEXTSnapshot(void);
KSYS_EXPORT KSysKEXT* KSysEnumLoadedKEXT(KSysSnapshot* snapshot, int index);
KSYS_EXPORT const char* KSysGetKEXTName(KSysKEXT* module);
KSYS_EXPORT const char* KSysGetKEXTVersion(KSysKEXT* module);

/* ---- Printers --------------------------------------------------------------------------- */

/* The destinations of the print server (CUPS, cupsGetDests2): name ("NAME/INSTANCE" for an
 * instance), "printer-make-and-model" as driver name, default flag. The driver version is ""
 * (the destination list carries none). Empty when no print server answers. */
KSYS_EXPORT KSysSnapshot* KSysCreatePrinterSnapshot(void);
KSYS_EXPORT KSysPrinter* KSysEnumPrinter(KSysSnapshot* snapshot, int index);
KSYS_EXPORT const char* KSysGetPrinterName(KSysPrinter* printer);
KSYS_EXPORT const char* KSysGetPrinterDriverName(KSysPrinter* printer);
KSYS_EXPORT const char* KSysGetPrinterDriverVersion(KSysPrinter* printer);
KSYS_EXPORT int KSysIsPrinterDefault(KSysPrinter* printer);

/* ---- Application windows ---------------------------------------------------------------- */

/* The X11 session's managed windows (_NET_CLIENT_LIST of the root window) without desktop,
 * dock and hidden windows: title (_NET_WM_NAME, else WM_NAME), process name (base name of
 * /proc/PID/exe of _NET_WM_PID), localized name (instance part of WM_CLASS), class name (class
 * part of WM_CLASS), active when owned by the process of _NET_ACTIVE_WINDOW. Empty when no
 * display can be opened ($DISPLAY unset or unreachable). */
KSYS_EXPORT KSysSnapshot* KSysCreateCurrentApplicationWindowSnapshot(void);
KSYS_EXPORT KSysApplicationWindow* KSysEnumApplicationWindow(KSysSnapshot* snapshot, int index);
KSYS_EXPORT const char* KSysGetApplicationWindowTitle(KSysApplicationWindow* window);
KSYS_EXPORT const char* KSysGetApplicationWindowProcessName(KSysApplicationWindow* window);
KSYS_EXPORT const char* KSysGetApplicationWindowLocalizedName(KSysApplicationWindow* window);
KSYS_EXPORT const char* KSysGetApplicationWindowClassName(KSysApplicationWindow* window);
KSYS_EXPORT int KSysIsApplicationWindowActive(KSysApplicationWindow* window);

#ifdef __cplusplus
}
#endif

#endif
