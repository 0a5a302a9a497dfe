// SPDX-License-Identifier: Apache-2.0
// flashkit history: the update attempts of both tools, oldest first.
#include <cstdio>
#include <memory>
#include <string>

#include "Commands.h"
#include "JsonOutput.h"
#include "UpdateHistory.h"

namespace flashkit {
namespace {

struct HistoryOptions {
    bool json = false;
    std::string selection;
};

// SEL names a monitor by serial number or product name; the monitor need not be connected.
bool Matches(const HistoryRecord& record, const std::string& selection) {
    return selection.empty() || record.serial == selection || record.product == selection;
}

std::string Join(const std::vector<std::string>& texts) {
    std::string line;
    for (const std::string& text : texts) line += (line.empty() ? "" : " ") + text;
    return line.empty() ? "-" : line;
}

void PrintRecord(const HistoryRecord& record) {
    std::printf("%s  %s  %s (S/N %s)  %s\n", record.start.c_str(), record.tool.c_str(),
                record.product.c_str(), record.serial.c_str(), record.status.c_str());
    std::printf("  package  %s\n", record.package.c_str());
    std::printf("  sha256   %s\n",
                record.packageSha256.empty() ? "-" : record.packageSha256.c_str());
    std::printf("  versions %s -> %s\n", Join(record.versionsBefore).c_str(),
                Join(record.versionsAfter).c_str());
    std::printf("  ended    %s%s%s\n", record.end.c_str(), record.errorCode ? ", error " : "",
                record.errorCodeText().c_str());
    std::printf("  outcome  %s\n", record.outcome.c_str());
}

void ShowHistory(const HistoryOptions& options) {
    SetJsonMode(options.json);
    const UpdateHistory history;
    const UpdateHistory::Contents contents = history.read();
    // A damaged line costs that line only.
    for (const std::string& warning : contents.warnings)
        std::fprintf(stderr, "flashkit: warning: %s\n", warning.c_str());

    nlohmann::json entries = nlohmann::json::array();
    size_t shown = 0;
    for (const HistoryRecord& record : contents.records) {
        if (!Matches(record, options.selection)) continue;
        ++shown;
        if (options.json) {
            entries.push_back(record.toJson());
            continue;
        }
        if (shown > 1) std::printf("\n");
        PrintRecord(record);
    }
    if (options.json) {
        EmitJson({{"result", "ok"},
                  {"exitCode", int(ExitOk)},
                  {"path", history.path()},
                  {"entries", entries},
                  {"skippedLines", contents.warnings.size()}});
        return;
    }
    if (shown == 0)
        std::printf("No update attempts recorded%s (%s).\n",
                    options.selection.empty() ? "" : (" for " + options.selection).c_str(),
                    history.path().empty() ? "no history folder" : history.path().c_str());
}

}  // namespace

void AddHistoryCommand(CLI::App& app) {
    auto options = std::make_shared<HistoryOptions>();
    CLI::App* history = app.add_subcommand(
        "history",
        "Show the update attempts of flashkit and PanelFlasher recorded for this user "
        "in $XDG_STATE_HOME/flashkit/history.jsonl (default "
        "~/.local/state/flashkit/history.jsonl), oldest first. Damaged lines are skipped "
        "with a warning.");
    history->add_option("--monitor", options->selection,
                        "Only the attempts for this monitor: its serial number or product name "
                        "(it need not be connected).");
    history->add_flag("--json", options->json,
                      "Write one JSON result object instead of text (see docs/cli-json.md).");
    history->callback([options] { ShowHistory(*options); });
}

}  // namespace flashkit
