// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "core/OutputStream.h"

namespace fwu::kfw {
class KfwFile;
}

namespace fwu::kfw::v2 {

// Writes any package in the current format. Option value 2 writes the canonical form: no
// encryption, virtual IDs, blobs sorted by name, byte-reproducible.
class KfwSerializer {
public:
    explicit KfwSerializer(uint32_t options) : m_options(options) {}
    virtual ~KfwSerializer() = default;

    bool needs_encryption() const { return (m_options & 2u) == 0; }
    void serialize(const kfw::KfwFile* file, OutputStream* stream);

private:
    uint32_t m_options;
};

}  // namespace fwu::kfw::v2
