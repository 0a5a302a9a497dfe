// SPDX-License-Identifier: Apache-2.0
// Loaded kernel modules.
#pragma once

#include <string>
#include <vector>

#include "core/Records.h"

namespace ksys {

class KernelModules {
public:
    // The first column of each line of the modules list, with the version file of the module's
    // sysfs folder when it has one; empty when the list cannot be read.
    static std::vector<KSysKEXT> list(const std::string& modulesFile = "/proc/modules",
                                      const std::string& moduleFolder = "/sys/module");
};

}  // namespace ksys
