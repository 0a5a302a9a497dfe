// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "package/Action.h"

namespace fwu::kfw {

// Writes a blob into a ZV monitor's flash at `address`.
class TransferZVDataAction : public Action {
public:
    TransferZVDataAction() : Action(TypeTransferZVData) {}
    ~TransferZVDataAction() override = default;

    bool isValid(const KfwFile* file) const override;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    Uuid virtualID(const KfwFile* file) const override;
    bool equal(const Action* other) const override;

    void setTransferData(const Uuid& blob, uint32_t address);
    const Uuid& blobID() const { return m_blobID; }
    uint32_t address() const { return m_address; }

private:
    Uuid m_blobID;
    uint32_t m_address = 0;
};

}  // namespace fwu::kfw
