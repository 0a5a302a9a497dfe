// SPDX-License-Identifier: Apache-2.0
#include "InterruptFlag.h"

#include <atomic>

namespace flashkit {
namespace {

std::atomic<bool> g_raised{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

extern "C" void OnInterrupt(int) { g_raised.store(true); }

}  // namespace

InterruptFlag::InterruptFlag() {
    g_raised.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a sleep in progress ends early so the flag is seen at once.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &m_previous);
}

InterruptFlag::~InterruptFlag() { sigaction(SIGINT, &m_previous, nullptr); }

bool InterruptFlag::Raised() { return g_raised.load(); }

}  // namespace flashkit
