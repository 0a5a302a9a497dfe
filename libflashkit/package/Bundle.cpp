// SPDX-License-Identifier: Apache-2.0
#include "package/Bundle.h"

#include <algorithm>

#include "package/Action.h"
#include "package/KfwFile.h"
#include "package/VirtualIDBuilder.h"
#include "profile/DeviceProfileList.h"

namespace fwu::kfw {

void Bundle::addCondition(const DeviceVersion& deviceVersion, Version::Operator op) {
    m_conditions.push_back({deviceVersion, op});
}

bool Bundle::match(const DeviceVersionList& current) const {
    for (const DeviceVersionCondition& condition : m_conditions)
        if (!current.match(condition.deviceVersion, condition.op)) return false;
    return true;
}

bool Bundle::equal(const Bundle* other) const {
    if (!other || other->m_items.size() != m_items.size() ||
        other->m_conditions.size() != m_conditions.size() ||
        other->m_estimatedTime != m_estimatedTime || other->m_items != m_items)
        return false;
    for (size_t i = 0; i < m_conditions.size(); ++i) {
        const DeviceVersionCondition& a = m_conditions[i];
        const DeviceVersionCondition& b = other->m_conditions[i];
        if (a.deviceVersion.deviceID != b.deviceVersion.deviceID ||
            a.deviceVersion.version != b.deviceVersion.version || a.op != b.op)
            return false;
    }
    return true;
}

bool Bundle::isValid(const KfwFile* file) const {
    if (!KfwObject::isValid(file) || !file) return false;
    for (const Uuid& actionID : m_items)
        if (!file->findAction(actionID)) return false;
    return true;
}

bool Bundle::validate(const dev::DeviceProfileList* profile) {
    if (!profile) return true;
    const size_t before = m_conditions.size();
    m_conditions.erase(std::remove_if(m_conditions.begin(), m_conditions.end(),
                                      [profile](const DeviceVersionCondition& condition) {
                                          return !profile->hasDevice(
                                              condition.deviceVersion.deviceID);
                                      }),
                       m_conditions.end());
    return m_conditions.size() == before;
}

Uuid Bundle::virtualID(const KfwFile* file) const {
    VirtualIDBuilder builder;
    for (const Uuid& actionID : m_items)
        if (const Action* action = file ? file->findAction(actionID) : nullptr)
            builder.add(action->virtualID(file));
    for (const DeviceVersionCondition& condition : m_conditions) {
        builder.add(condition.deviceVersion.version.value());
        builder.add(condition.deviceVersion.deviceID);
        builder.add(Version::toString(condition.op));
    }
    builder.add(m_estimatedTime);
    return builder.id();
}

}  // namespace fwu::kfw
