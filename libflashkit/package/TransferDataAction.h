// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "package/Action.h"

namespace fwu::kfw {

// Transfers a blob to the monitor file of the given name (the generic protocol).
class TransferDataAction : public Action {
public:
    TransferDataAction() : Action(TypeTransferData) {}
    ~TransferDataAction() override = default;

    bool isValid(const KfwFile* file) const override;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    Uuid virtualID(const KfwFile* file) const override;
    bool equal(const Action* other) const override;

    void setTransferData(const Uuid& blob, const std::string& fileName);
    const Uuid& blobID() const { return m_blobID; }
    const std::string& fileName() const { return m_fileName; }

private:
    Uuid m_blobID;
    std::string m_fileName;
};

}  // namespace fwu::kfw
