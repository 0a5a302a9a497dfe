// SPDX-License-Identifier: Apache-2.0
// Real child processes: starting, watching, signalling and releasing them.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <thread>

#include "kipc/kipc.h"
#include "libkipc/KipcFixture.h"

using namespace kipctest;

// Repeated arguments for the argument-count limit.
#define KIPC_A4 "a", "a", "a", "a"
#define KIPC_A8 KIPC_A4, KIPC_A4
#define KIPC_A32 KIPC_A8, KIPC_A8, KIPC_A8, KIPC_A8
#define KIPC_A64 KIPC_A32, KIPC_A32
#define KIPC_A124 KIPC_A64, KIPC_A32, KIPC_A8, KIPC_A8, KIPC_A8, KIPC_A4
#define KIPC_A128 KIPC_A64, KIPC_A64

namespace {

class KipcSubprocess : public TempDirTest {
protected:
    // Polls until `done` holds or about `milliseconds` have passed.
    template <typename Done> static bool Eventually(Done done, int milliseconds = 2000) {
        for (int waited = 0; waited < milliseconds; waited += 10) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    // The text a child wrote to a file of the test folder, once it is complete (ends in "\n").
    std::string ReadWhenWritten(const std::string& file) {
        std::string text;
        Eventually([&] {
            std::ifstream in(dir() + "/" + file);
            text.assign(std::istreambuf_iterator<char>(in), {});
            return !text.empty() && text.back() == '\n';
        });
        return text;
    }

    // Starts a shell that records its process id in "pid", then runs `command` in its place.
    IPC_Subprocess* StartRecordingPid(const std::string& command, pid_t* pid) {
        const std::string script = "echo $$ > \"$0/pid\"; exec " + command;
        IPC_Subprocess* process =
            IPC_SubprocessCreate(4, "/bin/sh", "-c", script.c_str(), dir().c_str());
        std::string text = ReadWhenWritten("pid");
        *pid = text.empty() ? 0 : pid_t(std::stol(text));
        return process;
    }
};

// The shell's $0 is the first argument after the script: the test folder.
IPC_Subprocess* StartShell(const std::string& script, const std::string& folder) {
    return IPC_SubprocessCreate(4, "/bin/sh", "-c", script.c_str(), folder.c_str());
}

bool ProcessExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

TEST_F(KipcSubprocess, ArgumentCountLimits) {
    EXPECT_EQ(IPC_SubprocessCreate(0, "/bin/true"), nullptr);
    EXPECT_EQ(IPC_SubprocessCreate(-1, "/bin/true"), nullptr);
    EXPECT_EQ(IPC_SubprocessCreate(1, nullptr), nullptr);
    EXPECT_EQ(IPC_SubprocessCreate(2, "/bin/true", static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(IPC_SubprocessCreate(129, "/bin/true", KIPC_A128), nullptr);

    // 128 arguments all reach the program: the shell counts the 124 after its $0.
    const std::string script = "echo $# > \"$0/count\"";
    IPC_Subprocess* process =
        IPC_SubprocessCreate(128, "/bin/sh", "-c", script.c_str(), dir().c_str(), KIPC_A124);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(ReadWhenWritten("count"), "124\n");
    IPC_SubprocessRelease(process, -1);
}

TEST_F(KipcSubprocess, MissingProgramStartsAndEndsAtOnce) {
    IPC_Subprocess* process = IPC_SubprocessCreate(2, "/nonexistent/kipc-program", "x");
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(Eventually([&] { return !IPC_SubprocessIsRunning(process); }, 1000));
    EXPECT_TRUE(IPC_SubprocessKill(process, SIGTERM));  // an ended child counts as done
    auto start = std::chrono::steady_clock::now();
    IPC_SubprocessRelease(process, 5000);
    EXPECT_LT(MillisecondsSince(start), 100);
}

TEST_F(KipcSubprocess, NoSearchOfTheCommandPath) {
    // "sh" alone is not a path; a search would find /bin/sh and write the file.
    const std::string script = "echo ran > \"$0/ran\"";
    IPC_Subprocess* process = IPC_SubprocessCreate(4, "sh", "-c", script.c_str(), dir().c_str());
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(Eventually([&] { return !IPC_SubprocessIsRunning(process); }, 1000));
    IPC_SubprocessRelease(process, -1);
    EXPECT_FALSE(std::ifstream(dir() + "/ran").good());
}

TEST_F(KipcSubprocess, KillDeliversTheSignal) {
    IPC_Subprocess* process = StartShell("trap 'echo term > \"$0/got\"; exit 0' TERM; "
                                         "echo ready > \"$0/ready\"; while :; do sleep 0.05; done",
                                         dir());
    ASSERT_NE(process, nullptr);
    ASSERT_EQ(ReadWhenWritten("ready"), "ready\n");
    EXPECT_TRUE(IPC_SubprocessIsRunning(process));
    EXPECT_TRUE(IPC_SubprocessKill(process, SIGTERM));
    EXPECT_EQ(ReadWhenWritten("got"), "term\n");
    EXPECT_TRUE(Eventually([&] { return !IPC_SubprocessIsRunning(process); }));
    EXPECT_FALSE(IPC_SubprocessIsRunning(process));  // reaped: stays false
    EXPECT_TRUE(IPC_SubprocessKill(process, SIGTERM));
    IPC_SubprocessRelease(process, -1);
}

namespace {

struct ReleaseCase {
    const char* what;
    const char* command;
    int grace;
    long long minMs;
    long long maxMs;
    bool leftRunning;
};

void PrintTo(const ReleaseCase& c, std::ostream* os) { *os << c.what; }

class KipcSubprocessRelease : public KipcSubprocess,
                              public ::testing::WithParamInterface<ReleaseCase> {};

}  // namespace

TEST_P(KipcSubprocessRelease, WaitsKillsOrLeavesTheChild) {
    const ReleaseCase& c = GetParam();
    pid_t pid = 0;
    IPC_Subprocess* process = StartRecordingPid(c.command, &pid);
    ASSERT_NE(process, nullptr);
    ASSERT_GT(pid, 0);
    auto start = std::chrono::steady_clock::now();
    IPC_SubprocessRelease(process, c.grace);
    long long took = MillisecondsSince(start);
    EXPECT_GE(took, c.minMs);
    EXPECT_LT(took, c.maxMs);
    if (c.leftRunning) {
        EXPECT_TRUE(ProcessExists(pid));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    } else {
        // Ended and reaped, not a zombie.
        EXPECT_FALSE(ProcessExists(pid));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KipcSubprocessRelease,
    ::testing::Values(
        // Three polls of 100 ms pass before 250 ms are reached, then SIGKILL; the upper bounds
        // leave room for a loaded machine while still telling a wait for the child apart.
        ReleaseCase{"GraceKillsALongChild", "sleep 60", 250, 290, 1500, false},
        ReleaseCase{"GraceOutlivedByAShortChild", "sleep 0.3", 5000, 150, 900, false},
        ReleaseCase{"NegativeWaitsForTheChild", "sleep 0.3", -1, 150, 2000, false},
        ReleaseCase{"ZeroLeavesTheChildRunning", "sleep 60", 0, 0, 90, true}),
    [](const ::testing::TestParamInfo<ReleaseCase>& info) { return std::string(info.param.what); });

TEST(KipcParentProcess, RunningParentIsSeen) { EXPECT_TRUE(IPC_ParentProcessIsRunning()); }

// An orphan is adopted by the first process and then answers false; where a subreaper adopts
// orphans instead, that state cannot be made here.
TEST(KipcParentProcess, OrphanSeesNoParent) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t middle = ::fork();
    ASSERT_GE(middle, 0);
    if (middle == 0) {
        // Taken before the fork: the middle process may be gone before the orphan first looks.
        const pid_t original = ::getpid();
        pid_t orphan = ::fork();
        if (orphan != 0) ::_exit(0);
        for (int waited = 0; ::getppid() == original && waited < 5000; ++waited) ::usleep(1000);
        int answer[2] = {int(::getppid()), IPC_ParentProcessIsRunning() ? 1 : 0};
        ssize_t written = ::write(pipeFds[1], answer, sizeof answer);
        ::_exit(written == sizeof answer ? 0 : 1);
    }
    ::close(pipeFds[1]);
    ::waitpid(middle, nullptr, 0);
    int answer[2] = {0, -1};
    ssize_t got = ::read(pipeFds[0], answer, sizeof answer);
    ::close(pipeFds[0]);
    ASSERT_EQ(got, ssize_t(sizeof answer));
    if (answer[0] != 1) GTEST_SKIP() << "orphans are adopted by process " << answer[0];
    EXPECT_EQ(answer[1], 0);
}
