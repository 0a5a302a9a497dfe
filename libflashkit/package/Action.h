// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "package/KfwObject.h"

namespace fwu::kfw {

class VirtualIDBuilder;

// One step of an update: transfer a blob to the monitor in the way of its type.
class Action : public KfwObject {
public:
    enum Type : uint32_t {
        TypeNone = 0,
        TypeTransferData = 1,
        TypeTransferMStarData = 2,
        TypeTransferZVData = 3,
    };

    explicit Action(Type type) : m_type(type) {}
    ~Action() override = default;

    bool isValid(const KfwFile* file) const override;
    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    Uuid virtualID(const KfwFile* file) const override;
    // Same content: same type and estimated time (the transfer kinds add their fields).
    virtual bool equal(const Action* other) const;

    // A new action of the class for the type; null for an unknown type.
    static std::unique_ptr<Action> newAction(Type type);
    static std::string toString(Type type);
    // Exact, case-sensitive inverse of toString; TypeNone for anything else.
    static Type toType(const std::string& text);

    Type type() const { return m_type; }
    uint32_t estimatedTime() const { return m_estimatedTime; }
    void setEstimatedTime(uint32_t seconds) { m_estimatedTime = seconds; }

protected:
    // The fields every transfer kind starts its virtual ID with: type name, estimated time,
    // and the virtual ID of the blob when the file has it.
    void addTransferHead(VirtualIDBuilder& builder, const KfwFile* file, const Uuid& blobID) const;
    bool isValidTransfer(const KfwFile* file, const Uuid& blobID) const;

private:
    Type m_type;
    uint32_t m_estimatedTime = 0;
};

}  // namespace fwu::kfw
