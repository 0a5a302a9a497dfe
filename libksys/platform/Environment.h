// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdlib>
#include <string>

namespace ksys {

// An environment variable's value; unset and empty read the same, as every caller treats them.
inline std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace ksys
