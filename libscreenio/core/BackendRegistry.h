// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <mutex>

#include "core/Backend.h"

namespace screenio {

// The process's backend: chosen at first use, or set by a test.
class BackendRegistry {
public:
    using Chooser = std::shared_ptr<Backend> (*)();

    static BackendRegistry& instance();

    // The backend; the first call after start or after set(nullptr) asks `choose` for it.
    std::shared_ptr<Backend> backend(Chooser choose);
    // Replaces the backend (null: choose again at next use).
    void set(std::shared_ptr<Backend> backend);

private:
    std::mutex m_mutex;
    std::shared_ptr<Backend> m_backend;
    bool m_chosen = false;
};

}  // namespace screenio
