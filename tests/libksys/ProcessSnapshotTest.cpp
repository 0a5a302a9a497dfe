// SPDX-License-Identifier: Apache-2.0
// Process snapshots against this machine's /proc: the test program itself and a child started
// with known arguments.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ksys/ksys.h"

extern char** environ;

namespace {

struct SnapshotRelease {
    void operator()(KSysSnapshot* snapshot) const { KSysReleaseSnapshot(snapshot); }
};
using Snapshot = std::unique_ptr<KSysSnapshot, SnapshotRelease>;

KSysProcess* findPid(KSysSnapshot* snapshot, int pid) {
    for (int i = 0; KSysProcess* process = KSysEnumRunningProcess(snapshot, i); ++i)
        if (KSysGetProcessPID(process) == pid) return process;
    return nullptr;
}

// A shell that waits while the test looks at it; killed and reaped when the test ends.
class Child {
public:
    explicit Child(std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            return;
        }
        // posix_spawn may return before the child has run its program; until then /proc shows
        // the parent's image. Wait (at most 5 s) until the new command line is in place.
        const std::string expected = arguments.front();
        for (int i = 0; i < 500 && commandHead() != expected; ++i) ::usleep(10000);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }

private:
    // The first argument of the child's command line as the kernel shows it now.
    std::string commandHead() const {
        std::ifstream cmdline("/proc/" + std::to_string(pid_) + "/cmdline");
        std::string head;
        std::getline(cmdline, head, '\0');
        return head;
    }

    pid_t pid_ = -1;
};

std::string joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
    return text;
}

TEST(ProcessSnapshot, FindsThisTestProgramWithNamePidAndCommandLine) {
    const Snapshot snapshot(KSysCreateRunningProcessSnapshot());
    ASSERT_NE(snapshot, nullptr);
    KSysProcess* self = findPid(snapshot.get(), static_cast<int>(::getpid()));
    ASSERT_NE(self, nullptr);
    EXPECT_STREQ(KSysGetProcessName(self), "ksys_tests");
    EXPECT_EQ(KSysGetProcessPID(self), static_cast<int>(::getpid()));
    EXPECT_EQ(KSysGetProcessCommand(self), joined(testing::internal::GetArgvs()));
}

TEST(ProcessSnapshot, ExecutableNameAndArgumentsOfAChild) {
    // Two arguments after the script, the first holding an inner space: their boundary is lost.
    const Child child({"renamed-shell", "-c", "sleep 30; exit 0", "first arg", "word"});
    ASSERT_GT(child.pid(), 0);
    const Snapshot snapshot(KSysCreateRunningProcessSnapshot());
    ASSERT_NE(snapshot, nullptr);
    KSysProcess* process = findPid(snapshot.get(), child.pid());
    ASSERT_NE(process, nullptr);
    // The name comes from the executable, not from the first argument the caller chose.
    EXPECT_EQ(KSysGetProcessName(process),
              std::filesystem::canonical("/bin/sh").filename().string());
    EXPECT_STREQ(KSysGetProcessCommand(process),
                 "renamed-shell -c sleep 30; exit 0 first arg word");
}

TEST(ProcessSnapshot, SimplifiedSnapshotHasNamesButNoCommandLines) {
    const Snapshot snapshot(KSysCreateRunningProcessSnapshotSimplified());
    ASSERT_NE(snapshot, nullptr);
    KSysProcess* self = findPid(snapshot.get(), static_cast<int>(::getpid()));
    ASSERT_NE(self, nullptr);
    EXPECT_STREQ(KSysGetProcessName(self), "ksys_tests");
    for (int i = 0; KSysProcess* process = KSysEnumRunningProcess(snapshot.get(), i); ++i)
        EXPECT_STREQ(KSysGetProcessCommand(process), "") << KSysGetProcessName(process);
}

TEST(ProcessSnapshot, EnumerationRejectsBadIndexesAndOtherKinds) {
    const Snapshot processes(KSysCreateRunningProcessSnapshotSimplified());
    ASSERT_NE(processes, nullptr);
    ASSERT_NE(KSysEnumRunningProcess(processes.get(), 0), nullptr);
    EXPECT_EQ(KSysEnumRunningProcess(processes.get(), -1), nullptr);
    int count = 0;
    while (KSysEnumRunningProcess(processes.get(), count)) ++count;
    EXPECT_EQ(KSysEnumRunningProcess(processes.get(), count), nullptr);
    EXPECT_EQ(KSysEnumRunningProcess(nullptr, 0), nullptr);

    const Snapshot usb(KSysCreateUSBDeviceSnapshot());
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(KSysEnumRunningProcess(usb.get(), 0), nullptr);
    EXPECT_EQ(KSysEnumUSBDevice(processes.get(), 0), nullptr);
    EXPECT_EQ(KSysEnumPrinter(processes.get(), 0), nullptr);
    EXPECT_EQ(KSysEnumLoadedKEXT(processes.get(), 0), nullptr);
    EXPECT_EQ(KSysEnumInstalledApplication(processes.get(), 0), nullptr);
    EXPECT_EQ(KSysEnumApplicationWindow(processes.get(), 0), nullptr);
    KSysReleaseSnapshot(nullptr);  // ignored
}

TEST(ProcessSnapshot, NullItemsGiveDefaults) {
    EXPECT_STREQ(KSysGetProcessName(nullptr), "");
    EXPECT_STREQ(KSysGetProcessCommand(nullptr), "");
    EXPECT_EQ(KSysGetProcessPID(nullptr), -1);
    EXPECT_STREQ(KSysGetApplicationName(nullptr), "");
    EXPECT_STREQ(KSysGetApplicationVersion(nullptr), "");
    EXPECT_STREQ(KSysGetUSBDeviceName(nullptr), "");
    EXPECT_EQ(KSysGetUSBDeviceVendorID(nullptr), -1);
    EXPECT_EQ(KSysGetUSBDeviceProductID(nullptr), -1);
    EXPECT_EQ(KSysGetUSBDeviceBCD(nullptr), -1);
    EXPECT_STREQ(KSysGetKEXTName(nullptr), "");
    EXPECT_STREQ(KSysGetKEXTVersion(nullptr), "");
    EXPECT_STREQ(KSysGetPrinterName(nullptr), "");
    EXPECT_STREQ(KSysGetPrinterDriverName(nullptr), "");
    EXPECT_STREQ(KSysGetPrinterDriverVersion(nullptr), "");
    EXPECT_EQ(KSysIsPrinterDefault(nullptr), 0);
    EXPECT_STREQ(KSysGetApplicationWindowTitle(nullptr), "");
    EXPECT_STREQ(KSysGetApplicationWindowProcessName(nullptr), "");
    EXPECT_STREQ(KSysGetApplicationWindowLocalizedName(nullptr), "");
    EXPECT_STREQ(KSysGetApplicationWindowClassName(nullptr), "");
    EXPECT_EQ(KSysIsApplicationWindowActive(nullptr), 0);
    EXPECT_STREQ(KSysGetVGAName(nullptr), "");
    EXPECT_STREQ(KSysGetVGAVendor(nullptr), "");
    EXPECT_STREQ(KSysGetVGADriverName(nullptr), "");
    EXPECT_STREQ(KSysGetVGADriverVersion(nullptr), "");
    EXPECT_STREQ(KSysGetVGADeviceLocationID(nullptr), "");
    EXPECT_EQ(KSysGetVGAVRAMSize(nullptr), 0u);
    EXPECT_STREQ(KSysEnumVGAMonitorPath(nullptr, 0), "");
    EXPECT_EQ(KSysGetVGAOfScreen(nullptr), nullptr);
}

TEST(ProcessRunning, MatchesTheWholeNameExactly) {
    const struct {
        const char* name;
        int expected;
    } cases[] = {
        {"ksys_tests", 1},  {"KSYS_TESTS", 0},  // case matters
        {"ksys_test", 0},                       // no prefix match
        {"ksys_tests2", 0}, {"", 0},           {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KSysIsProcessRunning(c.name, 0), c.expected) << (c.name ? c.name : "(null)");
}

TEST(ProcessRunning, SeesAChildByItsExecutableName) {
    const std::string shell = std::filesystem::canonical("/bin/sh").filename().string();
    const Child child({"not-the-name", "-c", "sleep 30; exit 0"});
    ASSERT_GT(child.pid(), 0);
    EXPECT_EQ(KSysIsProcessRunning(shell.c_str(), 0), 1);
    EXPECT_EQ(KSysIsProcessRunning("not-the-name", 0), 0);
}

}  // namespace
