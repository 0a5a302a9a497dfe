// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "package/Action.h"

namespace fwu::kfw {

// Programs a blob into the scaler's serial flash at `address` and sets the update flag at
// `updateFlagAddress`.
class TransferMStarDataAction : public Action {
public:
    TransferMStarDataAction() : Action(TypeTransferMStarData) {}
    ~TransferMStarDataAction() override = default;

    bool isValid(const KfwFile* file) const override;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    Uuid virtualID(const KfwFile* file) const override;
    bool equal(const Action* other) const override;

    void setTransferData(const Uuid& blob, uint32_t address, uint32_t updateFlagAddress);
    const Uuid& blobID() const { return m_blobID; }
    uint32_t address() const { return m_address; }
    uint32_t updateFlagAddress() const { return m_updateFlagAddress; }

private:
    Uuid m_blobID;
    uint32_t m_address = 0;
    uint32_t m_updateFlagAddress = 0;
};

}  // namespace fwu::kfw
