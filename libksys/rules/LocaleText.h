// SPDX-License-Identifier: Apache-2.0
// Locale identifiers and language lists.
#pragma once

#include <string>
#include <vector>

namespace ksys {

struct LocaleParts {
    std::string identifier;  // "de_DE"
    std::string language;    // "de"
    std::string country;     // "DE"
};

// Splits a C library locale name ("de_DE.UTF-8@euro"); "C" and "POSIX" (with any codeset) keep
// their identifier and have no language or country.
LocaleParts ParseLocaleName(const std::string& name);

// A language tag cut before its first "-" or "_" (and before a codeset or modifier).
std::string LanguageOfTag(const std::string& tag);

// The languages of a colon-separated list ($LANGUAGE), cut by languageOfTag; empty items and
// "C"/"POSIX" are skipped.
std::vector<std::string> LanguagesOfList(const std::string& list);

}  // namespace ksys
