// SPDX-License-Identifier: Apache-2.0
// The pure rules, as tables: each row is an input the platform reads could hand over.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ksys/ksys.h"
#include "rules/AddressFilter.h"
#include "rules/CpuInfo.h"
#include "rules/DesktopEntry.h"
#include "rules/DisplayPath.h"
#include "rules/KernelText.h"
#include "rules/LocaleText.h"
#include "rules/PciIds.h"
#include "rules/PciVendor.h"
#include "rules/ProcessText.h"
#include "rules/TimeZone.h"
#include "rules/UsbClass.h"
#include "rules/VersionText.h"

namespace ksys {
namespace {

TEST(VersionText, ShortVersionCutsByMajorNumber) {
    const struct {
        const char* version;
        const char* expected;
    } cases[] = {
        {"10.15.7", "10.15"},  // at most 10: two parts
        {"10.9", "10.9"},      // no second "." stays whole
        {"9.3.1", "9.3"},
        {"10", "10"},
        {"11.2.3", "11"},  // above 10: the major number alone
        {"12", "12"},
        {"22.04", "22"},
        {"", ""},
        {"rolling", "rolling"},  // no number: kept
    };
    for (const auto& c : cases) EXPECT_EQ(ShortVersionText(c.version), c.expected) << c.version;
}

TEST(VersionText, NamesJoinProductAndVersion) {
    EXPECT_EQ(OsLongName("Debian GNU/Linux", "12"), "Debian GNU/Linux 12");
    EXPECT_EQ(OsShortName("Ubuntu", "22.04"), "Ubuntu 22");
    EXPECT_EQ(OsShortName("Some OS", "10.4.2"), "Some OS 10.4");
    EXPECT_EQ(OsLongName("Arch Linux", ""), "Arch Linux");
    EXPECT_EQ(OsLongName("", "12"), "");
}

TEST(VersionText, OsReleaseValuesAreUnquoted) {
    const auto values = ParseOsRelease("# comment\n"
                                       "NAME=\"Debian GNU/Linux\"\n"
                                       "VERSION_ID='12'\n"
                                       "ID=debian\n"
                                       "PRETTY_NAME=\"Say \\\"hi\\\"\"\r\n"
                                       "garbage line\n"
                                       "=novalue\n");
    EXPECT_EQ(values.at("NAME"), "Debian GNU/Linux");
    EXPECT_EQ(values.at("VERSION_ID"), "12");
    EXPECT_EQ(values.at("ID"), "debian");
    EXPECT_EQ(values.at("PRETTY_NAME"), "Say \"hi\"");
    EXPECT_EQ(values.size(), 4u);
}

TEST(TimeZone, OffsetsFoldIntoOneDayAroundGmt) {
    const struct {
        long minutes;
        long expected;
    } cases[] = {
        {0, 0},      {720, 720},  {-720, -720}, {780, -660},  // 13 hours ahead
        {721, -719}, {-721, 719}, {-780, 660},  {3000, 120}, {-3000, -120},
    };
    for (const auto& c : cases) EXPECT_EQ(FoldOffsetMinutes(c.minutes), c.expected) << c.minutes;
}

TEST(TimeZone, SecondsRoundToTheNearestMinuteBeforeFolding) {
    const struct {
        long seconds;
        long expected;
    } cases[] = {
        {3600, 60},     {-18000, -300}, {19800, 330},  {29, 0},
        {31, 1},        {-31, -1},      {46800, -660},  // +13:00
        {-37800, -630},                                 // -10:30 stays
    };
    for (const auto& c : cases)
        EXPECT_EQ(OffsetMinutesFromSeconds(c.seconds), c.expected) << c.seconds;
}

TEST(TimeZone, ZoneNamesFromTzAndLinks) {
    EXPECT_EQ(ZoneNameFromTzVariable(":Europe/Berlin"), "Europe/Berlin");
    EXPECT_EQ(ZoneNameFromTzVariable("Asia/Tokyo"), "Asia/Tokyo");
    EXPECT_EQ(ZoneNameFromTzVariable(":/usr/share/zoneinfo/America/New_York"), "America/New_York");
    EXPECT_EQ(ZoneNameFromLinkTarget("/usr/share/zoneinfo/Etc/UTC"), "Etc/UTC");
    EXPECT_EQ(ZoneNameFromLinkTarget("../usr/share/zoneinfo/posix/Europe/Paris"), "Europe/Paris");
    EXPECT_EQ(ZoneNameFromLinkTarget("/etc/some-other-file"), "");
}

TEST(AddressFilter, FlagsSelectFamiliesAndLoopback) {
    using F = AddressFamily;
    const struct {
        F family;
        bool loopback;
        unsigned flags;
        bool expected;
    } cases[] = {
        {F::IPv4, false, 0, true},
        {F::IPv6, false, 0, true},
        {F::IPv4, true, 0, false},  // loopback needs its bit
        {F::IPv6, true, KSYS_IP_LOOPBACK, true},
        {F::IPv4, false, KSYS_IP_V4, true},
        {F::IPv6, false, KSYS_IP_V4, false},
        {F::IPv4, false, KSYS_IP_V6, false},
        {F::IPv6, false, KSYS_IP_V6, true},
        {F::IPv6, false, KSYS_IP_V4 | KSYS_IP_V6, true},
        {F::IPv4, true, KSYS_IP_V6 | KSYS_IP_LOOPBACK, false},
        {F::Other, false, 0, false},  // link-layer entries of getifaddrs
        {F::Other, false, KSYS_IP_V4 | KSYS_IP_V6 | KSYS_IP_LOOPBACK, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AcceptAddress(c.family, c.loopback, c.flags), c.expected)
            << static_cast<int>(c.family) << " loopback " << c.loopback << " flags " << c.flags;
}

TEST(UsbClass, DescriptionsOfBaseClasses) {
    const struct {
        int code;
        const char* expected;
    } cases[] = {
        {0x01, "Audio"},
        {0x02, "Communication and CDC Control"},
        {0x03, "HID"},
        {0x05, "Physical"},
        {0x06, "Image"},
        {0x07, "Printer"},
        {0x08, "Mass Storage"},
        {0x09, "Hub"},
        {0x0a, "CDC-Data"},
        {0x0b, "Smart Card"},
        {0x0d, "Content Security"},
        {0x0e, "Video"},
        {0x0f, "Personal Healthcare"},
        {0x10, "Audio/Video Devices"},
        {0x11, "Billboard Device Class"},
        {0x12, "USB Type-C Bridge Class"},
        {0xdc, "Diagnostic Device"},
        {0xe0, "Wireless Controller"},
        {0xef, "Miscellaneous"},
        {0xfe, "Application Specific"},
        {0xff, "Vendor Specific"},
        // Codes without a description: interface-defined, reserved and out of range.
        {0x00, ""},
        {0x04, ""},
        {0x0c, ""},
        {0x13, ""},
        {0x100, ""},
        {-1, ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(UsbClassDescription(c.code), c.expected) << c.code;
}

TEST(PciVendor, TableOfGraphicsVendors) {
    const struct {
        unsigned id;
        const char* expected;
    } cases[] = {
        {0x1002, "AMD"},    {0x1022, "AMD"},    {0x05ac, "Apple"}, {0x106b, "Apple"},
        {0x13b5, "ARM"},    {0x163c, "Intel"},  {0x8086, "Intel"}, {0x8087, "Intel"},
        {0x10de, "NVIDIA"}, {0x15ad, "VMware"}, {0x1af4, ""},      {0x0000, ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(PciVendorName(c.id), c.expected) << std::hex << c.id;
}

TEST(ProcessText, NameIsTheExecutablesBaseNameElseTheShortName) {
    const struct {
        std::optional<std::string> path;
        const char* shortName;
        const char* expected;
    } cases[] = {
        {std::string("/usr/bin/python3.11"), "python3\n", "python3.11"},
        {std::string("relative-name"), "x\n", "relative-name"},
        {std::string("/opt/app/bin/tool (deleted)"), "tool\n", "tool"},
        {std::string("/dir/"), "short\n", ""},
        {std::nullopt, "kworker/0:1\n", "kworker/0:1"},  // link unreadable: the kernel's name
        {std::string(), "short\n", "short"},
        {std::nullopt, "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProcessName(c.path, c.shortName), c.expected) << c.path.value_or("(none)");
}

TEST(ProcessText, ArgumentsJoinBySingleSpacesLosingBoundaries) {
    using namespace std::string_literals;
    const struct {
        std::string raw;
        const char* expected;
    } cases[] = {
        {"sleep\0"s
         "30\0"s,
         "sleep 30"},
        {"tool\0"s
         "first arg\0"s
         "word\0"s,
         "tool first arg word"},
        {"no-terminator"s, "no-terminator"},
        {"a\0\0b\0"s, "a  b"},  // an empty argument keeps its place
        {""s, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinArguments(c.raw), c.expected);
}

TEST(LocaleText, LocaleNamesSplitIntoIdentifierLanguageCountry) {
    const struct {
        const char* name;
        const char* identifier;
        const char* language;
        const char* country;
    } cases[] = {
        {"de_DE.UTF-8", "de_DE", "de", "DE"},
        {"de_DE.UTF-8@euro", "de_DE", "de", "DE"},
        {"sr_RS@latin", "sr_RS", "sr", "RS"},
        {"fr", "fr", "fr", ""},
        {"C.UTF-8", "C", "", ""},
        {"POSIX", "POSIX", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        const LocaleParts parts = ParseLocaleName(c.name);
        EXPECT_EQ(parts.identifier, c.identifier) << c.name;
        EXPECT_EQ(parts.language, c.language) << c.name;
        EXPECT_EQ(parts.country, c.country) << c.name;
    }
}

TEST(LocaleText, LanguageListsAreCutAndFiltered) {
    EXPECT_EQ(LanguageOfTag("pt-BR"), "pt");
    EXPECT_EQ(LanguageOfTag("zh_Hant_TW"), "zh");
    EXPECT_EQ(LanguageOfTag("en"), "en");
    EXPECT_EQ(LanguagesOfList("pt_BR:en-US::C:de.UTF-8"),
              (std::vector<std::string>{"pt", "en", "de"}));
    EXPECT_TRUE(LanguagesOfList("").empty());
}

TEST(DesktopEntry, ApplicationsAreReadFromTheMainGroupOnly) {
    const auto app =
        ParseDesktopEntry("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name[de]=Bildbetrachter\n"
                          "Name = Image Viewer\n"
                          "Version=1.5\n"  // the entry format's version, not the application's
                          "X-AppVersion=3.2.1\n"
                          "\n[Desktop Action New]\n"
                          "Name=New Window\n");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->name, "Image Viewer");
    EXPECT_EQ(app->version, "3.2.1");

    const auto noVersion = ParseDesktopEntry("[Desktop Entry]\nType=Application\nName=Vim\n");
    ASSERT_TRUE(noVersion);
    EXPECT_EQ(noVersion->version, "");

    const char* rejected[] = {
        "[Desktop Entry]\nType=Link\nName=Home page\n",
        "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n",
        "[Desktop Entry]\nType=Application\n",
        "[Other Group]\nType=Application\nName=Elsewhere\n",
    };
    for (const char* text : rejected) EXPECT_FALSE(ParseDesktopEntry(text)) << text;
}

TEST(DisplayPath, UnitAddressesAreCutFromEveryElement) {
    EXPECT_EQ(ComparablePath("/a@0/b@1f,2/c"), "/a/b/c");
    EXPECT_EQ(ComparablePath("card0-HDMI-A-1"), "card0-HDMI-A-1");
    EXPECT_EQ(ComparablePath("x@1"), "x");
    EXPECT_EQ(ComparablePath("/"), "/");
    EXPECT_EQ(ComparablePath(""), "");
}

TEST(CpuInfo, ModelNameOrTheArchitecturesKey) {
    EXPECT_EQ(CpuNameFromCpuinfo("processor\t: 0\nmodel name\t: Some CPU @ 2.0GHz \n"
                                 "processor\t: 1\nmodel name\t: Other\n"),
              "Some CPU @ 2.0GHz");
    EXPECT_EQ(CpuNameFromCpuinfo("Processor\t: ARMv7 rev 4\nHardware\t: BCM2835\n"), "BCM2835");
    EXPECT_EQ(CpuNameFromCpuinfo("cpu model\t: MIPS 24Kc\n"), "MIPS 24Kc");
    EXPECT_EQ(CpuNameFromCpuinfo("model name\t:\nflags\t: fpu\n"), "");
    EXPECT_EQ(CpuNameFromCpuinfo(""), "");
}

TEST(PciIds, DeviceNamesBelongToTheirVendor) {
    const std::string database = "# comment\n"
                                 "10de  NVIDIA Corporation\n"
                                 "\t46a6  Not this one\n"
                                 "8086  Intel Corporation\n"
                                 "\t46a6  Alder Lake-P GT2 [Iris Xe Graphics]\n"
                                 "\t\t1028 0b19  A subsystem\n"
                                 "\t46a60  Broken\n"
                                 "8087  Intel Corporation\n";
    EXPECT_EQ(PciDeviceName(database, 0x8086, 0x46a6), "Alder Lake-P GT2 [Iris Xe Graphics]");
    EXPECT_EQ(PciDeviceName(database, 0x10de, 0x46a6), "Not this one");
    EXPECT_EQ(PciDeviceName(database, 0x8087, 0x46a6), "");
    EXPECT_EQ(PciDeviceName(database, 0x1234, 0x0001), "");
}

TEST(PciIds, SysfsNumbers) {
    EXPECT_EQ(ParseSysfsNumber("0x8086\n", 16), 0x8086);
    EXPECT_EQ(ParseSysfsNumber("0300", 16), 0x300);
    EXPECT_EQ(ParseSysfsNumber("8589934592\n", 10), 8589934592L);
    EXPECT_EQ(ParseSysfsNumber("", 16), -1);
    EXPECT_EQ(ParseSysfsNumber("zz", 16), -1);
    EXPECT_EQ(ParseSysfsNumber("12 extra", 10), -1);
    // The whole text counts, not only what comes before a NUL byte.
    EXPECT_EQ(ParseSysfsNumber(std::string("12\0garbage", 10), 10), -1);
    EXPECT_EQ(ParseSysfsNumber(std::string("0x10\n\0", 6), 16), -1);
}

TEST(KernelText, AvailableMemoryInBytesOrNothing) {
    const std::string head = "MemTotal:       16314000 kB\nMemFree:         1200000 kB\n";
    const struct {
        std::string meminfo;
        std::optional<std::uint64_t> bytes;
    } cases[] = {
        {head + "MemAvailable:    8000000 kB\nBuffers: 1 kB\n", 8000000ull * 1024},
        {"MemAvailable: 0 kB", 0},
        // A line the old reader stopped at no longer hides the value after it.
        {"Weird: n/a\nMemAvailable: 4 kB\n", 4096},
        {"MemAvailable: 5 kB\r\n", 5120},
        {"MemAvailable: 3 kB\nMemAvailable: 9 kB\n", 3072},  // the first line counts
        // Largest count that fits once in bytes, and the first that does not: no wrap.
        {"MemAvailable: 18014398509481983 kB\n", 18014398509481983ull * 1024},
        {"MemAvailable: 18014398509481984 kB\n", std::nullopt},
        {"MemAvailable: 99999999999999999999999 kB\n", std::nullopt},
        {head, std::nullopt},
        {"MemAvailable: 12\n", std::nullopt},  // no unit
        {"MemAvailable: -1 kB\n", std::nullopt},
        {"MemAvailable: 1 2 kB\n", std::nullopt},
        {"MemAvailable:  kB\n", std::nullopt},
        {" MemAvailable: 7 kB\n", std::nullopt},
        {"MemAvailableX: 7 kB\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(MemAvailableBytes(c.meminfo), c.bytes) << c.meminfo;
}

TEST(KernelText, ModuleNamesAreTheFirstFieldOfEachLine) {
    EXPECT_EQ(ModuleNames("nvme 61440 2 - Live 0x0\ne1000e\t331776 0 - Live 0x0\n\n  \n"
                          "last 1 0 - Live 0x0"),
              (std::vector<std::string>{"nvme", "e1000e", "last"}));
    EXPECT_EQ(ModuleNames("snd 1 0 - Live 0x0\r\n"), std::vector<std::string>{"snd"});
    EXPECT_TRUE(ModuleNames("").empty());
    EXPECT_TRUE(ModuleNames("\n\n").empty());
}

}  // namespace
}  // namespace ksys
