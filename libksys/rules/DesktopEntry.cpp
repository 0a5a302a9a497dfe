// SPDX-License-Identifier: Apache-2.0
#include "rules/DesktopEntry.h"

#include <sstream>

namespace ksys {

std::optional<KSysApplication> ParseDesktopEntry(const std::string& text) {
    std::istringstream lines(text);
    std::string line, type, hidden;
    KSysApplication application;
    bool inMainGroup = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        std::size_t valueStart = equals + 1;
        while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
        const std::string value = line.substr(valueStart);
        if (key == "Name")
            application.name = value;
        else if (key == "X-AppVersion")
            application.version = value;
        else if (key == "Type")
            type = value;
        else if (key == "Hidden")
            hidden = value;
    }
    if (type != "Application" || hidden == "true" || application.name.empty()) return std::nullopt;
    return application;
}

}  // namespace ksys
