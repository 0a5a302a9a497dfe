// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <mutex>

#include "core/Backend.h"

namespace screenio {

// The process's backend: chosen from the environment at first use, or set by a test.
class BackendRegistry {
public:
    static BackendRegistry& instance();

    std::shared_ptr<Backend> backend();
    // Replaces the backend (null: choose from the environment again at next use).
    void set(std::shared_ptr<Backend> backend);

private:
    std::mutex m_mutex;
    std::shared_ptr<Backend> m_backend;
    bool m_chosen = false;
};

// The backend that SCREENIO_SIM asks for: the hidraw nodes of USB monitors when unset, the demo
// set, or a description file.
// A description that cannot be used is reported on standard error and gives no monitors.
std::shared_ptr<Backend> BackendFromEnvironment();

}  // namespace screenio
