// SPDX-License-Identifier: Apache-2.0
#include "platform/LocaleFacts.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <type_traits>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "rules/LocaleText.h"
#include "rules/TimeZone.h"

namespace ksys {

namespace {

std::string CategoryName(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const std::string value = EnvironmentValue(variable);
        if (!value.empty()) return value;
    }
    return "C";
}

struct LocaleFree {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using LocalePtr = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

// A separate locale object, so the process's global locale stays as the program set it.
std::string NumericItem(nl_item item) {
    LocalePtr locale(newlocale(LC_NUMERIC_MASK, CategoryName("LC_NUMERIC").c_str(), nullptr));
    if (!locale) locale.reset(newlocale(LC_NUMERIC_MASK, "C", nullptr));
    if (!locale) return std::string();
    const char* value = nl_langinfo_l(item, locale.get());
    return value ? value : "";
}

}  // namespace

std::string LocaleFacts::localeName() { return CategoryName("LC_MESSAGES"); }

std::string LocaleFacts::decimalSeparator() { return NumericItem(RADIXCHAR); }

std::string LocaleFacts::thousandSeparator() { return NumericItem(THOUSEP); }

std::vector<std::string> LocaleFacts::preferredLanguages() {
    std::vector<std::string> languages = LanguagesOfList(EnvironmentValue("LANGUAGE"));
    if (languages.empty()) {
        const std::string language = ParseLocaleName(localeName()).language;
        if (!language.empty()) languages.push_back(language);
    }
    return languages;
}

std::string LocaleFacts::timeZoneName() {
    const char* tz = std::getenv("TZ");
    if (tz && *tz) return ZoneNameFromTzVariable(tz);
    if (const auto target = FileSystem::readLink("/etc/localtime")) {
        const std::string zone = ZoneNameFromLinkTarget(*target);
        if (!zone.empty()) return zone;
    }
    return FileSystem::readLine("/etc/timezone");
}

std::optional<long> LocaleFacts::timeZoneOffsetSeconds() {
    // localtime_r need not look at TZ again; tzset makes a changed zone count.
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local)) return std::nullopt;
    return local.tm_gmtoff;
}

}  // namespace ksys
