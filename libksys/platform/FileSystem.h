// SPDX-License-Identifier: Apache-2.0
// Small reads of kernel and configuration files that report failure instead of throwing.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ksys {

class FileSystem {
public:
    // The whole file; none when it cannot be opened or read. Files under /proc and /sys report
    // size 0, so the read does not rely on the size.
    static std::optional<std::string> readFile(const std::string& path);
    // The first line without its line end; "" when unreadable.
    static std::string readLine(const std::string& path);
    // The target of a symbolic link; none when it is not a readable link.
    static std::optional<std::string> readLink(const std::string& path);
    // The entry names of a folder, without "." and "..", in the order the folder lists them;
    // none when it cannot be opened.
    static std::optional<std::vector<std::string>> listFolder(const std::string& path);
};

}  // namespace ksys
