// SPDX-License-Identifier: Apache-2.0
#include "platform/KernelModules.h"

#include "platform/FileSystem.h"
#include "rules/KernelText.h"

namespace ksys {

std::vector<KSysKEXT> KernelModules::list(const std::string& modulesFile,
                                          const std::string& moduleFolder) {
    std::vector<KSysKEXT> modules;
    const auto text = FileSystem::readFile(modulesFile);
    if (!text) return modules;
    for (std::string& name : ModuleNames(*text)) {
        KSysKEXT module;
        module.version = FileSystem::readLine(moduleFolder + "/" + name + "/version");
        module.name = std::move(name);
        modules.push_back(std::move(module));
    }
    return modules;
}

}  // namespace ksys
