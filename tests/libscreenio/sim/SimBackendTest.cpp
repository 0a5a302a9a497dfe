// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "api/BackendFromEnvironment.h"
#include "core/BackendRegistry.h"
#include "hid/HidBackend.h"
#include "screenio/screenio.h"
#include "sim/SimBackend.h"
#include "sim/SimClock.h"
#include "sim/SimConfig.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr uint16_t kPageGeneral = 0xFF00;
constexpr uint16_t kPageFiles = 0xFF02;
constexpr uint16_t kSerialProduct = 0x35;
constexpr uint16_t kTransferState = 0xFB;
constexpr uint16_t kRestart = 0xF4;
constexpr uint32_t kRestartMs = 2000;

MonitorDescription FilesMonitor(const std::string& serial) {
    MonitorDescription description;
    description.product = "Bench " + serial;
    description.serial = serial;
    description.kind = MonitorKind::Files;
    DeviceDescription device;
    device.id = 0;
    device.name = "Scaler";
    device.fileName = "SCL000";
    device.version = 105;
    device.displayOrder = 1;
    description.devices = {device};
    description.restartMs = kRestartMs;
    return description;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The serial number as a caller reads it: report count, then the report's first 8 bytes.
std::string SerialOf(void* handle) {
    uint8_t flag = 1;
    uint32_t count = 0;
    if (KmGetFixedData(handle, kPageGeneral, kSerialProduct, nullptr, nullptr, nullptr, &flag,
                       &count) < 0 ||
        flag != 0 || count < 8)
        return "(no serial report)";
    std::vector<uint8_t> report(count);
    if (KmGetFeatureArray(handle, kPageGeneral, kSerialProduct, report.data(), count) < 0)
        return "(serial read failed)";
    return std::string(reinterpret_cast<const char*>(report.data()), 8).c_str();
}

std::vector<std::string> FoundSerials() {
    std::vector<std::string> serials;
    KmError count = KmFind();
    for (KmError i = 0; i < count; ++i) {
        void* handle = nullptr;
        serials.push_back(KmRetrieve(i, &handle) == 0 ? SerialOf(handle) : "(no handle)");
    }
    return serials;
}

// The handle of the monitor with this serial in a new search, or null.
void* HandleOf(const std::string& serial) {
    KmError count = KmFind();
    for (KmError i = 0; i < count; ++i) {
        void* handle = nullptr;
        if (KmRetrieve(i, &handle) == 0 && SerialOf(handle) == serial) return handle;
    }
    return nullptr;
}

int64_t TransferStateOf(void* handle) {
    int64_t value = 0;
    KmError status = KmGetFeatureValue(handle, kPageFiles, kTransferState, &value);
    return status < 0 ? status : value;
}

class SimBackendTest : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("SCREENIO_SIM");
        std::string pattern = testing::TempDir() + "/screenio-sim-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        KmRelease();
        BackendRegistry::instance().set(nullptr);
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    SimConfig Config(bool withStateFile) const {
        SimConfig config;
        config.monitors = {FilesMonitor("S1"), FilesMonitor("S2")};
        if (withStateFile) config.stateFile = statePath();
        return config;
    }
    std::string statePath() const { return m_folder + "/state.json"; }

    static std::shared_ptr<SimBackend> Install(std::shared_ptr<SimBackend> backend) {
        KmRelease();
        BackendRegistry::instance().set(backend);
        return backend;
    }

    std::string m_folder;
};

TEST_F(SimBackendTest, FindListsPresentMonitorsInDescriptionOrder) {
    Install(std::make_shared<SimBackend>(Config(false)));
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S1", "S2"}));
    // Every search finds the same monitors again.
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S1", "S2"}));
}

TEST_F(SimBackendTest, BadArgumentsFailWithoutTouchingAMonitor) {
    Install(std::make_shared<SimBackend>(Config(false)));
    ASSERT_EQ(KmFind(), 2);
    void* handle = nullptr;
    EXPECT_EQ(KmRetrieve(2, &handle), SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmRetrieve(-1, &handle), SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(KmRetrieve(0, nullptr), SCREENIO_ERROR_INVALID_ARGUMENT);
    ASSERT_EQ(KmRetrieve(0, &handle), 0);

    uint8_t flag = 1;
    uint32_t count = 0;
    EXPECT_EQ(KmGetFeatureValue(handle, kPageFiles, kTransferState, nullptr),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmGetFeatureArray(handle, kPageGeneral, kSerialProduct, nullptr, 24),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmSetFeatureArray(handle, kPageFiles, 0xC2, nullptr, 10),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmGetFixedData(handle, kPageGeneral, kSerialProduct, nullptr, nullptr, nullptr,
                             nullptr, &count),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmGetFixedData(handle, kPageGeneral, kSerialProduct, nullptr, nullptr, nullptr, &flag,
                             nullptr),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    int64_t value = 0;
    EXPECT_EQ(KmGetFeatureValue(nullptr, kPageFiles, kTransferState, &value),
              SCREENIO_ERROR_INVALID_HANDLE);
    // The monitor is still fine afterwards.
    EXPECT_EQ(SerialOf(handle), "S1");
}

TEST_F(SimBackendTest, ReleasedHandlesFailInsteadOfReachingAMonitor) {
    Install(std::make_shared<SimBackend>(Config(false)));
    ASSERT_EQ(KmFind(), 2);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(KmRetrieve(0, &first), 0);
    ASSERT_EQ(KmRetrieve(1, &second), 0);
    ASSERT_EQ(KmSetFeatureValue(first, kPageFiles, kTransferState, 1), 0);

    ASSERT_EQ(KmRelease(), 0);
    int64_t value = 0;
    EXPECT_LT(KmGetFeatureValue(first, kPageFiles, kTransferState, &value), 0);
    EXPECT_LT(KmSetFeatureValue(second, kPageFiles, kTransferState, 2), 0);
    // A new search does not revive them either.
    ASSERT_EQ(KmFind(), 2);
    EXPECT_LT(KmSetFeatureValue(second, kPageFiles, kTransferState, 2), 0);
    EXPECT_EQ(TransferStateOf(HandleOf("S2")), 0);
}

TEST_F(SimBackendTest, RestartedMonitorIsAbsentForItsRestartTimeThenBack) {
    auto backend = Install(std::make_shared<SimBackend>(Config(false)));
    void* handle = HandleOf("S1");
    ASSERT_NE(handle, nullptr);
    ASSERT_GE(KmSetFeatureValue(handle, kPageFiles, kRestart, 0), 0);

    int64_t value = 0;
    EXPECT_EQ(KmGetFeatureValue(handle, kPageFiles, kTransferState, &value), SCREENIO_ERROR_GONE);
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S2"}));
    SimClock::advance(int64_t(kRestartMs - 500) * 1000);
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S2"}));
    SimClock::advance(int64_t(600) * 1000);
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S1", "S2"}));
    EXPECT_EQ(backend->monitor("S1")->description().product, "Bench S1");
    EXPECT_EQ(backend->monitor("nope"), nullptr);
}

TEST_F(SimBackendTest, SeveralThreadsAndAReleaseNeverCrash) {
    Install(std::make_shared<SimBackend>(Config(true)));
    ASSERT_EQ(KmFind(), 2);
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    auto worker = [&] {
        while (!stop) {
            void* handle = nullptr;
            if (KmRetrieve(0, &handle) != 0) continue;
            int64_t value = 0;
            KmError status = KmSetFeatureValue(handle, kPageFiles, kTransferState, 1);
            KmError read = KmGetFeatureValue(handle, kPageFiles, kTransferState, &value);
            for (KmError s : {status, read})
                if (s != 0 && s != SCREENIO_ERROR_INVALID_HANDLE) ++unexpected;
        }
    };
    std::thread a(worker), b(worker);
    for (int i = 0; i < 200; ++i) {
        KmRelease();
        KmFind();
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_EQ(unexpected.load(), 0);
}

TEST_F(SimBackendTest, AnotherProcessSeesChangesThroughTheStateFile) {
    // Two backends on one state file stand for two processes.
    auto first = std::make_shared<SimBackend>(Config(true));
    auto second = std::make_shared<SimBackend>(Config(true));

    Install(first);
    ASSERT_EQ(KmSetFeatureValue(HandleOf("S1"), kPageFiles, kTransferState, 7), 0);
    ASSERT_EQ(KmRelease(), 0);

    Install(second);
    EXPECT_EQ(TransferStateOf(HandleOf("S1")), 7);
    ASSERT_EQ(KmSetFeatureValue(HandleOf("S2"), kPageFiles, kTransferState, 9), 0);
    ASSERT_EQ(KmRelease(), 0);

    // The first keeps its own change and picks up the other's.
    Install(first);
    EXPECT_EQ(TransferStateOf(HandleOf("S1")), 7);
    EXPECT_EQ(TransferStateOf(HandleOf("S2")), 9);

    json file = json::parse(ReadFile(statePath()));
    EXPECT_EQ(file["version"], 1);
    EXPECT_EQ(file["monitors"]["S1"]["transferState"], 7);
    EXPECT_EQ(file["monitors"]["S2"]["transferState"], 9);
}

TEST_F(SimBackendTest, WritesAreThrottledButFlushedAtRelease) {
    auto first = std::make_shared<SimBackend>(Config(true));
    auto second = std::make_shared<SimBackend>(Config(true));
    Install(first);
    void* handle = HandleOf("S1");
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(KmSetFeatureValue(handle, kPageFiles, kTransferState, 1), 0);  // written at once
    ASSERT_EQ(KmSetFeatureValue(handle, kPageFiles, kTransferState, 2), 0);  // held back
    bool quick = std::chrono::steady_clock::now() - start < std::chrono::milliseconds(150);

    BackendRegistry::instance().set(second);  // no KmRelease: nothing is flushed yet
    if (quick) {
        EXPECT_EQ(TransferStateOf(HandleOf("S1")), 1);
    }
    first->release();
    EXPECT_EQ(TransferStateOf(HandleOf("S1")), 2);
}

TEST_F(SimBackendTest, ARestartReachesOtherProcessesAtOnce) {
    auto first = std::make_shared<SimBackend>(Config(true));
    auto second = std::make_shared<SimBackend>(Config(true));
    Install(first);
    ASSERT_EQ(KmSetFeatureValue(HandleOf("S2"), kPageFiles, kTransferState, 1), 0);
    // Within the throttle interval, but a restart is written at once.
    ASSERT_GE(KmSetFeatureValue(HandleOf("S1"), kPageFiles, kRestart, 0), 0);

    BackendRegistry::instance().set(second);
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S2"}));
    SimClock::advance(int64_t(kRestartMs + 100) * 1000);
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S1", "S2"}));
}

// The other process writes while this one is in the middle of a request: this one's write must
// start from the file as it is then, not from what it read before the request.
TEST_F(SimBackendTest, AWriteMadeDuringAnotherProcesssRequestIsKept) {
    SimConfig config = Config(true);
    config.monitors[1].latencyUs = 300000;  // S2's requests take 300 ms
    SimBackend slow(config);
    SimBackend quick(config);
    std::shared_ptr<Device> slowS2 = slow.find().at(1);
    std::shared_ptr<Device> quickS1 = quick.find().at(0);
    ASSERT_EQ(slowS2->describe(), "S2");

    std::thread request([&] { EXPECT_EQ(slowS2->setValue(kPageFiles, kTransferState, 2), 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(quickS1->setValue(kPageFiles, kTransferState, 1), 0);
    quick.release();
    request.join();
    slow.release();

    json file = json::parse(ReadFile(statePath()));
    EXPECT_EQ(file["monitors"]["S1"]["transferState"], 1);
    EXPECT_EQ(file["monitors"]["S2"]["transferState"], 2);
}

TEST_F(SimBackendTest, CorruptStateFileIsReportedAndReplaced) {
    WriteFile(statePath(), "{ this is not a state");
    testing::internal::CaptureStderr();
    Install(std::make_shared<SimBackend>(Config(true)));
    EXPECT_EQ(KmFind(), 2);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(messages.rfind("screenio: ", 0), 0u) << messages;
    EXPECT_NE(messages.find(statePath()), std::string::npos) << messages;

    void* handle = HandleOf("S1");
    EXPECT_EQ(TransferStateOf(handle), 0);
    ASSERT_EQ(KmSetFeatureValue(handle, kPageFiles, kTransferState, 3), 0);
    ASSERT_EQ(KmRelease(), 0);
    json file = json::parse(ReadFile(statePath()));
    EXPECT_EQ(file["version"], 1);
    EXPECT_EQ(file["monitors"]["S1"]["transferState"], 3);
}

TEST_F(SimBackendTest, StateThatDoesNotFitItsMonitorIsReportedAndIgnored) {
    // A valid state for S2, as another process would have written it.
    SimMonitor other(FilesMonitor("S2"));
    ASSERT_EQ(other.setValue(other.connection(), kPageFiles, kTransferState, 5), 0);
    json file = {{"version", 1},
                 {"monitors", {{"S1", {{"kind", "zv"}}}, {"S2", other.saveState()}}}};
    WriteFile(statePath(), file.dump());

    testing::internal::CaptureStderr();
    auto backend = Install(std::make_shared<SimBackend>(Config(true)));
    EXPECT_EQ(KmFind(), 2);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("S1"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("S2"), std::string::npos) << messages;
    EXPECT_EQ(backend->monitor("S1")->transferState(), 0u);
    EXPECT_EQ(backend->monitor("S2")->transferState(), 5u);

    // Reported once, however often the file is looked at.
    testing::internal::CaptureStderr();
    EXPECT_EQ(FoundSerials(), (std::vector<std::string>{"S1", "S2"}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SimBackendTest, ConcurrentProcessesKeepAValidFileWithBothTheirChanges) {
    SimConfig config = Config(true);
    for (MonitorDescription& description : config.monitors)
        description.latencyUs = 500;  // let the writers overlap
    constexpr int kRequests = 400;
    auto writer = [&](const std::string& serial, int64_t base) -> int {
        SimBackend backend(config);
        std::shared_ptr<Device> device;
        for (auto& found : backend.find())
            if (found->describe() == serial) device = found;
        if (!device) return 2;
        for (int i = 0; i < kRequests; ++i) {
            if (device->setValue(kPageFiles, kTransferState, base + i) != 0) return 3;
            if (i % 40 == 0) backend.release();
        }
        return 0;  // the backend's destructor writes the last value
    };
    pid_t children[2];
    const char* serials[2] = {"S1", "S2"};
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int code = writer(serials[c], 1000 * (c + 1));
            _exit(code);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

    json file = json::parse(ReadFile(statePath()));
    EXPECT_EQ(file["version"], 1);
    EXPECT_EQ(file["monitors"]["S1"]["transferState"], 1000 + kRequests - 1);
    EXPECT_EQ(file["monitors"]["S2"]["transferState"], 2000 + kRequests - 1);
    SimBackend reader(config);
    EXPECT_EQ(reader.monitor("S1")->transferState(), 1000u + kRequests - 1);
    EXPECT_EQ(reader.monitor("S2")->transferState(), 2000u + kRequests - 1);
    // No temporary file is left behind.
    for (const auto& entry : fs::directory_iterator(m_folder)) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "state.json" || name == "state.json.lock") << name;
    }
}

TEST_F(SimBackendTest, UnwritableStateFolderLeavesMonitorsWorking) {
    SimConfig config = Config(false);
    config.stateFile = m_folder + "/missing-folder/state.json";
    testing::internal::CaptureStderr();
    Install(std::make_shared<SimBackend>(config));
    void* handle = HandleOf("S1");
    ASSERT_EQ(KmSetFeatureValue(handle, kPageFiles, kTransferState, 2), 0);
    EXPECT_EQ(TransferStateOf(handle), 2);
    KmRelease();
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("screenio: "), std::string::npos) << messages;
    EXPECT_NE(messages.find(config.stateFile), std::string::npos) << messages;
}

// SCREENIO_SIM as a user sets it: the library picks the backend at the first call.
class SimBackendEnvironment : public SimBackendTest {
protected:
    void TearDown() override {
        unsetenv("SCREENIO_SIM");
        if (m_hadRuntime)
            setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        SimBackendTest::TearDown();
    }
    void SetUp() override {
        SimBackendTest::SetUp();
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        m_hadRuntime = runtime != nullptr;
        if (runtime) m_runtime = runtime;
        // The demo's state file must not land in the user's real runtime folder.
        setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    }
    bool m_hadRuntime = false;
    std::string m_runtime;
};

TEST_F(SimBackendEnvironment, UnsetOrEmptyMeansTheMonitorsOnUsb) {
    EXPECT_NE(std::dynamic_pointer_cast<hid::HidBackend>(BackendFromEnvironment()), nullptr);
    setenv("SCREENIO_SIM", "", 1);
    EXPECT_NE(std::dynamic_pointer_cast<hid::HidBackend>(BackendFromEnvironment()), nullptr);
    // No vendor owns this id, so no machine has such a monitor.
    setenv("SCREENIO_USB_VENDOR_ID", "0xFFF1", 1);
    BackendRegistry::instance().set(nullptr);
    EXPECT_EQ(KmFind(), 0);
    unsetenv("SCREENIO_USB_VENDOR_ID");
}

TEST_F(SimBackendEnvironment, DemoFindsItsFiveMonitors) {
    setenv("SCREENIO_SIM", "demo", 1);
    BackendRegistry::instance().set(nullptr);
    std::vector<std::string> serials = FoundSerials();
    EXPECT_EQ(serials, (std::vector<std::string>{"V27Q0001", "V24F0002", "V32U0003", "V34W0004",
                                                 "V32R0005"}));
}

// A tool that exits without KmRelease must not lose the changes that the throttle held back.
TEST_F(SimBackendEnvironment, UnwrittenChangesAreWrittenAtProcessExit) {
    const std::string description = m_folder + "/exit.json";
    WriteFile(description, R"({ "stateFile": "exit.state",
        "monitors": [ { "product": "Exit", "serial": "EXIT1",
                        "devices": [ { "id": 0, "fileName": "SCL000" } ] } ] })");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("SCREENIO_SIM", description.c_str(), 1);
        BackendRegistry::instance().set(nullptr);
        void* handle = HandleOf("EXIT1");
        bool ok = handle && KmSetFeatureValue(handle, kPageFiles, kTransferState, 1) == 0 &&
                  KmSetFeatureValue(handle, kPageFiles, kTransferState, 2) == 0;
        std::exit(ok ? 0 : 3);  // runs the destructors of the library's statics
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    json file = json::parse(ReadFile(m_folder + "/exit.state"));
    EXPECT_EQ(file["monitors"]["EXIT1"]["transferState"], 2);
}

struct BadFile {
    const char* what;
    const char* name;     // in the test folder; empty: the folder itself
    const char* content;  // null: the file is not created
    const char* expected;
};

class SimBackendBadFile : public SimBackendEnvironment,
                          public testing::WithParamInterface<BadFile> {};

TEST_P(SimBackendBadFile, GivesNoMonitorsAndOneMessage) {
    const BadFile& bad = GetParam();
    std::string path = *bad.name ? m_folder + "/" + bad.name : m_folder;
    if (bad.content) WriteFile(path, bad.content);
    setenv("SCREENIO_SIM", path.c_str(), 1);
    BackendRegistry::instance().set(nullptr);

    testing::internal::CaptureStderr();
    EXPECT_EQ(KmFind(), 0);
    EXPECT_EQ(KmFind(), 0);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(messages.rfind("screenio: ", 0), 0u) << messages;
    EXPECT_NE(messages.find(path), std::string::npos) << messages;
    EXPECT_NE(messages.find(bad.expected), std::string::npos) << messages;
    EXPECT_EQ(messages.find('\n'), messages.size() - 1) << "one line only: " << messages;
}

const BadFile kBadFiles[] = {
    {"missing file", "missing.json", nullptr, "cannot open"},
    {"a folder", "", nullptr, "folder"},
    {"not JSON", "broken.json", "{ \"monitors\": [", "not valid JSON"},
    {"bad schema", "typo.json",
     R"({ "monitors": [ { "product": "P", "serial": "S", "devices": [ { "id": 0, "fileName": "SCL000", "version": "2" } ] } ] })",
     "monitors[0].devices[0].version: expected an unsigned 32-bit integer"},
};

INSTANTIATE_TEST_SUITE_P(SimBackend, SimBackendBadFile, testing::ValuesIn(kBadFiles));

TEST_F(SimBackendEnvironment, DescriptionFileWithARelativeStateFile) {
    WriteFile(m_folder + "/lab.json", R"({ "stateFile": "lab.state",
        "monitors": [ { "product": "Lab", "serial": "LAB1",
                        "devices": [ { "id": 0, "fileName": "SCL000" } ] } ] })");
    setenv("SCREENIO_SIM", (m_folder + "/lab.json").c_str(), 1);
    BackendRegistry::instance().set(nullptr);
    ASSERT_EQ(KmSetFeatureValue(HandleOf("LAB1"), kPageFiles, kTransferState, 1), 0);
    KmRelease();
    EXPECT_TRUE(fs::exists(m_folder + "/lab.state"));
}

}  // namespace
}  // namespace screenio::sim
