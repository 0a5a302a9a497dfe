// SPDX-License-Identifier: Apache-2.0
// Where a name's socket file lives, seen both from the rule itself and from the files that real
// servers create.
#include <filesystem>
#include <string>

#include "core/SocketPath.h"
#include "libkipc/Handles.h"
#include "libkipc/KipcFixture.h"

namespace fs = std::filesystem;
using namespace kipctest;

namespace {

enum class Tmpdir { Unset, Empty, Plain, TrailingSlash };

struct PathCase {
    const char* what;
    Tmpdir tmpdir;
    const char* name;
    const char* expected;  // "@" stands for the test's folder without a trailing "/"
};

std::string Expand(const std::string& text, const std::string& dir) {
    std::string::size_type at = text.find('@');
    return at == std::string::npos ? text : text.substr(0, at) + dir + text.substr(at + 1);
}

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.what; }

class KipcSocketPath : public TempDirTest, public ::testing::WithParamInterface<PathCase> {
protected:
    void ApplyTmpdir(Tmpdir tmpdir) {
        switch (tmpdir) {
        case Tmpdir::Unset: ::unsetenv("TMPDIR"); break;
        case Tmpdir::Empty: ::setenv("TMPDIR", "", 1); break;
        case Tmpdir::Plain: ::setenv("TMPDIR", dir().c_str(), 1); break;
        case Tmpdir::TrailingSlash: ::setenv("TMPDIR", (dir() + "/").c_str(), 1); break;
        }
    }
};

}  // namespace

TEST_P(KipcSocketPath, NameBecomesPath) {
    const PathCase& c = GetParam();
    ApplyTmpdir(c.tmpdir);
    EXPECT_EQ(kipc::SocketPathForName(Expand(c.name, dir())), Expand(c.expected, dir()));
}

// The same cases through a real server: the socket file appears where the rule says, and goes
// with the server. Names in /tmp/ carry the folder's unique part so runs never collide.
TEST_P(KipcSocketPath, ServerCreatesItsFileThere) {
    const PathCase& c = GetParam();
    const std::string unique = fs::path(dir()).filename().string();
    std::string name = Expand(c.name, dir());
    std::string expected = Expand(c.expected, dir());
    if (expected.rfind("/tmp/", 0) == 0 && expected.find(dir()) == std::string::npos) {
        name += unique;
        expected += unique;
    }
    fs::create_directories(dir() + "/sub");
    ApplyTmpdir(c.tmpdir);
    Server server = MakeServer(name.c_str());
    ASSERT_TRUE(server) << expected;
    EXPECT_TRUE(fs::is_socket(expected)) << expected;
    EXPECT_TRUE(ConnectedClient(name.c_str()));
    server.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(expected))) << expected;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KipcSocketPath,
    ::testing::Values(PathCase{"Unset", Tmpdir::Unset, "kipc-path-", "/tmp/kipc-path-"},
                      PathCase{"Empty", Tmpdir::Empty, "kipc-path-", "/tmp/kipc-path-"},
                      PathCase{"PlainFolderGetsSlash", Tmpdir::Plain, "svc", "@/svc"},
                      PathCase{"TrailingSlashKept", Tmpdir::TrailingSlash, "svc", "@/svc"},
                      PathCase{"InnerSlashKeepsWholeName", Tmpdir::Plain, "sub/svc", "@/sub/svc"},
                      PathCase{"LeadingSlashIsThePath", Tmpdir::Unset, "@/sub/abs", "@/sub/abs"},
                      PathCase{"LeadingSlashIgnoresTmpdir", Tmpdir::TrailingSlash, "@/abs",
                               "@/abs"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.what); });

// Paths of up to 103 bytes work, longer ones are refused by both sides. The folder's form
// decides how many bytes come before the name, which the boundary shows.
namespace {

struct LengthCase {
    const char* what;
    const char* suffix;  // appended to the test's folder to make TMPDIR
    std::size_t pathBytes;
    bool usable;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.what; }

class KipcPathLength : public TempDirTest, public ::testing::WithParamInterface<LengthCase> {};

}  // namespace

TEST_P(KipcPathLength, LongPathsCannotListenOrConnect) {
    const LengthCase& c = GetParam();
    const std::string folder = dir() + c.suffix;
    ::setenv("TMPDIR", folder.c_str(), 1);
    // Bytes before the name: the folder plus the "/" added when it does not end with one.
    std::size_t prefix = folder.size() + (folder.back() == '/' ? 0 : 1);
    ASSERT_LT(prefix, c.pathBytes);
    const std::string name(c.pathBytes - prefix, 'n');

    Server server = MakeServer(name.c_str());
    EXPECT_EQ(bool(server), c.usable);
    Socket client(IPC_LocalSocketCreateWithName(name.c_str()));
    ASSERT_TRUE(client);
    EXPECT_EQ(IPC_LocalSocketConnectToServer(client.get()), c.usable);
    EXPECT_EQ(IPC_LocalSocketIsConnected(client.get()), c.usable);
}

INSTANTIATE_TEST_SUITE_P(Cases, KipcPathLength,
                         ::testing::Values(LengthCase{"Plain103", "", 103, true},
                                           LengthCase{"Plain104", "", 104, false},
                                           LengthCase{"Slash103", "/", 103, true},
                                           LengthCase{"Slash104", "/", 104, false},
                                           LengthCase{"DoubleSlash103", "//", 103, true},
                                           LengthCase{"DoubleSlash104", "//", 104, false},
                                           LengthCase{"Plain200", "", 200, false}),
                         [](const ::testing::TestParamInfo<LengthCase>& info) {
                             return std::string(info.param.what);
                         });

using KipcAbsolutePath = TempDirTest;

TEST_F(KipcAbsolutePath, TooLongNameLeavesNoFileBehind) {
    const std::string path = dir() + "/" + std::string(104 - dir().size() - 1, 'a');
    ASSERT_EQ(path.size(), 104u);
    EXPECT_EQ(MakeServer(path.c_str()), nullptr);
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    const std::string fits = path.substr(0, 103);
    Server server = MakeServer(fits.c_str());
    ASSERT_TRUE(server);
    EXPECT_TRUE(fs::is_socket(fits));
}
