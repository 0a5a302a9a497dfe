// SPDX-License-Identifier: Apache-2.0
#include "rules/ProcessText.h"

namespace ksys {

std::string ExecutableBaseName(const std::string& path) {
    static const std::string kDeleted = " (deleted)";
    std::string name = path;
    if (name.size() > kDeleted.size() &&
        name.compare(name.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        name.erase(name.size() - kDeleted.size());
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string ProcessName(const std::optional<std::string>& executablePath,
                        const std::string& shortName) {
    if (executablePath && !executablePath->empty()) return ExecutableBaseName(*executablePath);
    std::string name = shortName;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

std::string JoinArguments(const std::string& nulSeparated) {
    std::string joined;
    std::size_t start = 0;
    bool first = true;
    while (start < nulSeparated.size()) {
        std::size_t end = nulSeparated.find('\0', start);
        if (end == std::string::npos) end = nulSeparated.size();
        if (!first) joined += ' ';
        joined.append(nulSeparated, start, end - start);
        first = false;
        start = end + 1;
    }
    return joined;
}

}  // namespace ksys
