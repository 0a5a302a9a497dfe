// SPDX-License-Identifier: Apache-2.0
// Rows of the interruption matrix run through the command-line tool: its exit status, the
// "outcome" of its JSON result and its message agree with what the monitor runs afterwards.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SimImage.h"
#include "tools/ToolRunner.h"

namespace flashkit::test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr int kFiles = 0, kLegacy = 1, kScaler = 2, kZV = 3;  // monitors of the fixture

// What the monitor runs after the interrupted run, as the tool then sees it.
enum class After {
    Old,        // its old firmware: the package still applies
    New,        // the new firmware: the package is already installed
    Recovered,  // MCU ISP MODE, and the same package recovers it
    RunAgain,   // still powered in programming mode: running the update again finishes it
};

struct ToolRow {
    const char* name;
    int monitor;
    json fault;  // one fault rule of the monitor's description
    int exitCode;
    const char* outcome;  // the JSON result's "outcome"
    const char* said;     // in the failure line
    After after;
    bool interrupt = false;  // Ctrl-C once the transfer shows progress instead of a fault
};

// The tool fixture's monitors with short restarts, packages with checked images, and runs of
// the tool against them that share one state file.
class ToolLab {
public:
    ToolLab() {
        std::ifstream in(std::string(FLASHKIT_SOURCE_DIR) + "/tests/tools/fixtures/monitors.json");
        m_description = json::parse(in);
        for (json& monitor : m_description["monitors"]) monitor["restartMs"] = 100;
        m_description["monitors"][size_t(kScaler)]["mstarPowerCycleMs"] = 100;
        char pattern[] = "/tmp/flashkit-safety-XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    ~ToolLab() { fs::remove_all(m_dir); }
    ToolLab(const ToolLab&) = delete;
    ToolLab& operator=(const ToolLab&) = delete;

    json& monitor(int index) { return m_description["monitors"][size_t(index)]; }
    std::string serial(int index) { return monitor(index)["serial"]; }

    // A package with one checked image of `version` for the monitor's first device; it also
    // lists "MCU ISP MODE", so it recovers the monitor too.
    std::string package(int kind, uint32_t version, size_t imageSize = 0) {
        json action = {{"name", "image"}, {"blob", "image"}, {"estimatedTime", 10}};
        uint32_t device = 256;
        size_t size = 5000;
        switch (kind) {
        case kFiles:
            device = 0;
            size = 4096;
            action.update({{"type", "TransferData"}, {"fileName", "SCL000"}});
            break;
        case kLegacy:
            size = 2048;
            action.update({{"type", "TransferData"}, {"fileName", "PRG000"}});
            break;
        case kScaler:
            size = 70000;
            action.update(
                {{"type", "TransferMStarData"}, {"address", 0}, {"updateFlagAddress", 1040384}});
            break;
        default: action.update({{"type", "TransferZVData"}, {"address", 0}});
        }
        if (imageSize) size = imageSize;
        std::vector<uint8_t> payload(size - screenio::sim::SimImage::kCheckedHeader);
        for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(i * 5 + (i >> 8));
        const auto image = screenio::sim::SimImage::make(version, payload);
        std::ofstream(m_dir + "/image.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
        const json manifest = {{"products", {monitor(kind)["product"], "MCU ISP MODE"}},
                               {"targetVersions", {{{"device", device}, {"version", version}}}},
                               {"blobs", {{{"name", "image"}, {"path", "image.bin"}}}},
                               {"actions", {action}},
                               {"bundles", {{{"name", "all"}, {"actions", {"image"}}}}}};
        std::ofstream(m_dir + "/manifest.json") << manifest.dump(2);
        const std::string path = m_dir + "/p.kfw2";
        const ToolResult packed = RunTool({"pack", m_dir + "/manifest.json", "-o", path});
        EXPECT_EQ(packed.exitCode, 0) << packed.err;
        return path;
    }

    ToolResult run(const std::vector<std::string>& args, const std::string& interruptWhen = "") {
        std::ofstream(m_dir + "/monitors.json") << m_description.dump(2);
        return RunTool(args,
                       {"SCREENIO_SIM=" + m_dir + "/monitors.json", "XDG_RUNTIME_DIR=" + m_dir,
                        "FLASHKIT_RESTART_POLL_MS=100", "SCREENIO_TRACE="},
                       "", interruptWhen.empty() ? 0 : 1, interruptWhen);
    }

    // The monitor as `flashkit monitors --json` shows it once it is back from any restart.
    json listed(int index) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const json all = json::parse(run({"monitors", "--json"}).out, nullptr, false);
            if (all.is_object())
                for (const json& m : all["monitors"])
                    if (m["serial"] == serial(index)) return m;
            usleep(100 * 1000);
        }
        return json();
    }

private:
    json m_description;
    std::string m_dir;
};

json LastLine(const std::string& out) {
    std::istringstream in(out);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return json::parse(last, nullptr, false);
}

TEST(InterruptionMatrixThroughTheTool, ExitStatusOutcomeAndMessageAgreeWithWhatTheMonitorRuns) {
    const char* unchanged = "; nothing was installed; the monitor works as before.";
    const char* installsAtRestart = "installs it at its next restart";
    const ToolRow rows[] = {
        {"record files, power cut mid-image",
         kFiles,
         {{"usage", "FF02/FE"}, {"access", "set-array"}, {"first", 3}, {"effect", "power-cut"}},
         20,
         "old firmware kept",
         unchanged,
         After::Old},
        {"record files, power cut before the trigger",
         kFiles,
         {{"usage", "FF02/FB"}, {"access", "get-value"}, {"first", 1}, {"effect", "power-cut"}},
         20,
         "complete",
         installsAtRestart,
         After::New},
        {"record files, cancel mid-image", kFiles, json(), 130, "old firmware kept", unchanged,
         After::Old, true},
        {"legacy record files, failing request during the CRC wait",
         kLegacy,
         {{"usage", "FF02/FC"}, {"access", "get-array"}, {"first", 1}},
         20,
         "old firmware kept",
         unchanged,
         After::Old},
        {"scaler, power cut mid-image",
         kScaler,
         {{"usage", "FF30/11"}, {"access", "set-array"}, {"first", 300}, {"effect", "power-cut"}},
         20,
         "needs recovery",
         "comes back as \"MCU ISP MODE\"",
         After::Recovered},
        {"scaler, failing request during the read-back",
         kScaler,
         {{"usage", "FF30/11"}, {"access", "get-array"}, {"first", 10}},
         20,
         "needs recovery",
         "leave it switched on and connected and run the update again now",
         After::RunAgain},
        {"ZV, power cut mid-image",
         kZV,
         {{"usage", "FF01/123"}, {"access", "set-array"}, {"first", 20}, {"effect", "power-cut"}},
         20,
         "old firmware kept",
         unchanged,
         After::Old},
        {"ZV, power cut before the trigger",
         kZV,
         {{"usage", "FF02/FB"}, {"access", "get-value"}, {"first", 1}, {"effect", "power-cut"}},
         20,
         "complete",
         installsAtRestart,
         After::New},
    };
    for (const ToolRow& row : rows) {
        SCOPED_TRACE(row.name);
        ToolLab lab;
        if (row.fault.is_object()) lab.monitor(row.monitor)["faults"] = json::array({row.fault});
        if (row.interrupt) {
            // Slow enough that Ctrl-C lands in the middle of the transfer.
            lab.monitor(row.monitor)["latencyUs"] = 2000;
            lab.monitor(row.monitor)["devices"][0]["recordSize"] = 4096;
            lab.monitor(row.monitor)["devices"][0]["recordCount"] = 64;
        }
        const json before = lab.listed(row.monitor);
        ASSERT_TRUE(before.is_object());
        const std::string package = lab.package(row.monitor, 300, row.interrupt ? 4096 * 64 : 0);
        const std::string serial = lab.serial(row.monitor);
        const ToolResult result =
            lab.run({"update", package, "--monitor", serial, "--yes", "--json"},
                    row.interrupt ? "\"progress\"" : "");
        EXPECT_EQ(result.exitCode, row.exitCode) << result.out << result.err;
        const json last = LastLine(result.out);
        ASSERT_TRUE(last.is_object()) << result.out;
        EXPECT_EQ(last["outcome"], row.outcome) << last.dump();
        EXPECT_NE(result.err.find(row.said), std::string::npos) << result.err;

        // What the monitor runs now, as the tool sees it.
        lab.monitor(row.monitor).erase("faults");
        lab.monitor(row.monitor)["latencyUs"] = 0;
        const json now = lab.listed(row.monitor);
        ASSERT_TRUE(now.is_object());
        const ToolResult check = lab.run({"check", package, "--monitor", serial});
        switch (row.after) {
        case After::Old:
            EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
            EXPECT_EQ(now, before);
            break;
        case After::New:
            EXPECT_EQ(now["needsRecovery"], false);
            EXPECT_EQ(check.exitCode, 12) << check.out << check.err;
            break;
        case After::RunAgain:
        case After::Recovered: {
            EXPECT_EQ(now["needsRecovery"], row.after == After::Recovered) << now.dump();
            const ToolResult again =
                lab.run({"update", package, "--monitor", serial, "--yes", "--json"});
            EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
            EXPECT_EQ(LastLine(again.out)["outcome"], "complete");
            EXPECT_EQ(lab.listed(row.monitor)["product"], before["product"]);
            EXPECT_EQ(lab.run({"check", package, "--monitor", serial}).exitCode, 12);
            break;
        }
        }
    }
}

}  // namespace
}  // namespace flashkit::test
