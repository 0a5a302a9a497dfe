// SPDX-License-Identifier: Apache-2.0
#include "core/SocketPath.h"

#include <cstdlib>

namespace kipc {

std::string SocketPathForName(const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp/";
    if (path.back() != '/') path += '/';
    // An inner "/" stays: the name is a path relative to the folder.
    return path + name;
}

}  // namespace kipc
