// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "sim/MonitorDescription.h"

namespace fwu::test {

// A fault on the requests of one usage and access: numbers `first` to `first + count - 1`
// (all from `first` when `count` is 0) get the effect.
inline screenio::sim::FaultRule MakeFault(uint16_t page, uint16_t usage, screenio::Access access,
                                          screenio::sim::FaultEffect effect, uint32_t first = 1,
                                          uint32_t count = 1, KmError status = SCREENIO_ERROR_IO) {
    screenio::sim::FaultRule rule;
    rule.page = page;
    rule.usage = usage;
    rule.anyAccess = false;
    rule.access = access;
    rule.effect = effect;
    rule.first = first;
    rule.count = count;
    rule.status = status;
    return rule;
}

}  // namespace fwu::test
