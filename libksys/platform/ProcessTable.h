// SPDX-License-Identifier: Apache-2.0
// Running processes from /proc.
#pragma once

#include <optional>
#include <vector>

#include "core/Records.h"

namespace ksys {

class ProcessTable {
public:
    // Every process in /proc's order; command lines only when asked for. None when /proc cannot
    // be listed. A process that ends during the walk is skipped.
    static std::optional<std::vector<ProcessInfo>> list(bool withCommandLines);
    // The name of one process as the list gives it; "" when the process is gone.
    static std::string nameOf(int pid);
};

}  // namespace ksys
