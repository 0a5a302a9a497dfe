// SPDX-License-Identifier: Apache-2.0
#include "core/BackendRegistry.h"

namespace screenio {

BackendRegistry& BackendRegistry::instance() {
    static BackendRegistry registry;
    return registry;
}

std::shared_ptr<Backend> BackendRegistry::backend(Chooser choose) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_chosen) {
        m_backend = choose();
        m_chosen = true;
    }
    return m_backend;
}

void BackendRegistry::set(std::shared_ptr<Backend> backend) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_backend = std::move(backend);
    m_chosen = m_backend != nullptr;
}

}  // namespace screenio
