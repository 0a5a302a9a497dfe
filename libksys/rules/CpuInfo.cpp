// SPDX-License-Identifier: Apache-2.0
#include "rules/CpuInfo.h"

#include <map>
#include <sstream>
#include <string_view>

#include "rules/Trim.h"

namespace ksys {

std::string CpuNameFromCpuinfo(const std::string& text) {
    static const char* const kKeys[] = {"model name", "Hardware", "Processor", "cpu model"};
    std::map<std::string, std::string> firstValues;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string_view entry = line;
        const std::string key(Trim(entry.substr(0, colon)));
        const std::string value(Trim(entry.substr(colon + 1)));
        if (!value.empty()) firstValues.emplace(key, value);
    }
    for (const char* key : kKeys) {
        const auto found = firstValues.find(key);
        if (found != firstValues.end()) return found->second;
    }
    return std::string();
}

}  // namespace ksys
