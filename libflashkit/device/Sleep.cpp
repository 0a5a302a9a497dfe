// SPDX-License-Identifier: Apache-2.0
#include "device/Sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace fwu::internal {
namespace {

void RealSleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::atomic<SleepFunction> g_sleep{&RealSleep};

}  // namespace

void SleepMilliseconds(uint32_t milliseconds) { g_sleep.load()(milliseconds); }

SleepFunction SetSleepFunction(SleepFunction function) {
    return g_sleep.exchange(function ? function : &RealSleep);
}

}  // namespace fwu::internal
