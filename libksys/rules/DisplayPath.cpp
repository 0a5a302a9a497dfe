// SPDX-License-Identifier: Apache-2.0
#include "rules/DisplayPath.h"

namespace ksys {

std::string ComparablePath(const std::string& path) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        const std::string element =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        out += element.substr(0, element.find('@'));
        if (slash == std::string::npos) break;
        out += '/';
        start = slash + 1;
    }
    return out;
}

}  // namespace ksys
