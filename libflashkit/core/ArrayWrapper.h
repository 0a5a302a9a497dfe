// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <vector>

namespace fwu {

// Polymorphic holder of the element vector that the device version list, the device profile
// list and the bundle (its action IDs) derive from.
template <typename T> class ArrayWrapper {
public:
    virtual ~ArrayWrapper() = default;

    void push(const T& item) { m_items.push_back(item); }

    std::vector<T>& items() { return m_items; }
    const std::vector<T>& items() const { return m_items; }

protected:
    std::vector<T> m_items;
};

}  // namespace fwu
