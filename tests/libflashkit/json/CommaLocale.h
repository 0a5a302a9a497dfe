// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <clocale>
#include <cstring>
#include <locale.h>

namespace pocketjson::test {

// Switches the calling thread to a locale whose decimal point is not '.', when one is
// installed.
class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                 "nl_NL.UTF-8", "ru_RU.UTF-8", "de_DE", "fr_FR"}) {
            m_locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
            if (m_locale) break;
        }
        if (m_locale) m_previous = uselocale(m_locale);
    }
    ~CommaLocale() {
        if (!m_locale) return;
        uselocale(m_previous);
        freelocale(m_locale);
    }
    bool active() const {
        return m_locale && std::strcmp(std::localeconv()->decimal_point, ".") != 0;
    }

private:
    locale_t m_locale = static_cast<locale_t>(nullptr);
    locale_t m_previous = static_cast<locale_t>(nullptr);
};

}  // namespace pocketjson::test
