// SPDX-License-Identifier: Apache-2.0
#include "rules/VersionText.h"

#include <cctype>
#include <sstream>

namespace ksys {

std::string ShortVersionText(const std::string& version) {
    std::size_t digits = 0;
    while (digits < version.size() && std::isdigit(static_cast<unsigned char>(version[digits])))
        ++digits;
    if (digits == 0 || digits > 9) return version;
    const long major = std::stol(version.substr(0, digits));
    const std::size_t firstDot = version.find('.');
    if (major > 10) return firstDot == std::string::npos ? version : version.substr(0, firstDot);
    if (firstDot == std::string::npos) return version;
    const std::size_t secondDot = version.find('.', firstDot + 1);
    return secondDot == std::string::npos ? version : version.substr(0, secondDot);
}

std::string OsLongName(const std::string& name, const std::string& version) {
    if (name.empty()) return std::string();
    return version.empty() ? name : name + " " + version;
}

std::string OsShortName(const std::string& name, const std::string& version) {
    return OsLongName(name, ShortVersionText(version));
}

namespace {

std::string Unquote(const std::string& raw) {
    if (raw.size() >= 2 && raw.front() == '\'' && raw.back() == '\'')
        return raw.substr(1, raw.size() - 2);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        std::string out;
        for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 2 < raw.size()) ++i;
            out += raw[i];
        }
        return out;
    }
    return raw;
}

}  // namespace

std::map<std::string, std::string> ParseOsRelease(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        values[line.substr(0, equals)] = Unquote(line.substr(equals + 1));
    }
    return values;
}

}  // namespace ksys
