// SPDX-License-Identifier: Apache-2.0
#include "platform/KernelModules.h"

#include <sstream>

#include "platform/FileSystem.h"

namespace ksys {

std::vector<KSysKEXT> KernelModules::list(const std::string& modulesFile,
                                          const std::string& moduleFolder) {
    std::vector<KSysKEXT> modules;
    const auto text = FileSystem::readFile(modulesFile);
    if (!text) return modules;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream columns(line);
        KSysKEXT module;
        if (!(columns >> module.name)) continue;
        module.version = FileSystem::readLine(moduleFolder + "/" + module.name + "/version");
        modules.push_back(std::move(module));
    }
    return modules;
}

}  // namespace ksys
