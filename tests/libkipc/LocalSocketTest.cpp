// SPDX-License-Identifier: Apache-2.0
// Servers and clients over real sockets in a fresh TMPDIR.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "UniqueFd.h"
#include "libkipc/Handles.h"
#include "libkipc/KipcFixture.h"

namespace fs = std::filesystem;
using namespace kipctest;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

bool WriteText(IPC_LocalSocket* socket, const std::string& text) {
    return IPC_LocalSocketWrite(socket, reinterpret_cast<const uint8_t*>(text.data()),
                                unsigned(text.size()));
}

// A server with one connected client and the server's side of that connection.
class ConnectionTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        server = MakeServer("conn");
        ASSERT_TRUE(server);
        client = ConnectedClient("conn");
        ASSERT_TRUE(client);
        accepted = IPC_LocalServerAccept(server.get());
        ASSERT_NE(accepted, nullptr);
    }
    void TearDown() override {
        client.reset();
        server.reset();  // also destroys `accepted`
        TempDirTest::TearDown();
    }

    Server server;
    Socket client;
    IPC_LocalSocket* accepted = nullptr;  // owned by `server`
};

}  // namespace

TEST(KipcLibrary, VersionIsOneNumber) { EXPECT_EQ(IPC_LibraryVersion(), 0x01010001u); }

TEST(KipcLibrary, NullHandlesFailWithoutCrashing) {
    KmBool timedOut = 7;
    uint8_t byte = 0;
    EXPECT_EQ(IPC_LocalServerCreateWithName(nullptr), nullptr);
    EXPECT_EQ(IPC_LocalSocketCreateWithName(nullptr), nullptr);
    EXPECT_FALSE(IPC_LocalServerWaitForNewConnection(nullptr, 0, &timedOut));
    EXPECT_EQ(IPC_LocalServerAccept(nullptr), nullptr);
    EXPECT_FALSE(IPC_LocalSocketConnectToServer(nullptr));
    EXPECT_FALSE(IPC_LocalSocketIsConnected(nullptr));
    EXPECT_FALSE(IPC_LocalSocketRead(nullptr, &byte, 1));
    EXPECT_FALSE(IPC_LocalSocketWrite(nullptr, &byte, 1));
    EXPECT_FALSE(IPC_LocalSocketWaitForReadableState(nullptr, 0, &timedOut));
    EXPECT_EQ(IPC_LocalSocketBytesAvailable(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(timedOut, 7);
    IPC_LocalSocketRelease(nullptr);
    IPC_LocalServerRelease(nullptr);
}

using KipcExchange = ConnectionTest;

TEST_F(KipcExchange, BytesTravelBothWays) {
    KmBool timedOut = 7;
    ASSERT_TRUE(WriteText(client.get(), "hello"));
    std::vector<uint8_t> got(5);
    ASSERT_TRUE(IPC_LocalSocketRead(accepted, got.data(), 5));
    EXPECT_EQ(got, Bytes("hello"));

    ASSERT_TRUE(WriteText(accepted, "answer"));
    ASSERT_TRUE(IPC_LocalSocketWaitForReadableState(client.get(), 1000, &timedOut));
    EXPECT_EQ(timedOut, 0);
    ASSERT_EQ(IPC_LocalSocketBytesAvailable(client.get()), 6u);
    got.resize(6);
    ASSERT_TRUE(IPC_LocalSocketRead(client.get(), got.data(), 6));
    EXPECT_EQ(got, Bytes("answer"));
    EXPECT_EQ(IPC_LocalSocketBytesAvailable(client.get()), 0u);
}

TEST_F(KipcExchange, ZeroLengthReadSucceedsAtOnce) {
    uint8_t byte = 0;
    EXPECT_TRUE(IPC_LocalSocketRead(client.get(), &byte, 0));
    EXPECT_TRUE(IPC_LocalSocketRead(accepted, &byte, 0));  // would block if it read
}

TEST_F(KipcExchange, ConnectingAgainKeepsTheConnection) {
    EXPECT_FALSE(IPC_LocalSocketConnectToServer(client.get()));
    EXPECT_FALSE(IPC_LocalSocketConnectToServer(accepted));
    ASSERT_TRUE(IPC_LocalSocketIsConnected(client.get()));
    ASSERT_TRUE(WriteText(client.get(), "still"));
    std::vector<uint8_t> got(5);
    ASSERT_TRUE(IPC_LocalSocketRead(accepted, got.data(), 5));
    EXPECT_EQ(got, Bytes("still"));
}

// A client socket does not wait: asking for more than has arrived fails and loses what came.
TEST_F(KipcExchange, ShortReadOnClientFailsAndLosesTheBytes) {
    ASSERT_TRUE(WriteText(accepted, "four"));
    ASSERT_TRUE(IPC_LocalSocketWaitForReadableState(client.get(), 1000, nullptr));
    std::vector<uint8_t> got(10);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(IPC_LocalSocketRead(client.get(), got.data(), 10));
    EXPECT_LT(MillisecondsSince(start), 200);
    EXPECT_EQ(IPC_LocalSocketBytesAvailable(client.get()), 0u);
    EXPECT_TRUE(IPC_LocalSocketIsConnected(client.get()));
    // The connection itself is still usable.
    ASSERT_TRUE(WriteText(accepted, "next"));
    ASSERT_TRUE(IPC_LocalSocketWaitForReadableState(client.get(), 1000, nullptr));
    got.resize(4);
    ASSERT_TRUE(IPC_LocalSocketRead(client.get(), got.data(), 4));
    EXPECT_EQ(got, Bytes("next"));
}

// An accepted socket blocks, so the same short read waits for the rest.
TEST_F(KipcExchange, ShortReadOnAcceptedSocketWaitsForTheRest) {
    ASSERT_TRUE(WriteText(client.get(), "four"));
    IPC_LocalSocket* writer = client.get();
    std::thread late([writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        WriteText(writer, "sixsix");
    });
    std::vector<uint8_t> got(10);
    auto start = std::chrono::steady_clock::now();
    bool read = IPC_LocalSocketRead(accepted, got.data(), 10);
    long long waited = MillisecondsSince(start);
    late.join();
    ASSERT_TRUE(read);
    EXPECT_EQ(got, Bytes("foursixsix"));
    EXPECT_GE(waited, 150);
}

TEST_F(KipcExchange, ReadFailsAtTheEndOfTheStream) {
    ASSERT_TRUE(WriteText(client.get(), "ab"));
    client.reset();
    KmBool timedOut = 7;
    // The end of the stream counts as readable.
    ASSERT_TRUE(IPC_LocalSocketWaitForReadableState(accepted, 1000, &timedOut));
    EXPECT_EQ(timedOut, 0);
    std::vector<uint8_t> got(3);
    EXPECT_FALSE(IPC_LocalSocketRead(accepted, got.data(), 3));
    EXPECT_EQ(got[0], 'a');
    EXPECT_EQ(got[1], 'b');
}

// Writing to a peer that has gone fails instead of ending the process with SIGPIPE. The default
// disposition is set on purpose, so a missing mend would kill this test program.
TEST_F(KipcExchange, WriteToAGonePeerFailsWithoutSigpipe) {
    struct sigaction previous {};
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ASSERT_EQ(::sigaction(SIGPIPE, &fallback, &previous), 0);

    IPC_LocalSocketRelease(accepted);
    accepted = nullptr;
    EXPECT_FALSE(WriteText(client.get(), "into the void"));

    Socket second = ConnectedClient("conn");
    ASSERT_TRUE(second);
    IPC_LocalSocket* other = IPC_LocalServerAccept(server.get());
    ASSERT_NE(other, nullptr);
    second.reset();
    EXPECT_FALSE(WriteText(other, "back into the void"));

    ::sigaction(SIGPIPE, &previous, nullptr);
}

using KipcServerLifecycle = TempDirTest;

TEST_F(KipcServerLifecycle, ReleasingTheServerDestroysItsAcceptedSockets) {
    Server server = MakeServer("life");
    ASSERT_TRUE(server);
    Socket kept = ConnectedClient("life");
    Socket dropped = ConnectedClient("life");
    ASSERT_TRUE(kept && dropped);
    IPC_LocalSocket* first = IPC_LocalServerAccept(server.get());
    IPC_LocalSocket* second = IPC_LocalServerAccept(server.get());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // An accepted socket released early leaves the list; the server then must not touch it.
    IPC_LocalSocketRelease(first);
    server.reset();
    // The server's release closed the socket still listed: its client sees the end.
    ASSERT_TRUE(IPC_LocalSocketWaitForReadableState(dropped.get(), 1000, nullptr));
    uint8_t byte = 0;
    EXPECT_FALSE(IPC_LocalSocketRead(dropped.get(), &byte, 1));
    EXPECT_FALSE(fs::exists(dir() + "/life"));
}

TEST_F(KipcServerLifecycle, ReleaseRemovesTheSocketFileAndTheNameCanBeUsedAgain) {
    const std::string path = dir() + "/again";
    Server first = MakeServer("again");
    ASSERT_TRUE(first);
    EXPECT_TRUE(fs::is_socket(path));
    first.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    Server second = MakeServer("again");
    ASSERT_TRUE(second);
    EXPECT_TRUE(ConnectedClient("again"));
}

// Leftovers at the path: a socket file nobody listens on (a crashed server) and a regular file.
TEST_F(KipcServerLifecycle, StaleFilesNeitherConnectNorBlockANewServer) {
    struct Case {
        const char* name;
        bool socketFile;
    };
    for (const Case& c : {Case{"stale-socket", true}, Case{"stale-file", false}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir() + "/" + c.name;
        if (c.socketFile) {
            common::UniqueFd raw(::socket(AF_UNIX, SOCK_STREAM, 0));
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, path.c_str());
            ASSERT_EQ(::bind(raw.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        } else {
            common::UniqueFd file(::open(path.c_str(), O_CREAT | O_WRONLY, 0600));
            ASSERT_TRUE(file.valid());
        }
        ASSERT_TRUE(fs::exists(path));

        Socket client(IPC_LocalSocketCreateWithName(c.name));
        ASSERT_TRUE(client);
        EXPECT_FALSE(IPC_LocalSocketConnectToServer(client.get()));
        EXPECT_FALSE(IPC_LocalSocketIsConnected(client.get()));

        Server server = MakeServer(c.name);
        ASSERT_TRUE(server);
        EXPECT_TRUE(fs::is_socket(path));
        // A failed connect leaves no descriptor behind, so the same socket can try again.
        EXPECT_TRUE(IPC_LocalSocketConnectToServer(client.get()));
    }
}

TEST_F(KipcServerLifecycle, ConnectWithoutServerFailsAtOnce) {
    Socket client(IPC_LocalSocketCreateWithName("nobody"));
    ASSERT_TRUE(client);
    EXPECT_FALSE(IPC_LocalSocketIsConnected(client.get()));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(IPC_LocalSocketConnectToServer(client.get()));
    EXPECT_LT(MillisecondsSince(start), 100);
    EXPECT_FALSE(IPC_LocalSocketIsConnected(client.get()));
    // Without a descriptor nothing can be read, written, waited for or counted.
    uint8_t byte = 0;
    EXPECT_FALSE(IPC_LocalSocketRead(client.get(), &byte, 0));
    EXPECT_FALSE(IPC_LocalSocketWrite(client.get(), &byte, 1));
    EXPECT_FALSE(IPC_LocalSocketWaitForReadableState(client.get(), 0, nullptr));
    EXPECT_EQ(IPC_LocalSocketBytesAvailable(client.get()), 0xFFFFFFFFu);
}

TEST_F(KipcServerLifecycle, OptionBitZeroOpensTheFileToEveryUser) {
    mode_t previous = ::umask(022);
    Server restricted = MakeServer("restricted", 0);
    Server open = MakeServer("open", 1);
    ::umask(previous);
    ASSERT_TRUE(restricted && open);
    struct stat status {};
    ASSERT_EQ(::stat((dir() + "/restricted").c_str(), &status), 0);
    EXPECT_NE(status.st_mode & 0777, 0777u);
    ASSERT_EQ(::stat((dir() + "/open").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0777u);
}

// ---- Waiting ----

namespace {

enum class Side { Server, Socket };

struct WaitCase {
    const char* what;
    Side side;
    bool pending;  // a connection or data is waiting before the wait starts
    int milliseconds;
    bool ready;
    KmBool timedOut;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.what; }

}  // namespace

class KipcWait : public TempDirTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(KipcWait, ReportsReadinessAndTimeout) {
    const WaitCase& c = GetParam();
    Server server = MakeServer("wait");
    ASSERT_TRUE(server);
    Socket client;
    IPC_LocalSocket* accepted = nullptr;
    if (c.side == Side::Socket || c.pending) client = ConnectedClient("wait");
    if (c.side == Side::Socket) {
        accepted = IPC_LocalServerAccept(server.get());
        ASSERT_NE(accepted, nullptr);
        if (c.pending) {
            ASSERT_TRUE(WriteText(accepted, "data"));
        }
    }
    KmBool timedOut = 7;
    auto start = std::chrono::steady_clock::now();
    bool ready = c.side == Side::Server
                     ? IPC_LocalServerWaitForNewConnection(server.get(), c.milliseconds, &timedOut)
                     : IPC_LocalSocketWaitForReadableState(client.get(), c.milliseconds, &timedOut);
    long long waited = MillisecondsSince(start);
    EXPECT_EQ(ready, c.ready);
    EXPECT_EQ(timedOut, c.timedOut);
    if (c.timedOut) {
        EXPECT_GE(waited, c.milliseconds - 5);
        EXPECT_LT(waited, c.milliseconds + 1000);
    } else {
        EXPECT_LT(waited, 200);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KipcWait,
    ::testing::Values(WaitCase{"QuietServer", Side::Server, false, 300, false, 1},
                      WaitCase{"ServerWithConnection", Side::Server, true, 300, true, 0},
                      WaitCase{"ServerWithConnectionNoLimit", Side::Server, true, -1, true, 0},
                      WaitCase{"QuietSocket", Side::Socket, false, 500, false, 1},
                      WaitCase{"QuietSocketZeroTime", Side::Socket, false, 0, false, 1},
                      WaitCase{"SocketWithData", Side::Socket, true, 500, true, 0},
                      WaitCase{"SocketWithDataNoLimit", Side::Socket, true, -1, true, 0}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.what); });

namespace {

extern "C" void IgnoreAlarm(int) {}

}  // namespace

// A signal in the middle of a wait neither ends it early nor restarts the full time.
TEST_F(KipcServerLifecycle, InterruptedWaitKeepsItsDeadline) {
    Server server = MakeServer("alarm");
    ASSERT_TRUE(server);
    struct sigaction handler {};
    struct sigaction previous {};
    handler.sa_handler = IgnoreAlarm;  // no SA_RESTART: the wait sees EINTR
    ASSERT_EQ(::sigaction(SIGALRM, &handler, &previous), 0);
    itimerval timer{};
    timer.it_value.tv_sec = 1;  // one signal, well into the wait
    ASSERT_EQ(::setitimer(ITIMER_REAL, &timer, nullptr), 0);

    KmBool timedOut = 7;
    auto start = std::chrono::steady_clock::now();
    bool ready = IPC_LocalServerWaitForNewConnection(server.get(), 1500, &timedOut);
    long long waited = MillisecondsSince(start);

    itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);
    EXPECT_FALSE(ready);
    EXPECT_EQ(timedOut, 1);
    EXPECT_GE(waited, 1490);
    // Restarting the full 1500 ms after the signal would take 2500; the margin is for a loaded
    // machine.
    EXPECT_LT(waited, 2200);
}

// A descriptor the wait set cannot hold is never reported ready, and watching it corrupts nothing.
TEST_F(KipcServerLifecycle, DescriptorBeyondTheWaitSetIsNeverReady) {
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < FD_SETSIZE + 64) GTEST_SKIP() << "descriptor limit too low";
    rlimit raised = limit;
    raised.rlim_cur = FD_SETSIZE + 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);

    Server server = MakeServer("high");
    ASSERT_TRUE(server);
    std::vector<common::UniqueFd> filler;
    // Fill every lower number, so the client's socket gets FD_SETSIZE itself.
    for (;;) {
        common::UniqueFd fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd.valid());
        if (fd.get() >= FD_SETSIZE) break;
        filler.push_back(std::move(fd));
    }
    Socket client = ConnectedClient("high");
    ASSERT_TRUE(client);
    IPC_LocalSocket* accepted = IPC_LocalServerAccept(server.get());
    ASSERT_NE(accepted, nullptr);
    ASSERT_TRUE(WriteText(accepted, "data"));

    KmBool timedOut = 7;
    EXPECT_FALSE(IPC_LocalSocketWaitForReadableState(client.get(), 100, &timedOut));
    EXPECT_EQ(timedOut, 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(IPC_LocalSocketWaitForReadableState(client.get(), -1, &timedOut));
    EXPECT_LT(MillisecondsSince(start), 100);
    // Reading does not need the wait set.
    EXPECT_EQ(IPC_LocalSocketBytesAvailable(client.get()), 4u);

    client.reset();
    server.reset();
    filler.clear();
    ::setrlimit(RLIMIT_NOFILE, &limit);
}
