// SPDX-License-Identifier: Apache-2.0
// The exported functions: argument checks and conversions around the snapshot and fact classes.
// Nothing may escape to a C caller, so every entry point catches everything.
#include <cstring>
#include <memory>
#include <new>

#include "core/Snapshot.h"
#include "core/SystemInfo.h"
#include "ksys/ksys.h"
#include "platform/DesktopEntries.h"
#include "platform/HostFacts.h"
#include "platform/KernelModules.h"
#include "platform/LocaleFacts.h"
#include "platform/PrintServer.h"
#include "platform/ProcessTable.h"
#include "platform/UsbBus.h"
#include "platform/X11Windows.h"
#include "rules/TimeZone.h"

using ksys::ItemSnapshot;
using ksys::KSysInfo;

namespace {

template <typename Result, typename Body> Result Guarded(Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Item> Item* ItemAt(KSysSnapshot* snapshot, int index) noexcept {
    const auto* typed = dynamic_cast<const ItemSnapshot<Item>*>(snapshot);
    return typed ? typed->at(static_cast<std::uint32_t>(index)) : nullptr;
}

template <typename Item, typename Read> KSysSnapshot* CreateSnapshot(Read read) noexcept {
    return Guarded<KSysSnapshot*>(
        nullptr, [&]() -> KSysSnapshot* { return new ItemSnapshot<Item>(read()); });
}

const char* Text(const std::string* value) { return value ? value->c_str() : ""; }

KSysSnapshot* ProcessSnapshot(bool withCommandLines) noexcept {
    return Guarded<KSysSnapshot*>(nullptr, [&]() -> KSysSnapshot* {
        auto processes = ksys::ProcessTable::list(withCommandLines);
        if (!processes) return nullptr;
        std::vector<KSysProcess> items;
        items.reserve(processes->size());
        for (ksys::ProcessInfo& info : *processes)
            items.push_back(
                KSysProcess{std::move(info.name), info.pid, std::move(info.commandLine)});
        return new KSysProcessSnapshot(std::move(items));
    });
}

}  // namespace

extern "C" {

KSYS_EXPORT uint32_t KSysVersion(void) { return KSYS_LIBRARY_VERSION_NUMBER; }

KSYS_EXPORT int KSysGetOSKind(void) { return KSYS_OS_KIND_LINUX; }

KSYS_EXPORT KSysSnapshot* KSysCreateRunningProcessSnapshot(void) { return ProcessSnapshot(true); }

KSYS_EXPORT KSysSnapshot* KSysCreateRunningProcessSnapshotSimplified(void) {
    return ProcessSnapshot(false);
}

KSYS_EXPORT KSysProcess* KSysEnumRunningProcess(KSysSnapshot* snapshot, int index) {
    return ItemAt<KSysProcess>(snapshot, index);
}

KSYS_EXPORT const char* KSysGetProcessName(KSysProcess* process) {
    return Text(process ? &process->name : nullptr);
}

KSYS_EXPORT int KSysGetProcessPID(KSysProcess* process) { return process ? process->pid : -1; }

KSYS_EXPORT const char* KSysGetProcessCommand(KSysProcess* process) {
    return Text(process ? &process->cmd : nullptr);
}

KSYS_EXPORT int KSysIsProcessRunning(const char* name, unsigned int flags) {
    (void)flags;
    if (!name || !*name) return 0;
    return Guarded(0, [&] {
        const auto processes = ksys::ProcessTable::list(false);
        if (!processes) return 0;
        for (const ksys::ProcessInfo& info : *processes)
            if (info.name == name) return 1;
        return 0;
    });
}

KSYS_EXPORT void KSysReleaseSnapshot(KSysSnapshot* snapshot) { delete snapshot; }

KSYS_EXPORT const char* KSysGetOSName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().osName(); });
}

KSYS_EXPORT const char* KSysGetOSNameShort(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().osNameShort(); });
}

// Linux has no edition, service pack or release id in the sense these report.
KSYS_EXPORT const char* KSysGetOSEdition(void) { return ""; }
KSYS_EXPORT const char* KSysGetOSSPVersion(void) { return ""; }
KSYS_EXPORT const char* KSysGetOSReleaseID(void) { return ""; }

KSYS_EXPORT int KSysGetOSArchitecture(void) { return sizeof(void*) == 8 ? 64 : 32; }

KSYS_EXPORT const char* KSysGetCPUArchitectureName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().cpuArchitectureName(); });
}

KSYS_EXPORT const char* KSysGetKernelVersion(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().kernelVersion(); });
}

KSYS_EXPORT const char* KSysGetBuildNumber(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().buildNumber(); });
}

KSYS_EXPORT const char* KSysGetPCName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().pcName(); });
}

KSYS_EXPORT const char* KSysGetDomainName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().domainName(); });
}

KSYS_EXPORT const char* KSysGetCPUName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().cpuName(); });
}

KSYS_EXPORT uint64_t KSysGetMemorySize(void) {
    return Guarded<uint64_t>(0, [] { return KSysInfo::instance().memorySizeKiB(); });
}

KSYS_EXPORT int KSysGetMemoryInformation(KSysMemoryInformation* info) {
    if (!info) return 0;
    return Guarded(0, [info] {
        const auto total = ksys::HostFacts::totalMemoryBytes();
        *info = KSysMemoryInformation{0, 0, 0.0};
        if (!total) return 0;
        const auto kib = [](uint64_t bytes) {
            const uint64_t value = bytes >> 10;
            return static_cast<uint32_t>(value > UINT32_MAX ? UINT32_MAX : value);
        };
        info->totalPhysicalKiB = kib(*total);
        const auto available = ksys::HostFacts::availableMemoryBytes();
        if (!available) {
            info->usedFraction = 1.0;
            return 0;
        }
        const uint64_t free = *available < *total ? *available : *total;
        info->freePhysicalKiB = kib(free);
        info->usedFraction = static_cast<double>(*total - free) / static_cast<double>(*total);
        return 1;
    });
}

KSYS_EXPORT const char* KSysGetPCModelName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().pcModelName(); });
}

KSYS_EXPORT const char* KSysGetPCVendorName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().pcVendorName(); });
}

KSYS_EXPORT const char* KSysGetPCSerialNumber(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().pcSerialNumber(); });
}

KSYS_EXPORT const char* KSysGetUserName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().userName(); });
}

KSYS_EXPORT const char* KSysGetLocaleName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().localeName(); });
}

KSYS_EXPORT const char* KSysGetLocaleLanguage(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().localeLanguage(); });
}

KSYS_EXPORT const char* KSysGetLocaleCountry(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().localeCountry(); });
}

KSYS_EXPORT const char* KSysGetLocaleDecimalSeparator(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().decimalSeparator(); });
}

KSYS_EXPORT const char* KSysGetLocaleThousandSeparator(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().thousandSeparator(); });
}

KSYS_EXPORT const char* KSysGetSystemLocaleName(void) { return KSysGetLocaleName(); }
KSYS_EXPORT const char* KSysGetSystemLocaleLanguage(void) { return KSysGetLocaleLanguage(); }
KSYS_EXPORT const char* KSysGetSystemLocaleDecimalSeparator(void) {
    return KSysGetLocaleDecimalSeparator();
}
KSYS_EXPORT const char* KSysGetSystemLocaleThousandSeparator(void) {
    return KSysGetLocaleThousandSeparator();
}

KSYS_EXPORT const char* KSysEnumLocaleLanguage(int index) {
    return Guarded<const char*>("", [index] {
        return KSysInfo::instance().localeLanguageAt(static_cast<std::uint32_t>(index));
    });
}

KSYS_EXPORT const char* KSysGetTimezoneName(void) {
    return Guarded<const char*>("", [] { return KSysInfo::instance().timezoneName(); });
}

KSYS_EXPORT int KSysGetTimezoneOffset(void) {
    return Guarded(KSYS_TIMEZONE_OFFSET_UNKNOWN, [] {
        const auto seconds = ksys::LocaleFacts::timeZoneOffsetSeconds();
        return seconds ? static_cast<int>(ksys::OffsetMinutesFromSeconds(*seconds))
                       : KSYS_TIMEZONE_OFFSET_UNKNOWN;
    });
}

KSYS_EXPORT const char* KSysEnumIPAddress(unsigned int flags, int index) {
    return Guarded<const char*>("", [flags, index] {
        return KSysInfo::instance().ipAddressAt(flags, static_cast<std::uint32_t>(index));
    });
}

KSYS_EXPORT KSysVGA* KSysEnumVGA(int index) {
    return Guarded<KSysVGA*>(
        nullptr, [index] { return KSysInfo::instance().vgaAt(static_cast<std::uint32_t>(index)); });
}

KSYS_EXPORT KSysVGA* KSysGetVGAOfScreen(const char* path) {
    if (!path) return nullptr;
    return Guarded<KSysVGA*>(nullptr, [path] { return KSysInfo::instance().vgaOfScreen(path); });
}

KSYS_EXPORT const char* KSysGetVGAName(KSysVGA* vga) { return Text(vga ? &vga->name : nullptr); }
KSYS_EXPORT const char* KSysGetVGAVendor(KSysVGA* vga) {
    return Text(vga ? &vga->vendor : nullptr);
}
KSYS_EXPORT const char* KSysGetVGADriverName(KSysVGA* vga) {
    return Text(vga ? &vga->driverName : nullptr);
}
KSYS_EXPORT const char* KSysGetVGADriverVersion(KSysVGA* vga) {
    return Text(vga ? &vga->driverVersion : nullptr);
}
KSYS_EXPORT uint64_t KSysGetVGAVRAMSize(KSysVGA* vga) { return vga ? vga->vramSize : 0; }
KSYS_EXPORT const char* KSysGetVGADeviceLocationID(KSysVGA* vga) {
    return Text(vga ? &vga->deviceLocationID : nullptr);
}
KSYS_EXPORT const char* KSysEnumVGAMonitorPath(KSysVGA* vga, int index) {
    const auto at = static_cast<std::uint32_t>(index);
    return vga && at < vga->monitorPaths.size() ? vga->monitorPaths[at].c_str() : "";
}

KSYS_EXPORT KSysSnapshot* KSysCreateInstalledApplicationSnapshot(void) {
    return CreateSnapshot<KSysApplication>(
        [] { return ksys::DesktopEntries::list(ksys::DesktopEntries::applicationFolders()); });
}
KSYS_EXPORT KSysApplication* KSysEnumInstalledApplication(KSysSnapshot* snapshot, int index) {
    return ItemAt<KSysApplication>(snapshot, index);
}
KSYS_EXPORT const char* KSysGetApplicationName(KSysApplication* application) {
    return Text(application ? &application->name : nullptr);
}
KSYS_EXPORT const char* KSysGetApplicationVersion(KSysApplication* application) {
    return Text(application ? &application->version : nullptr);
}

KSYS_EXPORT KSysSnapshot* KSysCreateUSBDeviceSnapshot(void) {
    return CreateSnapshot<KSysUSB>([] { return ksys::UsbBus::list(); });
}
KSYS_EXPORT KSysUSB* KSysEnumUSBDevice(KSysSnapshot* snapshot, int index) {
    return ItemAt<KSysUSB>(snapshot, index);
}
KSYS_EXPORT const char* KSysGetUSBDeviceName(KSysUSB* device) {
    return Text(device ? &device->name : nullptr);
}
KSYS_EXPORT int KSysGetUSBDeviceVendorID(KSysUSB* device) { return device ? device->vendorId : -1; }
KSYS_EXPORT int KSysGetUSBDeviceProductID(KSysUSB* device) {
    return device ? device->productId : -1;
}
KSYS_EXPORT int KSysGetUSBDeviceBCD(KSysUSB* device) { return device ? device->bcdDevice : -1; }

KSYS_EXPORT KSysSnapshot* KSysCreateLoadedKEXTSnapshot(void) {
    return CreateSnapshot<KSysKEXT>([] { return ksys::KernelModules::list(); });
}
KSYS_EXPORT KSysKEXT* KSysEnumLoadedKEXT(KSysSnapshot* snapshot, int index) {
    return ItemAt<KSysKEXT>(snapshot, index);
}
KSYS_EXPORT const char* KSysGetKEXTName(KSysKEXT* module) {
    return Text(module ? &module->name : nullptr);
}
KSYS_EXPORT const char* KSysGetKEXTVersion(KSysKEXT* module) {
    return Text(module ? &module->version : nullptr);
}

KSYS_EXPORT KSysSnapshot* KSysCreatePrinterSnapshot(void) {
    return CreateSnapshot<KSysPrinter>([] { return ksys::PrintServer::list(); });
}
KSYS_EXPORT KSysPrinter* KSysEnumPrinter(KSysSnapshot* snapshot, int index) {
    return ItemAt<KSysPrinter>(snapshot, index);
}
KSYS_EXPORT const char* KSysGetPrinterName(KSysPrinter* printer) {
    return Text(printer ? &printer->name : nullptr);
}
KSYS_EXPORT const char* KSysGetPrinterDriverName(KSysPrinter* printer) {
    return Text(printer ? &printer->driverName : nullptr);
}
KSYS_EXPORT const char* KSysGetPrinterDriverVersion(KSysPrinter* printer) {
    return Text(printer ? &printer->driverVersion : nullptr);
}
KSYS_EXPORT int KSysIsPrinterDefault(KSysPrinter* printer) {
    return printer && printer->isDefault ? 1 : 0;
}

KSYS_EXPORT KSysSnapshot* KSysCreateCurrentApplicationWindowSnapshot(void) {
    return CreateSnapshot<KSysApplicationWindow>([] { return ksys::X11Windows::list(); });
}
KSYS_EXPORT KSysApplicationWindow* KSysEnumApplicationWindow(KSysSnapshot* snapshot, int index) {
    return ItemAt<KSysApplicationWindow>(snapshot, index);
}
KSYS_EXPORT const char* KSysGetApplicationWindowTitle(KSysApplicationWindow* window) {
    return Text(window ? &window->title : nullptr);
}
KSYS_EXPORT const char* KSysGetApplicationWindowProcessName(KSysApplicationWindow* window) {
    return Text(window ? &window->processName : nullptr);
}
KSYS_EXPORT const char* KSysGetApplicationWindowLocalizedName(KSysApplicationWindow* window) {
    return Text(window ? &window->localizedName : nullptr);
}
KSYS_EXPORT const char* KSysGetApplicationWindowClassName(KSysApplicationWindow* window) {
    return Text(window ? &window->className : nullptr);
}
KSYS_EXPORT int KSysIsApplicationWindowActive(KSysApplicationWindow* window) {
    return window && window->isActive ? 1 : 0;
}

}  // extern "C"
