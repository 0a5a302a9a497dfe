// SPDX-License-Identifier: Apache-2.0
#include "package/Action.h"

#include "package/KfwFile.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "package/VirtualIDBuilder.h"

namespace fwu::kfw {

namespace {

struct TypeName {
    Action::Type type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {Action::TypeTransferData, "TransferData"},
    {Action::TypeTransferMStarData, "TransferMStarData"},
    {Action::TypeTransferZVData, "TransferZVData"},
};

}  // namespace

std::unique_ptr<Action> Action::newAction(Type type) {
    switch (type) {
    case TypeTransferData: return std::make_unique<TransferDataAction>();
    case TypeTransferMStarData: return std::make_unique<TransferMStarDataAction>();
    case TypeTransferZVData: return std::make_unique<TransferZVDataAction>();
    default: return nullptr;
    }
}

std::string Action::toString(Type type) {
    for (const TypeName& entry : kTypeNames)
        if (entry.type == type) return entry.name;
    return std::string();
}

Action::Type Action::toType(const std::string& text) {
    for (const TypeName& entry : kTypeNames)
        if (text == entry.name) return entry.type;
    return TypeNone;
}

bool Action::isValid(const KfwFile* file) const { return KfwObject::isValid(file); }

bool Action::equal(const Action* other) const {
    return other && other->m_type == m_type && other->m_estimatedTime == m_estimatedTime;
}

Uuid Action::virtualID(const KfwFile*) const {
    VirtualIDBuilder builder;
    builder.add(toString(m_type));
    builder.add(m_estimatedTime);
    return builder.id();
}

void Action::addTransferHead(VirtualIDBuilder& builder, const KfwFile* file,
                             const Uuid& blobID) const {
    builder.add(toString(m_type));
    builder.add(m_estimatedTime);
    if (const Blob* blob = file ? file->findBlob(blobID) : nullptr)
        builder.add(blob->virtualID(file));
}

bool Action::isValidTransfer(const KfwFile* file, const Uuid& blobID) const {
    return KfwObject::isValid(file) && file && file->findBlob(blobID);
}

}  // namespace fwu::kfw
