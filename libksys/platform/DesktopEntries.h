// SPDX-License-Identifier: Apache-2.0
// Installed applications from desktop entries.
#pragma once

#include <string>
#include <vector>

#include "core/Records.h"

namespace ksys {

class DesktopEntries {
public:
    // The applications of the *.desktop files directly in each folder, folder by folder.
    static std::vector<KSysApplication> list(const std::vector<std::string>& folders);
    // The user's folder first ($XDG_DATA_HOME, else $HOME/.local/share), then $XDG_DATA_DIRS
    // (else /usr/local/share:/usr/share), each with "/applications" appended.
    static std::vector<std::string> applicationFolders();
};

}  // namespace ksys
