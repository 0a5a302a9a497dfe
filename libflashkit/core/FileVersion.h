// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "core/Version.h"

namespace fwu::kfw {

// Format version of a package file: major 1 is the legacy format, major 2 the current one.
class FileVersion {
public:
    FileVersion() = default;
    // Braces, not parentheses: <sys/types.h> on macOS (and <sys/sysmacros.h> on Linux) define
    // function-like major() and minor() macros.
    FileVersion(uint32_t major, uint32_t minor) : major{major}, minor{minor} {}

    bool operator==(const FileVersion& o) const { return major == o.major && minor == o.minor; }
    bool operator!=(const FileVersion& o) const { return !(*this == o); }

    // The number the exported interface reports: 1.x gives 0, 2.m gives m + 1, else 0xFFFF.
    uint32_t toVersionEnum() const;

    Version major;
    Version minor;
};

}  // namespace fwu::kfw
