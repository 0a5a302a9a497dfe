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

    std::string osName_, osNameShort_, cpuArchitectureName_, kernelVersion_, buildNumber_, pcName_,
        domainName_, cpuName_, pcModelName_, pcVendorName_, pcSerialNumber_, userName_, localeName_,
        localeLanguage_, localeCountry_, decimalSeparator_, thousandSeparator_, timezoneName_;
    std::uint64_t memorySizeKiB_ = 0;
    std::vector<std::string> languages_;
    std::vector<std::string> addresses_;
    unsigned int addressFlags_ = 0;
    std::vector<KSysVGA> adapters_;
};

}  // namespace ksys
