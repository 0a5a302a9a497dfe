// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace fwu::internal {

// Every wait of the monitor layer and the update flows goes through here, so tests can let
// simulated time pass instead of sleeping.
void SleepMilliseconds(uint32_t milliseconds);

using SleepFunction = void (*)(uint32_t milliseconds);
// Replaces the sleeping function for the whole process (null restores real sleeping) and
// returns the previous one. Meant for tests.
SleepFunction SetSleepFunction(SleepFunction function);

}  // namespace fwu::internal
