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
    osName_ = osLongName(name, version);
    osNameShort_ = osShortName(name, version);
}

const char* KSysInfo::osName() {
    if (osName_.empty()) readOsRelease();
    return osName_.c_str();
}

const char* KSysInfo::osNameShort() {
    if (osNameShort_.empty()) readOsRelease();
    return osNameShort_.c_str();
}

const char* KSysInfo::cpuArchitectureName() {
    return cached(cpuArchitectureName_,
                  [] { return HostFacts::uname(HostFacts::UnameField::Machine); });
}

const char* KSysInfo::kernelVersion() {
    return cached(kernelVersion_, [] { return HostFacts::uname(HostFacts::UnameField::Release); });
}

const char* KSysInfo::buildNumber() {
    return cached(buildNumber_, [] { return HostFacts::uname(HostFacts::UnameField::Version); });
}

const char* KSysInfo::pcName() {
    return cached(pcName_, [] { return HostFacts::uname(HostFacts::UnameField::NodeName); });
}

const char* KSysInfo::domainName() { return cached(domainName_, HostFacts::domainName); }

const char* KSysInfo::cpuName() { return cached(cpuName_, HostFacts::cpuName); }

std::uint64_t KSysInfo::memorySizeKiB() {
    if (memorySizeKiB_ == 0) memorySizeKiB_ = HostFacts::totalMemoryBytes().value_or(0) >> 10;
    return memorySizeKiB_;
}

const char* KSysInfo::pcModelName() {
    return cached(pcModelName_, [] { return HostFacts::dmi("product_name"); });
}

const char* KSysInfo::pcVendorName() {
    return cached(pcVendorName_, [] { return HostFacts::dmi("sys_vendor"); });
}

const char* KSysInfo::pcSerialNumber() {
    return cached(pcSerialNumber_, [] { return HostFacts::dmi("product_serial"); });
}

const char* KSysInfo::userName() { return cached(userName_, HostFacts::userName); }

const char* KSysInfo::localeName() {
    return cached(localeName_,
                  [] { return parseLocaleName(LocaleFacts::localeName()).identifier; });
}

const char* KSysInfo::localeLanguage() {
    return cached(localeLanguage_,
                  [] { return parseLocaleName(LocaleFacts::localeName()).language; });
}

const char* KSysInfo::localeCountry() {
    return cached(localeCountry_,
                  [] { return parseLocaleName(LocaleFacts::localeName()).country; });
}

const char* KSysInfo::decimalSeparator() {
    return cached(decimalSeparator_, LocaleFacts::decimalSeparator);
}

const char* KSysInfo::thousandSeparator() {
    return cached(thousandSeparator_, LocaleFacts::thousandSeparator);
}

const char* KSysInfo::timezoneName() { return cached(timezoneName_, LocaleFacts::timeZoneName); }

const char* KSysInfo::localeLanguageAt(std::uint32_t index) {
    if (index == 0) languages_ = LocaleFacts::preferredLanguages();
    return index < languages_.size() ? languages_[index].c_str() : "";
}

const char* KSysInfo::ipAddressAt(unsigned int flags, std::uint32_t index) {
    if (index == 0 || flags != addressFlags_) {
        addresses_ = InterfaceAddresses::list(flags);
        addressFlags_ = flags;
    }
    return index < addresses_.size() ? addresses_[index].c_str() : "";
}

void KSysInfo::readAdapters() {
    if (adapters_.empty()) adapters_ = PciDisplays::list();
}

KSysVGA* KSysInfo::vgaAt(std::uint32_t index) {
    readAdapters();
    return index < adapters_.size() ? &adapters_[index] : nullptr;
}

KSysVGA* KSysInfo::vgaOfScreen(const std::string& path) {
    readAdapters();
    const std::string wanted = comparablePath(path);
    for (KSysVGA& adapter : adapters_)
        for (const std::string& monitor : adapter.monitorPaths)
            if (comparablePath(monitor) == wanted) return &adapter;
    return nullptr;
}

}  // namespace ksys
