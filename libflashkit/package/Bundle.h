// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "core/ArrayWrapper.h"
#include "core/Uuid.h"
#include "package/KfwObject.h"
#include "profile/DeviceVersionList.h"

namespace fwu::dev {
class DeviceProfileList;
}

namespace fwu::kfw {

// The actions of one update path, in execution order (the IDs held by the ArrayWrapper base),
// and the conditions on the monitor's current device versions under which it applies.
class Bundle : public KfwObject, public ArrayWrapper<Uuid> {
public:
    Bundle() = default;
    ~Bundle() override = default;

    bool isValid(const KfwFile* file) const override;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    Uuid virtualID(const KfwFile* file) const override;

    const std::vector<Uuid>& actionIDs() const { return m_items; }
    uint32_t estimatedTime() const { return m_estimatedTime; }
    void setEstimatedTime(uint32_t seconds) { m_estimatedTime = seconds; }
    const std::vector<DeviceVersionCondition>& conditions() const { return m_conditions; }
    void addCondition(const DeviceVersion& deviceVersion, Version::Operator op);

    // Every condition holds for the current versions; no conditions always match.
    bool match(const DeviceVersionList& current) const;
    // Same actions in order, same conditions in order, same estimated time; the ID not.
    bool equal(const Bundle* other) const;
    // Removes the conditions on devices the profile does not know; true when none was removed.
    bool validate(const dev::DeviceProfileList* profile);

private:
    uint32_t m_estimatedTime = 0;
    std::vector<DeviceVersionCondition> m_conditions;
};

}  // namespace fwu::kfw
