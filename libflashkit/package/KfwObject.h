// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "core/Noncopyable.h"
#include "core/Uuid.h"

namespace pocketjson {
class Value;
}

namespace fwu::kfw {

class KfwFile;

// Base of every object a package holds. Objects refer to each other by ID only.
class KfwObject : private Noncopyable {
public:
    KfwObject() : m_id(Uuid::generate()) {}
    virtual ~KfwObject() = default;

    virtual bool isValid(const KfwFile* file) const;
    virtual pocketjson::Value toJson() const;
    virtual void fromJson(const pocketjson::Value& json);
    // Content-derived ID; the plain object has none (the empty Uuid).
    virtual Uuid virtualID(const KfwFile* file) const;

    const Uuid& id() const { return m_id; }
    void setID(const Uuid& id) { m_id = id; }

private:
    Uuid m_id;
};

}  // namespace fwu::kfw
