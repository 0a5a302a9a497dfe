// SPDX-License-Identifier: Apache-2.0
// Texts of one process: its name and command line.
#pragma once

#include <optional>
#include <string>

namespace ksys {

// The part after the last "/" of an executable path (the whole path without "/"); the kernel's
// " (deleted)" mark of a replaced executable is dropped.
std::string ExecutableBaseName(const std::string& path);

// The name of a process: the executable's base name when its path was read, else the kernel's
// short name (without its line end).
std::string ProcessName(const std::optional<std::string>& executablePath,
                        const std::string& shortName);

// NUL-terminated arguments joined by single spaces, without quoting.
std::string JoinArguments(const std::string& nulSeparated);

}  // namespace ksys
