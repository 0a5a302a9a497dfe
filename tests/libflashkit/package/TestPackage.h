// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/Sha256.h"
#include "core/Uuid.h"
#include "core/Version.h"
#include "package/Blob.h"
#include "package/Bundle.h"
#include "package/KfwFile.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"

namespace fwu::test::pkg {

// The container with every operation except writing: the model tests never write a file, so a
// call to serialize is a test bug and must be loud.
class TestPackage : public kfw::KfwFile {
public:
    void serialize(OutputStream*, uint32_t) override {
        throw std::logic_error("TestPackage cannot be written");
    }
};

// A fixed, recognisable ID: byte 0 is `tag`, the rest a constant pattern.
// A copy of a blob's image.
inline std::vector<uint8_t> blobBytes(const kfw::Blob& blob) {
    return std::vector<uint8_t>(blob.bytes(), blob.bytes() + blob.size());
}

inline Uuid fixedID(uint8_t tag) {
    uint8_t bytes[16] = {tag,  0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,
                         0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE};
    return Uuid::fromBytes(bytes);
}

inline std::unique_ptr<kfw::Blob> makeBlob(const std::vector<uint8_t>& bytes,
                                           const std::string& name = std::string(),
                                           const std::string& path = std::string()) {
    auto blob = std::make_unique<kfw::Blob>();
    blob->setBytes(bytes.data(), bytes.size());
    blob->setName(name);
    blob->setPath(path);
    return blob;
}

inline std::unique_ptr<kfw::TransferDataAction>
makeTransfer(const Uuid& blob, const std::string& fileName, uint32_t estimatedTime = 0) {
    auto action = std::make_unique<kfw::TransferDataAction>();
    action->setTransferData(blob, fileName);
    action->setEstimatedTime(estimatedTime);
    return action;
}

inline std::unique_ptr<kfw::TransferMStarDataAction> makeMStar(const Uuid& blob, uint32_t address,
                                                               uint32_t updateFlagAddress,
                                                               uint32_t estimatedTime = 0) {
    auto action = std::make_unique<kfw::TransferMStarDataAction>();
    action->setTransferData(blob, address, updateFlagAddress);
    action->setEstimatedTime(estimatedTime);
    return action;
}

inline std::unique_ptr<kfw::TransferZVDataAction> makeZV(const Uuid& blob, uint32_t address,
                                                         uint32_t estimatedTime = 0) {
    auto action = std::make_unique<kfw::TransferZVDataAction>();
    action->setTransferData(blob, address);
    action->setEstimatedTime(estimatedTime);
    return action;
}

struct Condition {
    uint32_t device;
    uint32_t version;
    Version::Operator op;
};

inline std::unique_ptr<kfw::Bundle> makeBundle(const std::vector<Uuid>& actions,
                                               const std::vector<Condition>& conditions = {},
                                               uint32_t estimatedTime = 0) {
    auto bundle = std::make_unique<kfw::Bundle>();
    for (const Uuid& id : actions) bundle->push(id);
    for (const Condition& c : conditions)
        bundle->addCondition({c.device, Version(c.version)}, c.op);
    bundle->setEstimatedTime(estimatedTime);
    return bundle;
}

inline kfw::DeviceVersionList
makeVersions(const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
    kfw::DeviceVersionList list;
    for (const auto& entry : entries) list.push({entry.first, Version(entry.second)});
    return list;
}

// Builds a virtual ID the long way, from the field bytes, to check the library's feeding order
// and number encoding independently of its builder.
class ExpectedVirtualID {
public:
    ExpectedVirtualID& text(const std::string& s) {
        m_bytes.insert(m_bytes.end(), s.begin(), s.end());
        return *this;
    }
    ExpectedVirtualID& number(uint32_t n) {
        for (int shift = 0; shift < 32; shift += 8)
            m_bytes.push_back(static_cast<uint8_t>(n >> shift));
        return *this;
    }
    ExpectedVirtualID& id(const Uuid& u) {
        m_bytes.insert(m_bytes.end(), u.data(), u.data() + u.size());
        return *this;
    }
    ExpectedVirtualID& bytes(const std::vector<uint8_t>& b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    Uuid get() const {
        return Uuid::fromBytes(Sha256::calculate(m_bytes.data(), m_bytes.size()).data());
    }

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace fwu::test::pkg
