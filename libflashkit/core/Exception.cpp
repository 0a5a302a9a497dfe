// SPDX-License-Identifier: Apache-2.0
#include "core/Exception.h"

#include <cstdio>

namespace fwu {

Exception::Exception(const char* message, ErrorCode code, KmError error)
    : m_code(code), m_error(code == ErrorMonitorControl ? error : 0) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ", 0x%08x", static_cast<unsigned>(code));
    m_message = message ? message : "";
    m_message += suffix;
    if (isKmError()) {
        std::snprintf(suffix, sizeof suffix, ", 0x%x", static_cast<unsigned>(m_error));
        m_message += suffix;
    }
}

Exception::Exception(PackageError error)
    : Exception(PackageErrorEntryOf(error).message, PackageErrorEntryOf(error).code) {}

}  // namespace fwu
