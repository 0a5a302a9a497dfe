// SPDX-License-Identifier: Apache-2.0
#include "sim/SimClock.h"

#include <atomic>
#include <chrono>

namespace screenio::sim {
namespace {

std::atomic<int64_t> g_offsetUs{0};
std::atomic<int64_t> g_linkUs{0};

}  // namespace

int64_t SimClock::nowUs() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(now).count() + g_offsetUs.load() +
           g_linkUs.load();
}

int64_t SimClock::wallMs() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count() +
           g_offsetUs.load() / 1000;
}

void SimClock::advance(int64_t microseconds) {
    if (microseconds > 0) g_offsetUs += microseconds;
}

void SimClock::addLinkTime(int64_t microseconds) {
    if (microseconds > 0) g_linkUs += microseconds;
}

}  // namespace screenio::sim
