// SPDX-License-Identifier: Apache-2.0
#include "rules/CpuInfo.h"

#include <cctype>
#include <map>
#include <sstream>

namespace ksys {

namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

std::string CpuNameFromCpuinfo(const std::string& text) {
    static const char* const kKeys[] = {"model name", "Hardware", "Processor", "cpu model"};
    std::map<std::string, std::string> firstValues;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, colon));
        const std::string value = Trim(line.substr(colon + 1));
        if (!value.empty()) firstValues.emplace(key, value);
    }
    for (const char* key : kKeys) {
        const auto found = firstValues.find(key);
        if (found != firstValues.end()) return found->second;
    }
    return std::string();
}

}  // namespace ksys
