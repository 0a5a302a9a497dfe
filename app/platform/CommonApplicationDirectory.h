// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

// The system-wide folder for application data: the first folder of XDG_DATA_DIRS, else
// /usr/local/share.
QString CommonApplicationDirectory();
