// SPDX-License-Identifier: Apache-2.0
// Facts and snapshots read from this machine, including the reads that find nothing in a
// container (no DMI table, no USB bus, no print server, no display): those must give empty
// results, not failures.
#include <gtest/gtest.h>

#include <locale.h>
#include <sys/utsname.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ksys/ksys.h"
#include "platform/LocaleFacts.h"

namespace {

// Sets or unsets one environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
        tzset();
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

struct SnapshotRelease {
    void operator()(KSysSnapshot* snapshot) const { KSysReleaseSnapshot(snapshot); }
};
using Snapshot = std::unique_ptr<KSysSnapshot, SnapshotRelease>;

std::optional<std::string> firstLine(const char* path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) return std::nullopt;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::vector<std::string> addresses(unsigned flags) {
    std::vector<std::string> list;
    for (int i = 0;; ++i) {
        const std::string address = KSysEnumIPAddress(flags, i);
        if (address.empty()) break;
        list.push_back(address);
    }
    return list;
}

TEST(TimezoneOffset, FoldedOffsetOfTheZoneInTz) {
    const struct {
        const char* tz;
        int expected;
    } cases[] = {
        {"<+13>-13", -660},  // 13 hours ahead folds by one day
        {"<+14>-14", -600}, {"<-05>5", -300}, {"<+0530>-5:30", 330}, {"<-12>12", -720}, {"UTC0", 0},
    };
    for (const auto& c : cases) {
        const ScopedEnvironment tz("TZ", c.tz);
        EXPECT_EQ(KSysGetTimezoneOffset(), c.expected) << c.tz;
    }
}

TEST(TimezoneName, FromTzElseTheSystemLink) {
    {
        const ScopedEnvironment tz("TZ", ":Europe/Berlin");
        EXPECT_EQ(ksys::LocaleFacts::timeZoneName(), "Europe/Berlin");
    }
    const ScopedEnvironment tz("TZ", nullptr);
    char target[4096] = {};
    const ssize_t length = ::readlink("/etc/localtime", target, sizeof target - 1);
    const std::string link(target, length > 0 ? static_cast<std::size_t>(length) : 0);
    const std::size_t at = link.rfind("zoneinfo/");
    if (at == std::string::npos) GTEST_SKIP() << "/etc/localtime is not a zoneinfo link here";
    EXPECT_EQ(ksys::LocaleFacts::timeZoneName(), link.substr(at + 9));
}

TEST(Locale, CategoriesResolveLikeTheCLibrary) {
    const ScopedEnvironment all("LC_ALL", nullptr);
    const ScopedEnvironment messages("LC_MESSAGES", "fr_CA.UTF-8");
    const ScopedEnvironment lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(ksys::LocaleFacts::localeName(), "fr_CA.UTF-8");
    {
        const ScopedEnvironment override("LC_ALL", "sv_SE.UTF-8");
        EXPECT_EQ(ksys::LocaleFacts::localeName(), "sv_SE.UTF-8");
    }
    const ScopedEnvironment noMessages("LC_MESSAGES", nullptr);
    EXPECT_EQ(ksys::LocaleFacts::localeName(), "de_DE.UTF-8");
}

TEST(Locale, SeparatorsOfTheEnvironmentsNumericLocale) {
    {
        const ScopedEnvironment all("LC_ALL", "C");
        EXPECT_EQ(ksys::LocaleFacts::decimalSeparator(), ".");
        EXPECT_EQ(ksys::LocaleFacts::thousandSeparator(), "");
    }
    {
        // A locale that is not installed falls back to the C separators.
        const ScopedEnvironment all("LC_ALL", "xx_YY.UTF-8");
        EXPECT_EQ(ksys::LocaleFacts::decimalSeparator(), ".");
    }
    locale_t german = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", nullptr);
    if (!german) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    freelocale(german);
    const ScopedEnvironment all("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(ksys::LocaleFacts::decimalSeparator(), ",");
    EXPECT_EQ(ksys::LocaleFacts::thousandSeparator(), ".");
    // The process's own locale is left alone.
    EXPECT_STREQ(localeconv()->decimal_point, ".");
}

TEST(Locale, PreferredLanguagesAreReadAgainAtIndexZero) {
    const ScopedEnvironment all("LC_ALL", nullptr);
    {
        const ScopedEnvironment language("LANGUAGE", "pt_BR:en");
        EXPECT_STREQ(KSysEnumLocaleLanguage(0), "pt");
        EXPECT_STREQ(KSysEnumLocaleLanguage(1), "en");
        EXPECT_STREQ(KSysEnumLocaleLanguage(2), "");
        EXPECT_STREQ(KSysEnumLocaleLanguage(-1), "");
    }
    const ScopedEnvironment language("LANGUAGE", nullptr);
    const ScopedEnvironment messages("LC_MESSAGES", "nl_BE.UTF-8");
    EXPECT_STREQ(KSysEnumLocaleLanguage(0), "nl");
    EXPECT_STREQ(KSysEnumLocaleLanguage(1), "");
}

TEST(Memory, InformationIsConsistentAndANullArgumentIsRefused) {
    EXPECT_EQ(KSysGetMemoryInformation(nullptr), 0);
    KSysMemoryInformation info{7, 7, 7.0};
    ASSERT_EQ(KSysGetMemoryInformation(&info), 1);
    EXPECT_GT(info.totalPhysicalKiB, 0u);
    EXPECT_LE(info.freePhysicalKiB, info.totalPhysicalKiB);
    EXPECT_GE(info.usedFraction, 0.0);
    EXPECT_LE(info.usedFraction, 1.0);
    EXPECT_NEAR(info.usedFraction,
                1.0 - static_cast<double>(info.freePhysicalKiB) / info.totalPhysicalKiB, 1e-3);
    EXPECT_EQ(KSysGetMemorySize(), info.totalPhysicalKiB);
}

TEST(SystemFacts, UnameAndOsReleaseOfThisMachine) {
    struct utsname names {};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_STREQ(KSysGetKernelVersion(), names.release);
    EXPECT_STREQ(KSysGetBuildNumber(), names.version);
    EXPECT_STREQ(KSysGetPCName(), names.nodename);
    EXPECT_STREQ(KSysGetCPUArchitectureName(), names.machine);
    EXPECT_EQ(KSysGetOSArchitecture(), static_cast<int>(sizeof(void*) * 8));
    EXPECT_EQ(KSysGetOSKind(), KSYS_OS_KIND_LINUX);
    EXPECT_EQ(KSysVersion(), 0x01080103u);
    EXPECT_STREQ(KSysGetOSEdition(), "");
    EXPECT_STREQ(KSysGetOSSPVersion(), "");
    EXPECT_STREQ(KSysGetOSReleaseID(), "");
    if (firstLine("/etc/os-release") || firstLine("/usr/lib/os-release")) {
        const std::string name = KSysGetOSName(), shortName = KSysGetOSNameShort();
        EXPECT_FALSE(name.empty());
        // The short name is the long one with its version cut.
        EXPECT_EQ(name.compare(0, shortName.size(), shortName), 0) << name << " / " << shortName;
    }
    EXPECT_FALSE(std::string(KSysGetUserName()).empty());
    EXPECT_STREQ(KSysGetSystemLocaleName(), KSysGetLocaleName());
}

TEST(SystemFacts, DmiEntriesAreEmptyWhenUnreadable) {
    const struct {
        const char* (*getter)();
        const char* file;
    } cases[] = {
        {KSysGetPCModelName, "/sys/class/dmi/id/product_name"},
        {KSysGetPCVendorName, "/sys/class/dmi/id/sys_vendor"},
        {KSysGetPCSerialNumber, "/sys/class/dmi/id/product_serial"},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> expected = firstLine(c.file);
        EXPECT_EQ(c.getter(), expected.value_or("")) << c.file;
    }
}

TEST(Addresses, FlagsSelectFamiliesAndLoopback) {
    const auto v4WithLoopback = addresses(KSYS_IP_V4 | KSYS_IP_LOOPBACK);
    EXPECT_NE(std::find(v4WithLoopback.begin(), v4WithLoopback.end(), "127.0.0.1"),
              v4WithLoopback.end());
    for (const std::string& address : v4WithLoopback)
        EXPECT_EQ(address.find(':'), std::string::npos) << address;
    const auto v4 = addresses(KSYS_IP_V4);
    EXPECT_EQ(std::find(v4.begin(), v4.end(), "127.0.0.1"), v4.end());
    EXPECT_EQ(v4.size() + 1, v4WithLoopback.size());
    for (const std::string& address : addresses(KSYS_IP_V6 | KSYS_IP_LOOPBACK))
        EXPECT_NE(address.find(':'), std::string::npos) << address;
}

TEST(EmptyHere, UsbSnapshotWithoutABusIsEmpty) {
    const Snapshot usb(KSysCreateUSBDeviceSnapshot());
    ASSERT_NE(usb, nullptr);
    if (std::ifstream("/sys/bus/usb/devices/usb1/idVendor"))
        GTEST_SKIP() << "this machine has a USB bus";
    EXPECT_EQ(KSysEnumUSBDevice(usb.get(), 0), nullptr);
}

TEST(EmptyHere, PrinterSnapshotWithoutAServerIsEmpty) {
    const ScopedEnvironment server("CUPS_SERVER", "/nonexistent/ksys-tests/cups.sock");
    const Snapshot printers(KSysCreatePrinterSnapshot());
    ASSERT_NE(printers, nullptr);
    EXPECT_EQ(KSysEnumPrinter(printers.get(), 0), nullptr);
}

TEST(EmptyHere, WindowSnapshotWithoutADisplayIsEmpty) {
    for (const char* display : {static_cast<const char*>(nullptr), "", ":97"}) {
        const ScopedEnvironment env("DISPLAY", display);
        const Snapshot windows(KSysCreateCurrentApplicationWindowSnapshot());
        ASSERT_NE(windows, nullptr);
        EXPECT_EQ(KSysEnumApplicationWindow(windows.get(), 0), nullptr)
            << (display ? display : "(unset)");
    }
}

TEST(EmptyHere, KernelModulesOnlyWhenTheListIsReadable) {
    const Snapshot modules(KSysCreateLoadedKEXTSnapshot());
    ASSERT_NE(modules, nullptr);
    const std::optional<std::string> first = firstLine("/proc/modules");
    KSysKEXT* module = KSysEnumLoadedKEXT(modules.get(), 0);
    if (!first) {
        EXPECT_EQ(module, nullptr);
        return;
    }
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(first->substr(0, first->find(' ')), KSysGetKEXTName(module));
}

TEST(EmptyHere, GraphicsAdaptersAreDisplayDevicesOnly) {
    for (int i = 0; KSysVGA* vga = KSysEnumVGA(i); ++i) {
        const std::string location = KSysGetVGADeviceLocationID(vga);
        ASSERT_FALSE(location.empty());
        std::ifstream classFile("/sys/bus/pci/devices/" + location + "/class");
        std::string deviceClass;
        classFile >> deviceClass;
        EXPECT_EQ(deviceClass.compare(0, 4, "0x03"), 0) << location;
        for (int j = 0; *KSysEnumVGAMonitorPath(vga, j); ++j)
            EXPECT_EQ(KSysGetVGAOfScreen(KSysEnumVGAMonitorPath(vga, j)), vga);
    }
    EXPECT_EQ(KSysEnumVGA(-1), nullptr);
    EXPECT_EQ(KSysGetVGAOfScreen("card9-no-such-connector"), nullptr);
}

TEST(EmptyHere, InstalledApplicationsAreNamed) {
    const Snapshot apps(KSysCreateInstalledApplicationSnapshot());
    ASSERT_NE(apps, nullptr);
    for (int i = 0; KSysApplication* app = KSysEnumInstalledApplication(apps.get(), i); ++i)
        EXPECT_STRNE(KSysGetApplicationName(app), "");
}

}  // namespace
