// SPDX-License-Identifier: Apache-2.0
// flashkit: firmware packages and monitor updates from the command line.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "ExitCode.h"
#include "Failure.h"
#include "JsonOutput.h"

int main(int argc, char** argv) {
    CLI::App app{
        "flashkit: inspect, build and unpack monitor firmware packages, and update monitors "
        "with them.\nMonitors are reached through libscreenio; set SCREENIO_SIM=demo to use "
        "simulated monitors."};
    app.set_version_flag("--version", std::string("flashkit ") + FLASHKIT_TOOL_VERSION);
    app.require_subcommand(1);
    app.footer(flashkit::ExitCodeHelp());
    flashkit::AddPackageCommands(app);
    flashkit::AddMonitorCommands(app);
    flashkit::AddHistoryCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? flashkit::ExitOk : flashkit::ExitUsage;
    } catch (const flashkit::Failure& failure) {
        flashkit::ReportFailure(failure);
        return failure.code();
    } catch (const std::exception& error) {
        flashkit::ReportFailure(flashkit::Failure(flashkit::ExitInternal, error.what()));
        return flashkit::ExitInternal;
    }
    return flashkit::ExitOk;
}
