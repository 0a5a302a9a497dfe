// SPDX-License-Identifier: Apache-2.0
#include "rules/LocaleText.h"

namespace ksys {

LocaleParts ParseLocaleName(const std::string& name) {
    LocaleParts parts;
    parts.identifier = name.substr(0, name.find_first_of(".@"));
    if (parts.identifier == "C" || parts.identifier == "POSIX") return parts;
    const std::size_t underscore = parts.identifier.find('_');
    parts.language = parts.identifier.substr(0, underscore);
    if (underscore != std::string::npos) parts.country = parts.identifier.substr(underscore + 1);
    return parts;
}

std::string LanguageOfTag(const std::string& tag) {
    return tag.substr(0, tag.find_first_of("-_.@"));
}

std::vector<std::string> LanguagesOfList(const std::string& list) {
    std::vector<std::string> languages;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string language = LanguageOfTag(list.substr(start, end - start));
        if (!language.empty() && language != "C" && language != "POSIX")
            languages.push_back(language);
        start = end + 1;
    }
    return languages;
}

}  // namespace ksys
