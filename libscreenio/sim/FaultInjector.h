// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/Device.h"
#include "sim/MonitorDescription.h"

namespace screenio::sim {

// The fault rules of one monitor and how many requests each has matched so far.
class FaultInjector {
public:
    // What the rules make of one request.
    struct Effects {
        bool fail = false;
        KmError failStatus = 0;
        bool dropOff = false;
        uint32_t absentMs = 0;
        bool wrongEcho = false;
        bool corruptCrc = false;
        bool corruptChecksum = false;
        bool stayBusy = false;
        bool flipBit = false;
        bool powerCut = false;
    };

    void add(const FaultRule& rule);
    void clear();
    bool empty() const;

    // Counts the request against every rule that matches it; `counted` tells whether any
    // counter moved (the counters are part of the monitor's persisted state).
    Effects onRequest(uint16_t page, uint16_t usage, Access access, bool* counted);
    // True while a rule on `page` with `effect` covers its latest counted request: the flash
    // behind the scaler bridge stays busy for that long, across the requests of other usages.
    bool active(uint16_t page, FaultEffect effect) const;

    nlohmann::json saveCounters() const;
    // Counters are matched to rules by position; extra or missing entries are ignored or 0.
    void loadCounters(const nlohmann::json& counters);

private:
    static bool covers(const FaultRule& rule, uint32_t number);

    std::vector<FaultRule> m_rules;
    std::vector<uint32_t> m_counters;
};

}  // namespace screenio::sim
