// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <vector>

#include "core/Device.h"

namespace screenio {

// A way of reaching monitors (the simulator, later hardware). One backend serves the process.
class Backend {
public:
    virtual ~Backend() = default;

    // The monitors connected now, in a stable order.
    virtual std::vector<std::shared_ptr<Device>> find() = 0;
    // Called when the caller drops the handles of a search; a backend may write back state.
    virtual void release() {}
};

}  // namespace screenio
