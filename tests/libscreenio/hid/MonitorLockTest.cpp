// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "UniqueFd.h"
#include "hid/MonitorLock.h"

namespace screenio::hid {
namespace {

// The abstract namespace is shared with every process on the machine: names carry our id.
std::string Unique(const std::string& name) { return name + "-" + std::to_string(::getpid()); }

// Runs `body` in a child process; its result is the child's exit status (-1: it did not exit).
int InChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int TakeAndDrop(const std::string& name) {
    common::UniqueFd lock;
    return MonitorLock::take(name, &lock);
}

TEST(MonitorLockTest, IsHeldAgainstOtherProcessesAndOtherUsersUntilReleased) {
    const std::string name = Unique("SN-HELD");
    common::UniqueFd held;
    ASSERT_EQ(MonitorLock::take(name, &held), 0);
    EXPECT_TRUE(held.valid());
    EXPECT_EQ(TakeAndDrop(name), EBUSY) << "this process again";
    EXPECT_EQ(InChild([&] { return TakeAndDrop(name); }), EBUSY) << "another process";
    if (::geteuid() == 0) {
        // The updater run with sudo and the desktop updater of the user at the seat.
        EXPECT_EQ(InChild([&] {
                      if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 100;
                      return TakeAndDrop(name);
                  }),
                  EBUSY)
            << "another user";
    }
    held.close();
    EXPECT_EQ(InChild([&] { return TakeAndDrop(name); }), 0) << "released with its holder";
}

TEST(MonitorLockTest, ADeadHolderLeavesNothingBehind) {
    const std::string name = Unique("SN-DEAD");
    // The child ends without releasing anything: the kernel frees the name.
    EXPECT_EQ(InChild([&] {
                  common::UniqueFd lock;
                  const int error = MonitorLock::take(name, &lock);
                  ::_exit(error);
                  return error;
              }),
              0);
    EXPECT_EQ(TakeAndDrop(name), 0);
}

TEST(MonitorLockTest, NamesStayApartAndFitASocket) {
    const std::string longName(200, 'A');
    std::string longOther = longName;
    longOther.back() = 'B';
    // Each differs from one before it only where the socket name must escape, cut or hash.
    const std::vector<std::string> names = {
        "..",   "../../escape", "a/b",    "a%2Fb",  ".",      "a b",     std::string("a\0b", 3),
        "a\nb", "\xFF",         "SN@1-2", "SN@1-3", longName, longOther, std::string(64, '\xFF')};
    std::set<std::string> socketNames;
    std::vector<common::UniqueFd> held;
    for (const std::string& name : names) {
        const std::string socketName = MonitorLock::socketName(name);
        SCOPED_TRACE(socketName);
        EXPECT_LE(socketName.size(), MonitorLock::kMaxSocketName);
        EXPECT_EQ(socketName.find('\0'), std::string::npos);
        EXPECT_EQ(socketName.rfind("screenio/monitor/", 0), 0u);
        socketNames.insert(socketName);
        // And all of them are held at once, none blocking another.
        held.emplace_back();
        EXPECT_EQ(MonitorLock::take(Unique(name), &held.back()), 0);
    }
    EXPECT_EQ(socketNames.size(), names.size());
}

TEST(MonitorLockTest, NoDescriptorLeftIsALockThatCannotBeTaken) {
    const std::string name = Unique("SN-NOFILE");
    EXPECT_EQ(InChild([&] {
                  // No descriptor may be opened beyond those already open.
                  const int next = ::dup(0);
                  if (next < 0) return 100;
                  ::close(next);
                  const rlimit limit{rlim_t(next), rlim_t(next)};
                  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 101;
                  return TakeAndDrop(name);
              }),
              ENOLCK);
}

}  // namespace
}  // namespace screenio::hid
