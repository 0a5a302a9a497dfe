// SPDX-License-Identifier: Apache-2.0
// Installed applications as desktop entries describe them.
#pragma once

#include <optional>
#include <string>

#include "core/Records.h"

namespace ksys {

// The application of a desktop entry's text: the untranslated Name and X-AppVersion of the
// [Desktop Entry] group; none when the entry is not Type=Application, is Hidden, or has no
// Name.
std::optional<KSysApplication> ParseDesktopEntry(const std::string& text);

}  // namespace ksys
