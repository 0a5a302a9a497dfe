// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <CLI/CLI.hpp>

namespace flashkit {

// Each adds its subcommands to the application; a subcommand's callback does the work and
// throws Failure when it cannot.
void AddPackageCommands(CLI::App& app);  // info, pack, unpack
void AddMonitorCommands(CLI::App& app);  // monitors, check, update
void AddHistoryCommand(CLI::App& app);   // history

}  // namespace flashkit
