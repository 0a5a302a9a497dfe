// SPDX-License-Identifier: Apache-2.0
// The update history: what `flashkit update` appends, what `flashkit history` shows, lines that
// the desktop updater wrote, damaged files, a missing folder and appends of several processes at
// once.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "UpdateHistory.h"
#include "tools/ToolRunner.h"

namespace flashkit::test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::string Sha256Of(const std::string& path) {
    std::string command = "sha256sum '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    char digest[65] = {};
    const size_t read = std::fread(digest, 1, 64, pipe);
    ::pclose(pipe);
    return std::string(digest, read);
}

// One simulated record-file monitor (Scaler 105) and packages for it, with the history in a
// folder of its own.
class HistoryLab {
public:
    HistoryLab() {
        char pattern[] = "/tmp/flashkit-history-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_state = m_dir + "/state";
    }
    ~HistoryLab() { fs::remove_all(m_dir); }
    HistoryLab(const HistoryLab&) = delete;
    HistoryLab& operator=(const HistoryLab&) = delete;

    // `faults` go to the monitor; `installs` is the version the image carries.
    std::string Package(uint32_t installs, const json& faults = json::array()) {
        const json device = {{"id", 0},           {"name", "Scaler"}, {"fileName", "SCL000"},
                             {"recordSize", 512}, {"recordCount", 8}, {"version", 105},
                             {"displayOrder", 1}};
        const json monitor = {{"product", "History 27"}, {"serial", "HI270001"},
                              {"kind", "files"},         {"restartMs", 200},
                              {"devices", {device}},     {"faults", faults}};
        std::ofstream(m_dir + "/monitors.json") << json{{"monitors", {monitor}}}.dump(2);

        const std::string name = "p" + std::to_string(m_packages++);
        // The simulator installs the version the image's header names.
        std::string image(4096, '\0');
        image.replace(0, 4, "SIMV");
        for (int i = 0; i < 4; ++i) image[size_t(4 + i)] = char((installs >> (8 * i)) & 0xFF);
        std::ofstream(m_dir + "/" + name + ".bin", std::ios::binary) << image;
        const json manifest = {{"products", {"History 27"}},
                               {"targetVersions", {{{"device", 0}, {"version", 106}}}},
                               {"blobs", {{{"name", "image"}, {"path", name + ".bin"}}}},
                               {"actions",
                                {{{"name", "image"},
                                  {"blob", "image"},
                                  {"estimatedTime", 10},
                                  {"type", "TransferData"},
                                  {"fileName", "SCL000"}}}},
                               {"bundles", {{{"name", "all"}, {"actions", {"image"}}}}}};
        std::ofstream(m_dir + "/" + name + ".json") << manifest.dump(2);
        const std::string package = m_dir + "/" + name + ".kfw2";
        const ToolResult packed = RunTool({"pack", m_dir + "/" + name + ".json", "-o", package});
        EXPECT_EQ(packed.exitCode, 0) << packed.err;
        return package;
    }

    ToolResult Run(const std::vector<std::string>& args, const std::string& stateHome = "") {
        return RunTool(args, {"SCREENIO_SIM=" + m_dir + "/monitors.json",
                              "XDG_RUNTIME_DIR=" + m_dir, "FLASHKIT_RESTART_POLL_MS=100",
                              "XDG_STATE_HOME=" + (stateHome.empty() ? m_state : stateHome),
                              "HOME=" + m_dir + "/home"});
    }
    std::string historyFile() const { return m_state + "/flashkit/history.jsonl"; }
    std::string dir() const { return m_dir; }

private:
    std::string m_dir;
    std::string m_state;
    int m_packages = 0;
};

json History(HistoryLab& lab, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"history", "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ToolResult result = lab.Run(args);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const json parsed = json::parse(result.out, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << result.out;
    return parsed.is_discarded() ? json::object() : parsed;
}

TEST(UpdateHistory, EveryUpdateAttemptOfTheToolAddsOneLine) {
    struct Case {
        const char* name;
        uint32_t installs;
        json faults;
        int exitCode;
        const char* status;
        const char* errorCode;
        std::vector<std::string> after;
    };
    const std::vector<Case> cases = {
        {"success", 106, json::array(), 0, "success", "", {"00106"}},
        // Every page write fails: the monitor keeps its firmware.
        {"transfer fails",
         106,
         {{{"usage", "FF02/FE"}, {"access", "set-array"}, {"count", 0}, {"effect", "fail"}}},
         20,
         "failure",
         "0xffffffff",
         {}},
        // The image installs 105 where the package promises 106.
        {"versions not reached", 105, json::array(), 23, "failure", "0x80000016", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryLab lab;
        const std::string package = lab.Package(c.installs, c.faults);
        const ToolResult update = lab.Run({"update", package, "--yes"});
        ASSERT_EQ(update.exitCode, c.exitCode) << update.out << update.err;

        const std::vector<std::string> lines = Lines(lab.historyFile());
        ASSERT_EQ(lines.size(), 1u);
        const json line = json::parse(lines[0]);
        EXPECT_EQ(line["tool"], "flashkit");
        EXPECT_EQ(line["product"], "History 27");
        EXPECT_EQ(line["serial"], "HI270001");
        EXPECT_EQ(line["package"], fs::canonical(package).string());
        EXPECT_EQ(line["packageSha256"], Sha256Of(package));
        EXPECT_EQ(line["versionsBefore"], json({"00105"}));
        EXPECT_EQ(line["versionsAfter"], json(c.after));
        EXPECT_EQ(line["status"], c.status);
        EXPECT_EQ(line["errorCode"], c.errorCode);
        EXPECT_FALSE(line["outcome"].get<std::string>().empty());
        EXPECT_LE(line["start"].get<std::string>(), line["end"].get<std::string>());

        const json shown = History(lab);
        ASSERT_EQ(shown["entries"].size(), 1u) << shown.dump();
        EXPECT_EQ(shown["entries"][0], line);
    }
}

TEST(UpdateHistory, ShowsTheLinesOfBothToolsAndSelectsByMonitor) {
    HistoryLab lab;
    const std::string package = lab.Package(106);
    ASSERT_EQ(lab.Run({"update", package, "--yes"}).exitCode, 0);
    // A line as the desktop updater writes it, for another monitor.
    HistoryRecord record;
    record.start = record.end = "2026-01-02T03:04:05Z";
    record.tool = "PanelFlasher";
    record.product = "Desk 24";
    record.serial = "DK240001";
    record.package = "/media/firmware.kfw2";
    record.status = "failure";
    record.errorCode = int32_t(0x80010005u);
    record.outcome = "The image was damaged on its way.";
    ASSERT_TRUE(UpdateHistory(lab.historyFile()).append(record));

    const json all = History(lab);
    ASSERT_EQ(all["entries"].size(), 2u) << all.dump();
    EXPECT_EQ(all["entries"][0]["tool"], "flashkit");
    EXPECT_EQ(all["entries"][1]["tool"], "PanelFlasher");
    EXPECT_EQ(all["entries"][1]["errorCode"], "0x80010005");
    for (const char* selection : {"DK240001", "Desk 24"}) {
        const json one = History(lab, {"--monitor", selection});
        ASSERT_EQ(one["entries"].size(), 1u) << selection;
        EXPECT_EQ(one["entries"][0]["serial"], "DK240001");
    }
    EXPECT_EQ(History(lab, {"--monitor", "NOSUCH01"})["entries"].size(), 0u);

    const ToolResult text = lab.Run({"history", "--monitor", "HI270001"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("History 27 (S/N HI270001)  success"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("00105 -> 00106"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("DK240001"), std::string::npos) << text.out;
}

TEST(UpdateHistory, DamagedLinesAreSkippedWithAWarning) {
    HistoryLab lab;
    const std::string package = lab.Package(106);
    ASSERT_EQ(lab.Run({"update", package, "--yes"}).exitCode, 0);
    const std::string good = Lines(lab.historyFile()).at(0);
    {
        std::ofstream file(lab.historyFile(), std::ios::app);
        file << "{not json\n"                             // line 2
             << "{\"tool\":\"flashkit\",\"status\":7}\n"  // line 3: not a record
             << "\n"                                      // blank lines are nothing
             << std::string(200, '\xff') << "\n"          // line 5: not text
             << good.substr(0, good.size() / 2);          // line 6: cut short, no newline
    }
    const ToolResult shown = lab.Run({"history", "--json"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const json result = json::parse(shown.out);
    EXPECT_EQ(result["entries"].size(), 1u);
    EXPECT_EQ(result["skippedLines"], 4);
    for (const char* line : {"line 2:", "line 3:", "line 5:", "line 6:"})
        EXPECT_NE(shown.err.find(line), std::string::npos) << line << " in " << shown.err;

    // The next attempt starts on a line of its own, after the one cut short.
    ASSERT_EQ(lab.Run({"update", package, "--yes", "--force"}).exitCode, 0);
    const json after = History(lab);
    EXPECT_EQ(after["entries"].size(), 2u) << after.dump();
    EXPECT_EQ(after["skippedLines"], 4);
}

TEST(UpdateHistory, AMissingFolderIsAnEmptyHistoryAndIsCreatedByTheFirstAttempt) {
    HistoryLab lab;
    const std::string deep = lab.dir() + "/not/yet/there";
    const ToolResult empty = lab.Run({"history"}, deep);
    EXPECT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_NE(empty.out.find("No update attempts recorded"), std::string::npos) << empty.out;
    EXPECT_EQ(empty.err, "");
    EXPECT_FALSE(fs::exists(deep));

    const std::string package = lab.Package(106);
    ASSERT_EQ(lab.Run({"update", package, "--yes"}, deep).exitCode, 0);
    EXPECT_EQ(Lines(deep + "/flashkit/history.jsonl").size(), 1u);
    EXPECT_EQ(fs::status(deep + "/flashkit").permissions() & fs::perms::all, fs::perms::owner_all);

    // Without XDG_STATE_HOME, or with a relative one, the history goes under HOME.
    for (const char* stateHome : {"XDG_STATE_HOME=relative", "XDG_STATE_HOME="}) {
        SCOPED_TRACE(stateHome);
        const ToolResult update =
            RunTool({"update", package, "--yes"},
                    {"SCREENIO_SIM=" + lab.dir() + "/monitors.json", "XDG_RUNTIME_DIR=" + lab.dir(),
                     stateHome, "FLASHKIT_RESTART_POLL_MS=100", "HOME=" + lab.dir() + "/home"});
        EXPECT_EQ(update.exitCode, 0) << update.out << update.err;
    }
    EXPECT_EQ(Lines(lab.dir() + "/home/.local/state/flashkit/history.jsonl").size(), 2u);
    EXPECT_FALSE(fs::exists(lab.dir() + "/relative"));
}

TEST(UpdateHistory, AppendsOfSeveralProcessesNeverInterleave) {
    char pattern[] = "/tmp/flashkit-history-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string path = dir + "/flashkit/history.jsonl";
    constexpr int kProcesses = 6;
    constexpr int kLines = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            HistoryRecord record;
            record.tool = "writer" + std::to_string(p);
            // Longer than a pipe buffer, so that one line takes several pages.
            record.outcome = std::string(20000, char('a' + p));
            bool ok = true;
            for (int i = 0; i < kLines; ++i) ok = UpdateHistory(path).append(record) && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const UpdateHistory::Contents contents = UpdateHistory(path).read();
    EXPECT_TRUE(contents.warnings.empty()) << contents.warnings.front();
    ASSERT_EQ(contents.records.size(), size_t(kProcesses * kLines));
    for (const HistoryRecord& record : contents.records)
        EXPECT_EQ(record.outcome, std::string(20000, record.outcome.at(0)));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace flashkit::test
