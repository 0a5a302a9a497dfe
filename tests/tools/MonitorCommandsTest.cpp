// SPDX-License-Identifier: Apache-2.0
// The monitor subcommands (monitors, check, update) run as the built binary against simulated
// monitors that share their state through a state file, so one run sees what an earlier one did.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/ToolRunner.h"

namespace flashkit::test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr int kFiles = 0, kLegacy = 1, kScaler = 2, kZV = 3;  // monitors of the fixture

json LoadFixture(const std::string& name) {
    std::ifstream in(std::string(FLASHKIT_SOURCE_DIR) + "/tests/tools/fixtures/" + name);
    return json::parse(in);
}

// An image as the simulator reads it: "SIMV" and the version that it installs, then zeros.
std::string Image(uint32_t version, size_t size, bool marker = true) {
    std::string bytes(size, '\0');
    if (marker) {
        bytes.replace(0, 4, "SIMV");
        for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = char((version >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::vector<json> JsonLines(const std::string& out) {
    std::vector<json> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const json object = json::parse(line, nullptr, false);
        EXPECT_TRUE(object.is_object()) << "not a JSON object: " << line;
        lines.push_back(object);
    }
    return lines;
}

const json* Version(const json& result, const std::string& name) {
    for (const json& version : result["versions"])
        if (version["name"] == name) return &version;
    return nullptr;
}

// A folder with a monitor description (the fixture, changed by the test), its state file and
// the packages built for it with `flashkit pack`.
class Lab {
public:
    Lab() : m_description(LoadFixture("monitors.json")) {
        char pattern[] = "/tmp/flashkit-monitors-XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    ~Lab() { fs::remove_all(m_dir); }
    Lab(const Lab&) = delete;
    Lab& operator=(const Lab&) = delete;

    json& monitor(int index) { return m_description["monitors"][size_t(index)]; }
    json& device(int monitorIndex, int deviceIndex) {
        return monitor(monitorIndex)["devices"][size_t(deviceIndex)];
    }

    // A package for one of the fixture's monitors with one image for its first device, which
    // carries `version` (or no version marker at all).
    std::string Package(int kind, uint32_t version, size_t size = 0, bool marker = true,
                        const std::vector<std::string>& moreProducts = {}) {
        const std::string name = "p" + std::to_string(m_packages++);
        json action = {{"name", "image"}, {"blob", "image"}, {"estimatedTime", 100}};
        uint32_t device = 256;
        switch (kind) {
        case kFiles:
            device = 0;
            action.update({{"type", "TransferData"}, {"fileName", "SCL000"}});
            if (size == 0) size = 4096;
            break;
        case kLegacy:
            action.update({{"type", "TransferData"}, {"fileName", "PRG000"}});
            if (size == 0) size = 2048;
            break;
        case kScaler:
            action.update(
                {{"type", "TransferMStarData"}, {"address", 0}, {"updateFlagAddress", 1040384}});
            if (size == 0) size = 70000;
            break;
        default:
            action.update({{"type", "TransferZVData"}, {"address", 0}});
            if (size == 0) size = 5000;
        }
        std::ofstream(m_dir + "/" + name + ".bin", std::ios::binary)
            << Image(version, size, marker);
        json products = json::array({monitor(kind)["product"]});
        for (const std::string& product : moreProducts) products.push_back(product);
        const json manifest = {{"products", products},
                               {"targetVersions", {{{"device", device}, {"version", version}}}},
                               {"blobs", {{{"name", "image"}, {"path", name + ".bin"}}}},
                               {"actions", {action}},
                               {"bundles", {{{"name", "all"}, {"actions", {"image"}}}}}};
        std::ofstream(m_dir + "/" + name + ".json") << manifest.dump(2);
        const std::string package = m_dir + "/" + name + ".kfw";
        const ToolResult packed = RunTool({"pack", m_dir + "/" + name + ".json", "-o", package});
        EXPECT_EQ(packed.exitCode, 0) << packed.err;
        return package;
    }

    ToolResult Run(const std::vector<std::string>& args, const std::string& input = "",
                   int interruptAfterMs = 0, const std::string& trace = "",
                   const std::string& interruptWhen = "") {
        std::ofstream(m_dir + "/monitors.json") << m_description.dump(2);
        return RunTool(args,
                       {"SCREENIO_SIM=" + m_dir + "/monitors.json", "XDG_RUNTIME_DIR=" + m_dir,
                        "FLASHKIT_RESTART_POLL_MS=100", "SCREENIO_TRACE=" + trace},
                       input, interruptAfterMs, interruptWhen);
    }
    json& description() { return m_description; }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

private:
    json m_description;
    std::string m_dir;
    int m_packages = 0;
};

TEST(MonitorsCommand, ListsEveryMonitorWithItsShownDevices) {
    Lab lab;
    const ToolResult result = lab.Run({"monitors"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* text : {"Test 27 Files", "TF270001", "record files with device files",
                             "Test 24 Legacy", "TL240002", "Test 32 Scaler", "scaler", "Test 34 ZV",
                             "TZ340004", "ZV", "USB Hub", "00212", "Type-C", "00045"})
        EXPECT_NE(result.out.find(text), std::string::npos) << text << " missing in\n"
                                                            << result.out;
    // A display order of 0 hides a device.
    EXPECT_EQ(result.out.find("Bootloader"), std::string::npos) << result.out;
}

TEST(MonitorsCommand, JsonGivesOneResultWithDevicesInDisplayOrder) {
    Lab lab;
    lab.device(kFiles, 0)["displayOrder"] = 3;  // the scaler now comes after the hub
    const ToolResult result = lab.Run({"monitors", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<json> lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 1u) << result.out;
    const json& monitors = lines[0]["monitors"];
    ASSERT_EQ(monitors.size(), 4u);
    EXPECT_EQ(lines[0]["result"], "ok");
    EXPECT_EQ(monitors[1]["serial"], "TL240002");
    EXPECT_EQ(monitors[1]["updateKind"], "record files");
    EXPECT_EQ(monitors[3]["updateKind"], "ZV");
    const json& devices = monitors[0]["devices"];
    ASSERT_EQ(devices.size(), 2u) << devices.dump();
    EXPECT_EQ(devices[0]["name"], "USB Hub");
    EXPECT_EQ(devices[0]["version"], "00212");
    EXPECT_EQ(devices[1]["name"], "Scaler");
    EXPECT_EQ(devices[1]["deviceID"], 0);
}

TEST(MonitorsCommand, MonitorsThatCannotBeClaimedAreListedWithTheReason) {
    Lab lab;
    lab.monitor(kLegacy)["claim"] = "busy";
    lab.monitor(kScaler)["claim"] = "denied";
    const ToolResult text = lab.Run({"monitors"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("1  (cannot be used: another program is using it"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("2  (cannot be used: this user may not open it; install the udev rule"),
              std::string::npos)
        << text.out;

    const std::vector<json> lines = JsonLines(lab.Run({"monitors", "--json"}).out);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0]["monitors"].size(), 2u);
    EXPECT_EQ(lines[0]["monitors"][1]["serial"], "TZ340004");
    const json& unavailable = lines[0]["unavailable"];
    ASSERT_EQ(unavailable.size(), 2u) << unavailable.dump();
    EXPECT_EQ(unavailable[0]["index"], 1);
    EXPECT_EQ(unavailable[0]["status"], -10);
    EXPECT_EQ(unavailable[1]["index"], 2);
    EXPECT_EQ(unavailable[1]["status"], -11);
}

TEST(MonitorsCommand, WhenNoFoundMonitorCanBeClaimedTheFailureSaysWhy) {
    Lab lab;
    const std::string package = lab.Package(kFiles, 106);
    for (int i : {kFiles, kLegacy, kScaler, kZV}) lab.monitor(i)["claim"] = "busy";
    const ToolResult result = lab.Run({"check", package});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("A monitor was found but cannot be used: another program is using "
                              "it"),
              std::string::npos)
        << result.err;
}

struct CheckCase {
    const char* name;
    int packageFor;  // fixture monitor the package is made for
    uint32_t version;
    const char* selection;
    int exitCode;
    const char* verdict;
};

TEST(CheckCommand, VerdictsAndTheirExitStatuses) {
    const CheckCase cases[] = {
        {"fits", kFiles, 106, "0", 0, "fits"},
        {"other model", kFiles, 106, "TL240002", 10, "different model"},
        {"already updated", kFiles, 105, "TF270001", 12, "already updated"},
        // A scaler package has the format of its protocol, which the ZV monitor refuses.
        {"wrong package version", kScaler, 119, "3", 13, "wrong package version"},
    };
    Lab lab;
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string package = lab.Package(c.packageFor, c.version);
        const ToolResult text = lab.Run({"check", package, "--monitor", c.selection});
        EXPECT_EQ(text.exitCode, c.exitCode) << text.out << text.err;
        EXPECT_NE(text.out.find(std::string("Verdict:  ") + c.verdict), std::string::npos)
            << text.out;
        EXPECT_EQ(text.err.empty(), c.exitCode == 0) << text.err;

        const ToolResult js = lab.Run({"check", package, "--monitor", c.selection, "--json"});
        EXPECT_EQ(js.exitCode, c.exitCode);
        const std::vector<json> lines = JsonLines(js.out);
        ASSERT_EQ(lines.size(), 1u) << js.out;
        EXPECT_EQ(lines[0]["verdict"], c.verdict);
        EXPECT_EQ(lines[0]["exitCode"], c.exitCode);
        EXPECT_EQ(lines[0]["result"], c.exitCode == 0 ? "ok" : "error");
    }
}

TEST(CheckCommand, ShowsVersionsBeforeAndAfterAndTheTimeInWholeMinutes) {
    Lab lab;
    // 100 s for the image plus the package's default margin of 60 s: 160 s, shown as 3 min.
    const std::string package = lab.Package(kFiles, 106);
    const ToolResult text = lab.Run({"check", package});
    ASSERT_EQ(text.exitCode, 4) << "several monitors and no --monitor";

    const ToolResult result = lab.Run({"check", package, "--monitor", "TF270001"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("about 3 min"), std::string::npos) << result.out;
    const ToolResult js = lab.Run({"check", package, "--monitor", "0", "--json"});
    const json object = json::parse(js.out);
    EXPECT_EQ(object["estimatedSeconds"], 160);
    const json* scaler = Version(object, "Scaler");
    ASSERT_NE(scaler, nullptr) << js.out;
    EXPECT_EQ((*scaler)["before"], "00105");
    EXPECT_EQ((*scaler)["after"], "00106");
    const json* hub = Version(object, "USB Hub");
    ASSERT_NE(hub, nullptr) << js.out;
    EXPECT_EQ((*hub)["before"], (*hub)["after"]);
}

struct KindCase {
    const char* name;
    int monitor;
    uint32_t version;
    const char* device;
    const char* before;
    const char* after;
};

TEST(UpdateCommand, EachUpdateKindEndsWithTheNewVersions) {
    const KindCase cases[] = {
        {"record files with device files", kFiles, 106, "Scaler", "00105", "00106"},
        {"record files (legacy)", kLegacy, 106, "Main/System", "00105", "00106"},
        {"ZV", kZV, 121, "Scaler", "00120", "00121"},
        {"scaler", kScaler, 119, "Main/System", "00118", "00119"},
    };
    Lab lab;
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string package = lab.Package(c.monitor, c.version);
        const std::string serial = lab.monitor(c.monitor)["serial"];
        const ToolResult result = lab.Run({"update", package, "--monitor", serial, "--yes"});
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("Transferred 100%"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("must not be unplugged"), std::string::npos) << result.out;
        const std::string row = std::string(c.device);
        const size_t at = result.out.rfind(row);
        ASSERT_NE(at, std::string::npos) << result.out;
        const std::string line = result.out.substr(at, result.out.find('\n', at) - at);
        EXPECT_NE(line.find(c.before), std::string::npos) << line;
        EXPECT_NE(line.find(c.after), std::string::npos) << line;
        // Another process sees the installed versions.
        const ToolResult again = lab.Run({"check", package, "--monitor", serial});
        EXPECT_EQ(again.exitCode, 12) << again.out << again.err;
    }
}

TEST(UpdateCommand, ForceInstallsAPackageThatIsAlreadyThere) {
    Lab lab;
    const std::string package = lab.Package(kFiles, 105);
    EXPECT_EQ(lab.Run({"update", package, "--monitor", "0", "--yes"}).exitCode, 12);
    const ToolResult forced = lab.Run({"update", package, "--monitor", "0", "--yes", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.out << forced.err;
    EXPECT_NE(forced.out.find("Transferred 100%"), std::string::npos) << forced.out;
}

TEST(UpdateCommand, JsonOutputIsEventsThenOneResult) {
    Lab lab;
    const std::string package = lab.Package(kFiles, 106, 4096);
    const ToolResult result = lab.Run({"update", package, "--monitor", "0", "--yes", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<json> lines = JsonLines(result.out);
    ASSERT_GE(lines.size(), 3u);

    std::vector<std::string> phases;
    std::vector<json> progress;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const json& event = lines[i];
        ASSERT_TRUE(event.contains("event")) << event.dump();
        if (event["event"] == "phase") phases.push_back(event["phase"]);
        if (event["event"] == "progress") progress.push_back(event);
    }
    EXPECT_EQ(phases, (std::vector<std::string>{"checking", "transferring", "restarting", "waiting",
                                                "verifying"}));
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i]["transferredBytes"], progress[i - 1]["transferredBytes"]);
        EXPECT_GE(progress[i]["percent"], progress[i - 1]["percent"]);
        EXPECT_GE(progress[i]["completedCount"], progress[i - 1]["completedCount"]);
    }
    EXPECT_EQ(progress.back()["transferredBytes"], 4096);
    EXPECT_EQ(progress.back()["totalBytes"], 4096);
    EXPECT_EQ(progress.back()["percent"], 100);
    EXPECT_EQ(progress.back()["completedCount"], progress.back()["totalCount"]);

    const json& final = lines.back();
    EXPECT_EQ(final["result"], "ok");
    EXPECT_EQ(final["exitCode"], 0);
    EXPECT_EQ(final["monitor"]["serial"], "TF270001");
    const json* scaler = Version(final, "Scaler");
    ASSERT_NE(scaler, nullptr) << final.dump();
    EXPECT_EQ((*scaler)["before"], "00105");
    EXPECT_EQ((*scaler)["after"], "00106");
}

struct FailureCase {
    const char* name;
    json faults;                     // for the record-file monitor
    bool marker;                     // the image carries its version
    std::vector<std::string> extra;  // after "update PACKAGE"
    const char* input;
    std::vector<std::string> environment;
    int exitCode;
    const char* inMessage;
};

TEST(UpdateCommand, FailuresExitWithTheirClassStatus) {
    const FailureCase cases[] = {
        {"checksum of the image differs",
         json::array({{{"usage", "FF02/FC"},
                       {"access", "get-array"},
                       {"count", 0},
                       {"effect", "corrupt-crc"}}}),
         true,
         {"--monitor", "0", "--yes"},
         "",
         {},
         21,
         "0001010100"},
        {"versions not reached",
         json::array(),
         false,
         {"--monitor", "0", "--yes"},
         "",
         {},
         23,
         "0002020000"},
        {"page writes fail",
         json::array({{{"usage", "FF02/FE"}, {"access", "set-array"}, {"count", 0}}}),
         true,
         {"--monitor", "0", "--yes"},
         "",
         {},
         20,
         "SCREENIO_ERROR_IO"},
        {"no monitor",
         json::array(),
         true,
         {"--yes"},
         "",
         {"SCREENIO_SIM="},
         4,
         "SCREENIO_SIM=demo"},
        {"several monitors", json::array(), true, {"--yes"}, "", {}, 4, "--monitor"},
        {"json without yes", json::array(), true, {"--monitor", "0", "--json"}, "", {}, 2, "--yes"},
        {"declined", json::array(), true, {"--monitor", "0"}, "n\n", {}, 30, "not confirmed"},
        {"no answer", json::array(), true, {"--monitor", "0"}, "", {}, 30, "not confirmed"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Lab lab;
        lab.monitor(kFiles)["faults"] = c.faults;
        const std::string package = lab.Package(kFiles, 106, 4096, c.marker);
        std::vector<std::string> args{"update", package};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ToolResult result =
            c.environment.empty() ? lab.Run(args, c.input) : RunTool(args, c.environment, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        // The failure is one line on standard error; only JSON mode repeats it on standard output.
        const size_t at = result.err.find(c.inMessage);
        ASSERT_NE(at, std::string::npos) << result.err;
        const size_t lineStart =
            result.err.rfind('\n', at) == std::string::npos ? 0 : result.err.rfind('\n', at) + 1;
        EXPECT_EQ(result.err.compare(lineStart, 10, "flashkit: "), 0) << result.err;
        if (std::find(args.begin(), args.end(), "--json") == args.end()) {
            EXPECT_EQ(result.out.find(c.inMessage), std::string::npos) << result.out;
        }
    }
}

TEST(UpdateCommand, JsonFailureEndsWithTheErrorResult) {
    Lab lab;
    lab.monitor(kFiles)["faults"] = json::array(
        {{{"usage", "FF02/FC"}, {"access", "get-array"}, {"count", 0}, {"effect", "corrupt-crc"}}});
    const std::string package = lab.Package(kFiles, 106);
    const ToolResult result = lab.Run({"update", package, "--monitor", "0", "--yes", "--json"});
    EXPECT_EQ(result.exitCode, 21);
    const std::vector<json> lines = JsonLines(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["result"], "error");
    EXPECT_EQ(lines.back()["exitCode"], 21);
    EXPECT_NE(lines.back()["message"].get<std::string>().find("0001010100"), std::string::npos);
    EXPECT_EQ(lines.back()["monitor"]["serial"], "TF270001");
}

TEST(UpdateCommand, DeclinedOrUsageErrorLeavesTheMonitorAsItWas) {
    Lab lab;
    const std::string package = lab.Package(kFiles, 106);
    const ToolResult usage = lab.Run({"update", package, "--monitor", "0", "--json"});
    EXPECT_EQ(usage.exitCode, 2);
    const std::vector<json> lines = JsonLines(usage.out);
    ASSERT_EQ(lines.size(), 1u) << usage.out;
    EXPECT_EQ(lines[0]["exitCode"], 2);
    EXPECT_EQ(lab.Run({"update", package, "--monitor", "0"}, "no\n").exitCode, 30);
    EXPECT_EQ(lab.Run({"check", package, "--monitor", "0"}).exitCode, 0);
}

TEST(UpdateCommand, InterruptDuringTheTransferCancelsCleanly) {
    Lab lab;
    // 512 KiB in 512-byte pages at 2 ms a request: the transfer takes a few seconds.
    lab.monitor(kFiles)["latencyUs"] = 2000;
    lab.device(kFiles, 0)["recordSize"] = 4096;
    lab.device(kFiles, 0)["recordCount"] = 128;
    const std::string package = lab.Package(kFiles, 106, 4096 * 128);
    // Interrupted soon after the transfer shows its first progress, however long the start took.
    const ToolResult result =
        lab.Run({"update", package, "--monitor", "0", "--yes"}, "", 200, "", "Transferred");
    EXPECT_EQ(result.exitCode, 130) << result.out << result.err;
    EXPECT_NE(result.out.find("Transferred"), std::string::npos) << "interrupted too early:\n"
                                                                 << result.out;
    EXPECT_EQ(result.out.find("Transferred 100%"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("nothing was installed"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("restarting"), std::string::npos) << result.out;
    // The monitor's transfer state was reset: the package still fits and nothing changed.
    lab.monitor(kFiles)["latencyUs"] = 0;
    const ToolResult check = lab.Run({"check", package, "--monitor", "0", "--json"});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    const json checked = json::parse(check.out);
    const json* scaler = Version(checked, "Scaler");
    ASSERT_NE(scaler, nullptr);
    EXPECT_EQ((*scaler)["before"], "00105");
}

TEST(UpdateCommand, InterruptDuringTheRestartSaysTheMonitorIsInstalling) {
    Lab lab;
    lab.monitor(kFiles)["restartMs"] = 8000;
    const std::string package = lab.Package(kFiles, 106);
    const ToolResult result = lab.Run({"update", package, "--monitor", "0", "--yes"}, "", 2500);
    EXPECT_EQ(result.exitCode, 130) << result.out << result.err;
    EXPECT_NE(result.out.find("must not be unplugged"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("installing"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("nothing was installed"), std::string::npos) << result.err;
}

// How many requests that change a monitor the simulator counted for it, as its state file keeps
// it between runs.
json ChangingRequestCount(const Lab& lab, const std::string& serial) {
    const json state = json::parse(std::ifstream(lab.path("monitors.state.json")), nullptr, false);
    if (!state.is_object()) return "no state file";
    return state["monitors"][serial]["changingRequests"];
}

// Request lines of a trace that could change a monitor: every set request but those that only
// choose what the next read returns (the older version query, the file-property select, the
// page-read request and the ZV device-information select).
std::vector<std::string> ChangingRequests(const std::string& tracePath) {
    std::ifstream in(tracePath);
    std::vector<std::string> changing;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(" set-") == std::string::npos) continue;
        if (line.find("FF00/00D8") != std::string::npos ||
            line.find("FF02/00C2") != std::string::npos ||
            line.find("FF02/00FD") != std::string::npos ||
            line.find("FF01/0124") != std::string::npos)
            continue;
        changing.push_back(line);
    }
    return changing;
}

TEST(UpdateCommand, DryRunPrintsThePlanAndChangesNothing) {
    struct Case {
        const char* name;
        int monitor;
        uint32_t version;
        std::vector<std::string> inPlan;
    } cases[] = {
        {"record files",
         kFiles,
         106,
         {"Update kind: record files", "scl000, the temporary copy of SCL000",
          "4 records of 1024 bytes"}},
        {"scaler",
         kScaler,
         119,
         {"Update kind: scaler", "70000 bytes at 0x000000",
          "erasing 2 block(s) of 64 KiB (0x000000-0x01FFFF)", "marker at 0x0FE000"}},
        {"ZV", kZV, 121, {"Update kind: ZV", "Scaler, 5000 bytes at 0x000000", "update flag 0"}},
    };
    Lab lab;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string package = lab.Package(c.monitor, c.version);
        const std::string serial = lab.monitor(c.monitor)["serial"];
        const std::string trace = lab.path(std::string("trace-") + c.name);
        const ToolResult result =
            lab.Run({"update", package, "--monitor", serial, "--dry-run"}, "", 0, trace);
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        for (const std::string& text : c.inPlan)
            EXPECT_NE(result.out.find(text), std::string::npos) << text << " missing in\n"
                                                                << result.out;
        EXPECT_EQ(result.out.find("Transferred"), std::string::npos) << result.out;
        // The trace holds the reads of the check and the plan, and not one request that changes
        // the monitor.
        std::ifstream in(trace);
        ASSERT_TRUE(in.good()) << trace;
        EXPECT_EQ(ChangingRequests(trace), std::vector<std::string>{});
        EXPECT_EQ(ChangingRequestCount(lab, serial), 0);

        const ToolResult js =
            lab.Run({"update", package, "--monitor", serial, "--dry-run", "--json"});
        ASSERT_EQ(js.exitCode, 0) << js.out << js.err;
        const std::vector<json> lines = JsonLines(js.out);
        ASSERT_FALSE(lines.empty());
        const json& object = lines.back();
        EXPECT_EQ(object["result"], "ok");
        EXPECT_EQ(object["plan"]["status"], 0);
        EXPECT_EQ(object["plan"]["images"].size(), 1u);
        // The monitor still wants the update: nothing was installed.
        EXPECT_EQ(lab.Run({"check", package, "--monitor", serial}).exitCode, 0);
        EXPECT_EQ(ChangingRequestCount(lab, serial), 0);
    }
}

TEST(UpdateCommand, DryRunOfAPlanThatWouldBeRefusedSaysSoAndSendsNothing) {
    Lab lab;
    // The marker's sector lies inside the image: its erase would destroy the image.
    const std::string package = lab.Package(kScaler, 119);
    const std::string manifest = lab.path("p0.json");
    json edited = json::parse(std::ifstream(manifest));
    edited["actions"][0]["updateFlagAddress"] = 4096;
    std::ofstream(manifest) << edited.dump(2);
    const std::string refused = lab.path("refused.kfw");
    ASSERT_EQ(RunTool({"pack", manifest, "-o", refused}).exitCode, 0);
    const std::string trace = lab.path("trace");

    const ToolResult result =
        lab.Run({"update", refused, "--monitor", "TS320003", "--dry-run"}, "", 0, trace);
    EXPECT_EQ(result.exitCode, 20) << result.out << result.err;
    EXPECT_NE(
        result.err.find("would be refused: KmErrorInvalidState (0x80000015); nothing was sent"),
        std::string::npos)
        << result.err;
    EXPECT_EQ(ChangingRequests(trace), std::vector<std::string>{});
    EXPECT_EQ(ChangingRequestCount(lab, "TS320003"), 0);
    // Without --dry-run the update refuses it the same way, before anything is erased.
    const ToolResult update =
        lab.Run({"update", refused, "--monitor", "TS320003", "--yes"}, "", 0, trace);
    EXPECT_EQ(update.exitCode, 20) << update.err;
    EXPECT_NE(update.err.find("nothing was installed; the monitor works as before."),
              std::string::npos)
        << update.err;
    EXPECT_EQ(ChangingRequests(trace), std::vector<std::string>{});
    EXPECT_EQ(ChangingRequestCount(lab, "TS320003"), 0);
}

// What a failed update says it left, per update kind, and the outcome in JSON.
TEST(UpdateCommand, AFailedUpdateSaysWhatItLeftTheMonitorIn) {
    struct Case {
        const char* name;
        int monitor;
        uint32_t version;
        json fault;
        const char* said;
        const char* outcome;
    } cases[] = {
        {"record files",
         kFiles,
         106,
         {{"usage", "FF02/FE"}, {"access", "set-array"}, {"count", 0}},
         "; nothing was installed; the monitor works as before. Check the monitor's cable",
         "old firmware kept"},
        {"ZV erase",
         kZV,
         121,
         {{"usage", "FF01/123"}, {"access", "set-array"}, {"first", 5}},
         "; nothing was installed; the monitor works as before.",
         "old firmware kept"},
        // The scaler runs its firmware from the flash being rewritten.
        {"scaler mid-image",
         kScaler,
         119,
         {{"usage", "FF30/11"}, {"access", "set-array"}, {"first", 300}, {"count", 0}},
         "; its scaler firmware was erased and not completely rewritten, so it will not start "
         "normally: leave it switched on and connected and run the update again now; if it was "
         "switched off, it comes back as \"MCU ISP MODE\"",
         "needs recovery"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each run on a fresh monitor: the fault counters live in the shared state.
        for (bool asJson : {false, true}) {
            Lab lab;
            lab.monitor(c.monitor)["faults"] = json::array({c.fault});
            const std::string package = lab.Package(c.monitor, c.version);
            const std::string serial = lab.monitor(c.monitor)["serial"];
            std::vector<std::string> args{"update", package, "--monitor", serial, "--yes"};
            if (asJson) args.push_back("--json");
            const ToolResult result = lab.Run(args);
            EXPECT_EQ(result.exitCode, 20) << result.out << result.err;
            EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
            if (c.monitor == kScaler) {
                EXPECT_EQ(result.err.find("nothing was installed"), std::string::npos)
                    << result.err;
            }
            if (!asJson) continue;
            const std::vector<json> lines = JsonLines(result.out);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.back()["outcome"], c.outcome) << lines.back().dump();
        }
    }
}

TEST(UpdateCommand, AScalerThatPowerCyclesLateIsWaitedFor) {
    Lab lab;
    // Still there when the tool looks for it after the update, then gone for its power cycle
    // while the versions are checked, as the demo's scaler monitors do.
    lab.monitor(kScaler)["mstarPowerCycleMs"] = 1500;
    lab.monitor(kScaler)["restartMs"] = 2500;
    const std::string package = lab.Package(kScaler, 119);
    const ToolResult result = lab.Run({"update", package, "--monitor", "TS320003", "--yes"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("The update of Test 32 Scaler (S/N TS320003) is finished."),
              std::string::npos)
        << result.out;
}

TEST(RecoveryCommands, AMonitorInIspModeIsShownAndRecovered) {
    Lab lab;
    // A scaler monitor whose image region holds nothing bootable: it comes up as its boot loader.
    json isp = lab.monitor(kScaler);
    isp["serial"] = "TS32ISP5";
    isp["devices"][0]["boots"] = false;
    lab.description()["monitors"].push_back(isp);

    const ToolResult listed = lab.Run({"monitors"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("4  MCU ISP MODE  S/N TS32ISP5  update kind: scaler\n     needs "
                              "recovery: its firmware does not start; 'flashkit update' with a "
                              "package that lists \"MCU ISP MODE\" recovers it"),
              std::string::npos)
        << listed.out;
    const json monitors = json::parse(lab.Run({"monitors", "--json"}).out)["monitors"];
    EXPECT_EQ(monitors[4]["needsRecovery"], true);
    EXPECT_EQ(monitors[2]["needsRecovery"], false);

    const std::string plain = lab.Package(kScaler, 119);
    const ToolResult refused = lab.Run({"check", plain, "--monitor", "TS32ISP5"});
    EXPECT_EQ(refused.exitCode, 10);
    EXPECT_NE(refused.err.find("needs recovery, but the package does not list \"MCU ISP MODE\""),
              std::string::npos)
        << refused.err;

    const std::string recovery = lab.Package(kScaler, 119, 0, true, {"MCU ISP MODE"});
    const ToolResult checked = lab.Run({"check", recovery, "--monitor", "TS32ISP5"});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("Verdict:  fits (recovers the monitor from MCU ISP MODE)"),
              std::string::npos)
        << checked.out;

    const ToolResult updated = lab.Run({"update", recovery, "--monitor", "TS32ISP5", "--yes"});
    EXPECT_EQ(updated.exitCode, 0) << updated.out << updated.err;
    EXPECT_NE(updated.out.find("Transferred 100%"), std::string::npos) << updated.out;
    // After its power cycle the monitor boots its new firmware and is itself again.
    EXPECT_NE(updated.out.find("The update of Test 32 Scaler (S/N TS32ISP5) is finished."),
              std::string::npos)
        << updated.out;
    const json after = json::parse(lab.Run({"monitors", "--json"}).out)["monitors"];
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[4]["product"], "Test 32 Scaler");
    EXPECT_EQ(after[4]["needsRecovery"], false);
    EXPECT_EQ(lab.Run({"check", plain, "--monitor", "TS32ISP5"}).exitCode, 12);
}

}  // namespace
}  // namespace flashkit::test
