// SPDX-License-Identifier: Apache-2.0
#include "core/CriticalSection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "core/CriticalSectionLocker.h"

namespace {

using namespace std::chrono_literals;

// Long enough for an unblocked thread to get through on a loaded machine, short enough to keep
// the suite quick; the positive waits use a far longer limit.
constexpr auto kStillBlocked = 100ms;
constexpr auto kMustAcquire = 10s;

// Starts a thread that takes the section and reports once it holds it.
class Contender {
public:
    explicit Contender(fwu::CriticalSection& section)
        : m_acquired(m_promise.get_future()), m_thread([this, &section] {
              fwu::CriticalSectionLocker locker(&section);
              m_promise.set_value();
          }) {}
    ~Contender() {
        if (m_thread.joinable()) m_thread.join();
    }

    bool acquiredWithin(std::chrono::milliseconds limit) {
        return m_acquired.wait_for(limit) == std::future_status::ready;
    }

private:
    std::promise<void> m_promise;
    std::future<void> m_acquired;
    std::thread m_thread;
};

TEST(CriticalSection, OwnerMayLockAgainAndOthersWaitUntilFullyReleased) {
    fwu::CriticalSection section;
    ASSERT_EQ(section.lock(), 0);
    ASSERT_EQ(section.lock(), 0);  // re-entry by the owner does not block
    ASSERT_EQ(section.lock(), 0);

    Contender other(section);
    EXPECT_FALSE(other.acquiredWithin(kStillBlocked));

    EXPECT_EQ(section.unlock(), 0);
    EXPECT_EQ(section.unlock(), 0);
    // Still held once: the other thread must keep waiting.
    EXPECT_FALSE(other.acquiredWithin(kStillBlocked));

    EXPECT_EQ(section.unlock(), 0);
    EXPECT_TRUE(other.acquiredWithin(kMustAcquire));
}

TEST(CriticalSectionLocker, HoldsFromConstructionToDestructionAndNests) {
    fwu::CriticalSection section;
    std::optional<fwu::CriticalSectionLocker> outer;
    outer.emplace(&section);
    {
        fwu::CriticalSectionLocker inner(&section);  // same thread: must not deadlock
    }
    Contender other(section);
    // The inner guard gave back only its own lock.
    EXPECT_FALSE(other.acquiredWithin(kStillBlocked));

    outer.reset();
    EXPECT_TRUE(other.acquiredWithin(kMustAcquire));
}

}  // namespace
