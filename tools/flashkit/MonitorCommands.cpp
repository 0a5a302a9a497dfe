// SPDX-License-Identifier: Apache-2.0
// The monitor subcommands: monitors, check, update.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Failure.h"
#include "Handles.h"
#include "HistoryLog.h"
#include "JsonOutput.h"
#include "MonitorList.h"
#include "MonitorState.h"
#include "ProgressDisplay.h"
#include "UpdatePlanText.h"
#include "UpdateRun.h"

namespace flashkit {
namespace {

struct MonitorOptions {
    std::string package;
    std::string selection;
    bool json = false;
    bool force = false;
    bool yes = false;
    bool dryRun = false;
};

// What FWKfwFileCheckMonitor found, in words, with the exit status of its class.
struct Verdict {
    unsigned int code;
    const char* name;
    ExitCode exit;
};

Verdict VerdictOf(unsigned int code) {
    switch (code) {
    case 0: return {code, "fits", ExitOk};
    case 1: return {code, "different model", ExitDifferentModel};
    case 2: return {code, "unsupported version", ExitUnsupportedVersion};
    case 3: return {code, "already updated", ExitAlreadyUpdated};
    case 4: return {code, "wrong package version", ExitWrongPackageVersion};
    default: return {code, "communication failure", ExitCommunication};
    }
}

const char kRecoveryAdvice[] =
    "its firmware does not start; 'flashkit update' with a package that lists \"MCU ISP MODE\" "
    "recovers it";

std::string VerdictLine(const Verdict& verdict, const MonitorEntry& monitor) {
    const std::string title = monitor.Title();
    if (NeedsRecovery(monitor.product) && verdict.code == 0)
        return "The package fits " + title +
               " and recovers it: the monitor is back with its own "
               "firmware after the update.";
    if (NeedsRecovery(monitor.product) && verdict.code == 1)
        return title + " needs recovery, but the package does not list \"MCU ISP MODE\": use the "
                       "recovery package made for this monitor model.";
    switch (verdict.code) {
    case 0: return "The package fits " + title + ".";
    case 1:
        return "The package is for another model than " + title +
               ". Use the package made for this monitor.";
    case 2:
        return "The package has no update for the firmware versions of " + title +
               ", or they cannot be read. Use a package made for these versions.";
    case 3:
        return title + " already has the package's versions; there is nothing to update "
                       "('flashkit update --force' installs them again).";
    case 4:
        return "The package's format does not fit the update protocol of " + title + " (" +
               MonitorList::KindName(monitor.kind) + "). Use the package made for this monitor.";
    default:
        return "Checking the package against " + title + " failed (result " +
               std::to_string(verdict.code) +
               "). Check the monitor's cable and power, then run the command again.";
    }
}

Package OpenPackage(const std::string& path) {
    Package package(FWKfwFileCreateWithUtf8Path(path.c_str()));
    if (!package) {
        const char* message = nullptr;
        FWGetLastError(&message);
        throw Failure(ExitPackage, "Cannot open the package " + path + ": " +
                                       (message && *message ? message : "unreadable") +
                                       ". Check the file name, or get the package again.");
    }
    return package;
}

std::string Minutes(unsigned int seconds) {
    if (seconds == 0) return "unknown";
    return "about " + std::to_string((seconds + 59) / 60) + " min";
}

nlohmann::json VersionsJson(const std::vector<ShownDevice>& devices) {
    nlohmann::json versions = nlohmann::json::array();
    for (const ShownDevice& device : devices)
        versions.push_back({{"deviceID", device.id},
                            {"name", device.name},
                            {"before", device.versionText},
                            {"after", device.afterText}});
    return versions;
}

void PrintVersions(const std::vector<ShownDevice>& devices, const char* beforeTitle,
                   const char* afterTitle) {
    size_t width = 6;
    for (const ShownDevice& device : devices) width = std::max(width, device.name.size());
    std::printf("  %-*s  %-12s  %s\n", int(width), "Device", beforeTitle, afterTitle);
    for (const ShownDevice& device : devices)
        std::printf("  %-*s  %-12s  %s\n", int(width), device.name.c_str(),
                    device.versionText.c_str(), device.afterText.c_str());
}

// ---- monitors ----------------------------------------------------------------------------

void ListMonitors(const MonitorOptions& options) {
    SetJsonMode(options.json);
    const MonitorList list = MonitorList::Search();
    nlohmann::json monitors = nlohmann::json::array();
    for (const MonitorEntry& monitor : list.monitors()) {
        nlohmann::json entry = monitor.Json();
        entry["devices"] = nlohmann::json::array();
        std::string problem;
        std::vector<ShownDevice> devices;
        // A monitor in ISP mode has only its boot loader to answer: no devices to read.
        const bool recovery = NeedsRecovery(monitor.product);
        try {
            if (!recovery) devices = MonitorList::ShownDevices(monitor, nullptr);
        } catch (const Failure& failure) {
            problem = failure.what();
            entry["error"] = problem;
        }
        for (const ShownDevice& device : devices)
            entry["devices"].push_back(
                {{"deviceID", device.id}, {"name", device.name}, {"version", device.versionText}});
        monitors.push_back(entry);
        if (options.json) continue;
        std::printf("%d  %s  S/N %s  update kind: %s\n", monitor.index, monitor.product.c_str(),
                    monitor.serial.c_str(), MonitorList::KindName(monitor.kind));
        if (recovery) std::printf("     needs recovery: %s\n", kRecoveryAdvice);
        if (!problem.empty()) std::printf("     devices cannot be read: %s\n", problem.c_str());
        for (const ShownDevice& device : devices)
            std::printf("     %-20s %s\n", device.name.c_str(), device.versionText.c_str());
    }
    nlohmann::json unavailable = nlohmann::json::array();
    for (const auto& [index, status] : list.unavailable()) {
        const std::string reason = MonitorList::UnavailableReason(status);
        unavailable.push_back({{"index", index}, {"status", status}, {"reason", reason}});
        if (!options.json) std::printf("%d  (cannot be used: %s)\n", index, reason.c_str());
    }
    if (list.monitors().empty()) {
        SetFailureDetails({{"monitors", monitors}, {"unavailable", unavailable}});
        list.Select("");  // throws the "no monitor" failure with its advice
    }
    if (options.json)
        EmitJson({{"result", "ok"},
                  {"exitCode", int(ExitOk)},
                  {"message", std::to_string(list.monitors().size()) + " monitor(s) found"},
                  {"monitors", monitors},
                  {"unavailable", unavailable}});
}

// ---- check and update ----------------------------------------------------------------------

struct Checked {
    Verdict verdict;
    std::vector<ShownDevice> devices;
    unsigned int seconds = 0;
};

Checked CheckPackage(FWKfwFile* package, const MonitorEntry& monitor, unsigned int options) {
    Checked checked{VerdictOf(FWKfwFileCheckMonitor(package, monitor.handle)), {}, 0};
    try {
        if (!NeedsRecovery(monitor.product))
            checked.devices = MonitorList::ShownDevices(monitor, package);
    } catch (const Failure&) {
        // A monitor that does not fit may not even show its devices; the verdict says enough.
        if (checked.verdict.code == 0) throw;
    }
    if (checked.verdict.code == 0 || checked.verdict.code == 3)
        checked.seconds = FWKfwFileGetEstimatedTimeForMonitor(package, monitor.handle, options);
    return checked;
}

void PrintCheck(const Checked& checked, const MonitorEntry& monitor, const std::string& path) {
    std::printf("Monitor:  %d  %s, update kind: %s\n", monitor.index, monitor.Title().c_str(),
                MonitorList::KindName(monitor.kind));
    std::printf("Package:  %s\n", path.c_str());
    std::printf("Verdict:  %s%s\n", checked.verdict.name,
                NeedsRecovery(monitor.product) && checked.verdict.code == 0
                    ? " (recovers the monitor from MCU ISP MODE)"
                    : "");
    if (!checked.devices.empty()) PrintVersions(checked.devices, "Current", "After update");
    if (checked.verdict.code == 0)
        std::printf("Estimated time: %s\n", Minutes(checked.seconds).c_str());
    std::fflush(stdout);
}

nlohmann::json CheckDetails(const Checked& checked, const MonitorEntry& monitor) {
    return {{"verdict", checked.verdict.name},
            {"verdictCode", checked.verdict.code},
            {"monitor", monitor.Json()},
            {"versions", VersionsJson(checked.devices)},
            {"estimatedSeconds", checked.seconds}};
}

void CheckCommand(const MonitorOptions& options) {
    SetJsonMode(options.json);
    const Package package = OpenPackage(options.package);
    const MonitorList list = MonitorList::Search();
    const MonitorEntry& monitor = list.Select(options.selection);
    const Checked checked = CheckPackage(package.get(), monitor, 0);
    if (!options.json) PrintCheck(checked, monitor, options.package);
    nlohmann::json details = CheckDetails(checked, monitor);
    if (checked.verdict.code != 0) {
        SetFailureDetails(details);
        throw Failure(checked.verdict.exit, VerdictLine(checked.verdict, monitor));
    }
    if (options.json) {
        nlohmann::json result = {{"result", "ok"},
                                 {"exitCode", int(ExitOk)},
                                 {"message", VerdictLine(checked.verdict, monitor)}};
        result.update(details);
        EmitJson(result);
    }
}

bool Confirmed(const MonitorEntry& monitor) {
    std::printf("Update %s now? It restarts during the update; do not unplug it or switch it off. "
                "[y/N] ",
                monitor.Title().c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) answer.clear();
    std::string word;
    for (char c : answer)
        if (!std::isspace(static_cast<unsigned char>(c)))
            word += char(std::tolower(static_cast<unsigned char>(c)));
    return word == "y" || word == "yes";
}

// The plan of the update, checked and shown, and nothing sent that changes the monitor.
void ShowDryRun(FWKfwFile* package, const MonitorEntry& monitor, const Checked& checked,
                unsigned int transferOptions, bool json) {
    const nlohmann::json plan = ReadUpdatePlan(monitor, package, transferOptions);
    const KmError status = plan["status"].get<KmError>();
    if (!json) PrintUpdatePlan(plan, checked.devices);
    if (status < 0) {
        SetFailureDetails({{"monitor", monitor.Json()}, {"plan", plan}});
        throw TransferFailure("The update of " + monitor.Title() + " would be refused", status,
                              "nothing was sent to the monitor.", true);
    }
    if (json)
        EmitJson(
            {{"result", "ok"},
             {"exitCode", int(ExitOk)},
             {"message", "Dry run: the update of " + monitor.Title() + " would go as planned."},
             {"monitor", monitor.Json()},
             {"plan", plan}});
}

// The versions to show after the update: before and now, or only now after a recovery, when
// the monitor had no devices to read before.
std::vector<ShownDevice> VersionsAfter(const Checked& checked, const MonitorEntry& monitor) {
    std::vector<ShownDevice> now = MonitorList::ShownDevices(monitor, nullptr);
    if (checked.devices.empty()) {
        for (ShownDevice& device : now) {
            device.afterText = device.versionText;
            device.versionText = "-";
        }
        return now;
    }
    std::vector<ShownDevice> versions = checked.devices;
    for (ShownDevice& device : versions) {
        device.afterText = "?";
        for (const ShownDevice& current : now)
            if (current.id == device.id) device.afterText = current.versionText;
    }
    return versions;
}

// Records the finished update in the history and shows the versions the monitor has now.
void FinishUpdate(const MonitorOptions& options, const Checked& checked, UpdateRun& run,
                  HistoryRecord& record) {
    const std::vector<ShownDevice> versions = VersionsAfter(checked, run.monitor());
    FinishHistoryRecord(record, "success", 0,
                        "The update of " + run.monitor().Title() + " is finished.", versions);
    const std::string message = "The update of " + run.monitor().Title() + " is finished.";
    if (options.json) {
        EmitJson({{"result", "ok"},
                  {"exitCode", int(ExitOk)},
                  {"message", message},
                  {"monitor", run.monitor().Json()},
                  {"outcome", OutcomeName(run.outcome())},
                  {"versions", VersionsJson(versions)}});
        return;
    }
    std::printf("%s\n", message.c_str());
    PrintVersions(versions, "Before", "Now");
}

void UpdateCommand(const MonitorOptions& options) {
    SetJsonMode(options.json);
    if (options.json && !options.yes && !options.dryRun)
        throw Failure(ExitUsage, "update --json never asks for confirmation; add --yes to confirm "
                                 "the update on the command line.");
    const Package package = OpenPackage(options.package);
    const MonitorList list = MonitorList::Search();
    const MonitorEntry& monitor = list.Select(options.selection);
    SetFailureDetails({{"monitor", monitor.Json()}});

    ProgressDisplay display;
    display.Phase("checking", "");
    const unsigned int transferOptions = options.force ? FWTransferOptionForce : 0;
    const Checked checked = CheckPackage(package.get(), monitor, transferOptions);
    if (!options.json) PrintCheck(checked, monitor, options.package);
    const bool forcedAgain = checked.verdict.code == 3 && options.force;
    if (checked.verdict.code != 0 && !forcedAgain) {
        SetFailureDetails(CheckDetails(checked, monitor));
        throw Failure(checked.verdict.exit, VerdictLine(checked.verdict, monitor));
    }
    if (forcedAgain && !options.json)
        std::printf("Estimated time: %s (installing the same versions again)\n",
                    Minutes(checked.seconds).c_str());
    if (options.dryRun)
        return ShowDryRun(package.get(), monitor, checked, transferOptions, options.json);
    nlohmann::json details = {{"monitor", monitor.Json()},
                              {"versions", VersionsJson(checked.devices)}};
    SetFailureDetails(details);

    if (!options.yes && !Confirmed(monitor))
        throw Failure(ExitDeclined, "The update was not confirmed; nothing was changed.");

    HistoryRecord record = StartHistoryRecord(options.package, monitor, checked.devices);
    UpdateRun run(package.get(), monitor, display, options.force);
    try {
        run.Run();
    } catch (const Failure& failure) {
        FinishHistoryRecord(record, failure.code() == ExitCancelled ? "cancelled" : "failure",
                            failure.status(), failure.what(), {});
        details["outcome"] = OutcomeName(run.outcome());
        SetFailureDetails(details);
        throw;
    }

    FinishUpdate(options, checked, run, record);
}

}  // namespace

void AddMonitorCommands(CLI::App& app) {
    auto options = std::make_shared<MonitorOptions>();

    CLI::App* monitors = app.add_subcommand(
        "monitors", "List the connected monitors: index, product, serial number, update kind, and "
                    "the version of every device shown to users.");
    monitors->add_flag("--json", options->json,
                       "Write one JSON result object instead of text (see docs/cli-json.md).");
    monitors->callback([options] { ListMonitors(*options); });

    const char* selectionHelp =
        "The monitor to use: its index or serial number from 'flashkit monitors'. Needed when "
        "several monitors are connected.";
    CLI::App* check = app.add_subcommand(
        "check", "Tell whether a package fits a monitor (fits, different model, unsupported "
                 "version, already updated, wrong package version), show each device's current "
                 "version and its version after the update, and the estimated time. Exits 0 only "
                 "when the package applies.");
    check->add_option("PACKAGE", options->package, "The firmware package file.")->required();
    check->add_option("--monitor", options->selection, selectionHelp);
    check->add_flag("--json", options->json,
                    "Write one JSON result object instead of text (see docs/cli-json.md).");
    check->callback([options] { CheckCommand(*options); });

    CLI::App* update = app.add_subcommand(
        "update",
        "Update a monitor with a package: check it, ask for confirmation, transfer the "
        "images with progress, let the monitor restart and install them, wait for it to "
        "come back (up to 10 minutes) and verify its new versions. Ctrl-C during the "
        "transfer cancels it; on a flash monitor the image being written is finished "
        "first, and the tool says what state the monitor is left in. A monitor in MCU "
        "ISP MODE is recovered with a package that lists that product. Keeps the computer from "
        "sleeping meanwhile where systemd-logind allows it.");
    update->add_option("PACKAGE", options->package, "The firmware package file.")->required();
    update->add_option("--monitor", options->selection, selectionHelp);
    update->add_flag("--force", options->force,
                     "Also send images for devices that already have the package's versions.");
    update->add_flag("--yes,-y", options->yes, "Do not ask for confirmation.");
    update->add_flag("--dry-run", options->dryRun,
                     "Check the package and print the update's plan (images, where they go, the "
                     "blocks erased, markers or flags, bytes and time) without sending anything "
                     "that changes the monitor.");
    update->add_flag("--json", options->json,
                     "Write JSON events and a final result object, one per line (see "
                     "docs/cli-json.md); needs --yes.");
    update->footer("Environment: SCREENIO_SIM=demo uses simulated monitors. "
                   "FLASHKIT_RESTART_POLL_MS sets the interval between searches for the restarting "
                   "monitor (default 2000; meant for tests).");
    update->callback([options] { UpdateCommand(*options); });
}

}  // namespace flashkit
