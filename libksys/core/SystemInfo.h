// SPDX-License-Identifier: Apache-2.0
// The library-wide cache of single facts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Records.h"

namespace ksys {

// Each fact is read on first use and kept while it is non-empty; an empty result is read
// again on the next call. No lock: callers use it from one thread at a time.
class KSysInfo {
public:
    static KSysInfo& instance();

    const char* osName();
    const char* osNameShort();
    const char* cpuArchitectureName();
    const char* kernelVersion();
    const char* buildNumber();
    const char* pcName();
    const char* domainName();
    const char* cpuName();
    std::uint64_t memorySizeKiB();
    const char* pcModelName();
    const char* pcVendorName();
    const char* pcSerialNumber();
    const char* userName();
    const char* localeName();
    const char* localeLanguage();
    const char* localeCountry();
    const char* decimalSeparator();
    const char* thousandSeparator();
    const char* timezoneName();
    // Index 0 reads the list again; "" beyond the end.
    const char* localeLanguageAt(std::uint32_t index);
    // Index 0, or other flags than the last read, reads the list again; "" beyond the end.
    const char* ipAddressAt(unsigned int flags, std::uint32_t index);
    // Null beyond the end.
    KSysVGA* vgaAt(std::uint32_t index);
    KSysVGA* vgaOfScreen(const std::string& path);

private:
    template <typename Update> const char* cached(std::string& slot, Update update) {
        if (slot.empty()) slot = update();
        return slot.c_str();
    }
    void readOsRelease();
    void readAdapters();

    std::string m_osName, m_osNameShort, m_cpuArchitectureName, m_kernelVersion, m_buildNumber,
        m_pcName, m_domainName, m_cpuName, m_pcModelName, m_pcVendorName, m_pcSerialNumber,
        m_userName, m_localeName, m_localeLanguage, m_localeCountry, m_decimalSeparator,
        m_thousandSeparator, m_timezoneName;
    std::uint64_t m_memorySizeKiB = 0;
    std::vector<std::string> m_languages;
    std::vector<std::string> m_addresses;
    unsigned int m_addressFlags = 0;
    std::vector<KSysVGA> m_adapters;
};

}  // namespace ksys
