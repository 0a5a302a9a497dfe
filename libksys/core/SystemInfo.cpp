// SPDX-License-Identifier: Apache-2.0
#include "core/SystemInfo.h"

#include "platform/HostFacts.h"
#include "platform/InterfaceAddresses.h"
#include "platform/LocaleFacts.h"
#include "platform/PciDisplays.h"
#include "rules/DisplayPath.h"
#include "rules/LocaleText.h"
#include "rules/VersionText.h"

namespace ksys {

namespace {

// Built when the library is loaded and destroyed when it is unloaded.
KSysInfo g_info;

}  // namespace

KSysInfo& KSysInfo::instance() { return g_info; }

void KSysInfo::readOsRelease() {
    const auto values = HostFacts::osRelease();
    if (values.empty()) return;
    const auto field = [&values](const char* key) {
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    };
    std::string name = field("NAME");
    if (name.empty()) name = "Linux";  // the documented default of a file without NAME
    const std::string version = field("VERSION_ID");
    m_osName = OsLongName(name, version);
    m_osNameShort = OsShortName(name, version);
}

const char* KSysInfo::osName() {
    if (m_osName.empty()) readOsRelease();
    return m_osName.c_str();
}

const char* KSysInfo::osNameShort() {
    if (m_osNameShort.empty()) readOsRelease();
    return m_osNameShort.c_str();
}

const char* KSysInfo::cpuArchitectureName() {
    return cached(m_cpuArchitectureName,
                  [] { return HostFacts::uname(HostFacts::UnameField::Machine); });
}

const char* KSysInfo::kernelVersion() {
    return cached(m_kernelVersion, [] { return HostFacts::uname(HostFacts::UnameField::Release); });
}

const char* KSysInfo::buildNumber() {
    return cached(m_buildNumber, [] { return HostFacts::uname(HostFacts::UnameField::Version); });
}

const char* KSysInfo::pcName() {
    return cached(m_pcName, [] { return HostFacts::uname(HostFacts::UnameField::NodeName); });
}

const char* KSysInfo::domainName() { return cached(m_domainName, HostFacts::domainName); }

const char* KSysInfo::cpuName() { return cached(m_cpuName, HostFacts::cpuName); }

std::uint64_t KSysInfo::memorySizeKiB() {
    if (m_memorySizeKiB == 0) m_memorySizeKiB = HostFacts::totalMemoryBytes().value_or(0) >> 10;
    return m_memorySizeKiB;
}

const char* KSysInfo::pcModelName() {
    return cached(m_pcModelName, [] { return HostFacts::dmi("product_name"); });
}

const char* KSysInfo::pcVendorName() {
    return cached(m_pcVendorName, [] { return HostFacts::dmi("sys_vendor"); });
}

const char* KSysInfo::pcSerialNumber() {
    return cached(m_pcSerialNumber, [] { return HostFacts::dmi("product_serial"); });
}

const char* KSysInfo::userName() { return cached(m_userName, HostFacts::userName); }

const char* KSysInfo::localeName() {
    return cached(m_localeName,
                  [] { return ParseLocaleName(LocaleFacts::localeName()).identifier; });
}

const char* KSysInfo::localeLanguage() {
    return cached(m_localeLanguage,
                  [] { return ParseLocaleName(LocaleFacts::localeName()).language; });
}

const char* KSysInfo::localeCountry() {
    return cached(m_localeCountry,
                  [] { return ParseLocaleName(LocaleFacts::localeName()).country; });
}

const char* KSysInfo::decimalSeparator() {
    return cached(m_decimalSeparator, LocaleFacts::decimalSeparator);
}

const char* KSysInfo::thousandSeparator() {
    return cached(m_thousandSeparator, LocaleFacts::thousandSeparator);
}

const char* KSysInfo::timezoneName() { return cached(m_timezoneName, LocaleFacts::timeZoneName); }

const char* KSysInfo::localeLanguageAt(std::uint32_t index) {
    if (index == 0) m_languages = LocaleFacts::preferredLanguages();
    return index < m_languages.size() ? m_languages[index].c_str() : "";
}

const char* KSysInfo::ipAddressAt(unsigned int flags, std::uint32_t index) {
    if (index == 0 || flags != m_addressFlags) {
        m_addresses = InterfaceAddresses::list(flags);
        m_addressFlags = flags;
    }
    return index < m_addresses.size() ? m_addresses[index].c_str() : "";
}

void KSysInfo::readAdapters() {
    if (m_adapters.empty()) m_adapters = PciDisplays::list();
}

KSysVGA* KSysInfo::vgaAt(std::uint32_t index) {
    readAdapters();
    return index < m_adapters.size() ? &m_adapters[index] : nullptr;
}

KSysVGA* KSysInfo::vgaOfScreen(const std::string& path) {
    readAdapters();
    const std::string wanted = ComparablePath(path);
    for (KSysVGA& adapter : m_adapters)
        for (const std::string& monitor : adapter.monitorPaths)
            if (ComparablePath(monitor) == wanted) return &adapter;
    return nullptr;
}

}  // namespace ksys
