// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include <gtest/gtest.h>

#include "UniqueFd.h"

using common::UniqueFd;

namespace {

int OpenNull() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

}  // namespace

TEST(UniqueFd, ClosesItsDescriptorWhenItGoesAway) {
    int fd = -1;
    {
        const UniqueFd owner(OpenNull());
        fd = owner.get();
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(owner.valid());
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_FALSE(IsOpen(fd));
}

TEST(UniqueFd, MovingHandsTheDescriptorOverAndClosesWhatTheTargetHeld) {
    UniqueFd first(OpenNull());
    UniqueFd second(OpenNull());
    const int firstFd = first.get();
    const int secondFd = second.get();
    ASSERT_TRUE(IsOpen(firstFd) && IsOpen(secondFd));

    second = std::move(first);
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), firstFd);
    EXPECT_TRUE(IsOpen(firstFd));
    EXPECT_FALSE(IsOpen(secondFd));

    const UniqueFd third(std::move(second));
    EXPECT_FALSE(second.valid());
    EXPECT_EQ(third.get(), firstFd);
    EXPECT_TRUE(IsOpen(firstFd));
}

TEST(UniqueFd, CloseReportsWhetherTheSystemClosedTheDescriptor) {
    UniqueFd owner(OpenNull());
    const int fd = owner.get();
    EXPECT_TRUE(owner.close());
    EXPECT_FALSE(owner.valid());
    EXPECT_FALSE(IsOpen(fd));
    // Nothing is held any more: closing again does nothing and is no failure.
    EXPECT_TRUE(owner.close());

    // A descriptor closed behind the owner's back: the failure reaches the caller, and the owner
    // gives the number up rather than closing it again later.
    UniqueFd stale(OpenNull());
    ASSERT_EQ(::close(stale.get()), 0);
    EXPECT_FALSE(stale.close());
    EXPECT_FALSE(stale.valid());
}

TEST(UniqueFd, AnEmptyOwnerHoldsNothing) {
    UniqueFd empty;
    EXPECT_FALSE(empty.valid());
    EXPECT_EQ(empty.get(), -1);
    EXPECT_TRUE(empty.close());
}
