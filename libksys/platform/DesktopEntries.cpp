// SPDX-License-Identifier: Apache-2.0
#include "platform/DesktopEntries.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "rules/DesktopEntry.h"

namespace ksys {

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() > tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::vector<KSysApplication> DesktopEntries::list(const std::vector<std::string>& folders) {
    std::vector<KSysApplication> applications;
    for (const std::string& folder : folders) {
        auto names = FileSystem::listFolder(folder);
        if (!names) continue;
        std::sort(names->begin(), names->end());
        for (const std::string& name : *names) {
            if (!EndsWith(name, ".desktop")) continue;
            const auto text = FileSystem::readFile(folder + "/" + name);
            if (!text) continue;
            if (auto application = ParseDesktopEntry(*text))
                applications.push_back(std::move(*application));
        }
    }
    return applications;
}

std::vector<std::string> DesktopEntries::applicationFolders() {
    std::vector<std::string> folders;
    std::string home = EnvironmentValue("XDG_DATA_HOME");
    if (home.empty() && !EnvironmentValue("HOME").empty())
        home = EnvironmentValue("HOME") + "/.local/share";
    if (!home.empty()) folders.push_back(home + "/applications");
    std::string dirs = EnvironmentValue("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        if (end > start) folders.push_back(dirs.substr(start, end - start) + "/applications");
        start = end + 1;
    }
    return folders;
}

}  // namespace ksys
