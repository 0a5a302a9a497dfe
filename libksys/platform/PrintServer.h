// SPDX-License-Identifier: Apache-2.0
// Printers of the print server.
#pragma once

#include <vector>

#include "core/Records.h"

namespace ksys {

class PrintServer {
public:
    // The server's destinations; empty when no server answers.
    static std::vector<KSysPrinter> list();
};

}  // namespace ksys
