// SPDX-License-Identifier: Apache-2.0
#include "sim/FaultInjector.h"
#include "sim/StateNumber.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace screenio::sim {

void FaultInjector::add(const FaultRule& rule) {
    m_rules.push_back(rule);
    m_counters.push_back(0);
}

void FaultInjector::clear() {
    m_rules.clear();
    m_counters.clear();
}

bool FaultInjector::empty() const { return m_rules.empty(); }

bool FaultInjector::covers(const FaultRule& rule, uint32_t number) {
    if (number < rule.first) return false;
    return rule.count == 0 || number - rule.first < rule.count;
}

FaultInjector::Effects FaultInjector::onRequest(uint16_t page, uint16_t usage, Access access,
                                                bool* counted) {
    Effects effects;
    *counted = false;
    for (size_t i = 0; i < m_rules.size(); ++i) {
        const FaultRule& rule = m_rules[i];
        if (!rule.anyUsage && (rule.page != page || rule.usage != usage)) continue;
        if (!rule.anyAccess && rule.access != access) continue;
        uint32_t number = ++m_counters[i];
        *counted = true;
        if (!covers(rule, number)) continue;
        switch (rule.effect) {
        case FaultEffect::Fail:
            if (!effects.fail) effects.failStatus = rule.status;
            effects.fail = true;
            break;
        case FaultEffect::DropOff:
            effects.dropOff = true;
            effects.absentMs = rule.absentMs;
            break;
        case FaultEffect::WrongEcho: effects.wrongEcho = true; break;
        case FaultEffect::CorruptCrc: effects.corruptCrc = true; break;
        case FaultEffect::CorruptChecksum: effects.corruptChecksum = true; break;
        case FaultEffect::StayBusy: effects.stayBusy = true; break;
        case FaultEffect::FlipBit: effects.flipBit = true; break;
        case FaultEffect::PowerCut: effects.powerCut = true; break;
        }
    }
    return effects;
}

bool FaultInjector::active(uint16_t page, FaultEffect effect) const {
    for (size_t i = 0; i < m_rules.size(); ++i) {
        const FaultRule& rule = m_rules[i];
        if ((rule.anyUsage || rule.page == page) && rule.effect == effect &&
            covers(rule, m_counters[i]))
            return true;
    }
    return false;
}

nlohmann::json FaultInjector::saveCounters() const { return nlohmann::json(m_counters); }

void FaultInjector::loadCounters(const nlohmann::json& counters) {
    if (!counters.is_array()) throw std::runtime_error("fault counters are not a list");
    for (size_t i = 0; i < m_counters.size(); ++i)
        m_counters[i] =
            i < counters.size() ? StateNumberValue<uint32_t>(counters[i], "fault counter") : 0;
}

}  // namespace screenio::sim
