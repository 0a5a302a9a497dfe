// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/Uuid.h"

namespace fwu::kfw {

// Objects by ID in one open-addressed table: the ID sits in its slot beside the object, so a
// lookup reads one or two neighbouring slots instead of following a node per entry, which
// keeps its cost flat as packages grow past the caches. Built once, then only read.
template <typename T> class UuidIndex {
public:
    // Indexes `items`; of several objects with one ID the first is kept.
    void build(const std::vector<std::unique_ptr<T>>& items) {
        unsigned bits = 3;
        while ((size_t{1} << bits) < items.size() * 2) ++bits;
        m_shift = 64 - bits;
        m_mask = (size_t{1} << bits) - 1;
        m_slots.assign(size_t{1} << bits, Slot());
        for (const auto& item : items) {
            Slot& slot = m_slots[probe(item->id())];
            if (!slot.item) slot = Slot{item->id(), item.get()};
        }
    }

    // The first object with the ID, or nullptr.
    T* find(const Uuid& id) const {
        if (m_slots.empty()) return nullptr;
        return m_slots[probe(id)].item;
    }

private:
    struct Slot {
        Uuid id;
        T* item = nullptr;
    };

    // The slot that holds `id`, or the empty slot where it would go. The table is at most half
    // full, so an empty slot is always found.
    size_t probe(const Uuid& id) const {
        size_t index = hash(id);
        while (m_slots[index].item && !(m_slots[index].id == id)) index = (index + 1) & m_mask;
        return index;
    }

    size_t hash(const Uuid& id) const {
        uint64_t halves[2] = {0, 0};
        std::memcpy(halves, id.data(), id.size() < sizeof halves ? id.size() : sizeof halves);
        return static_cast<size_t>(((halves[0] ^ halves[1]) * 0x9E3779B97F4A7C15ull) >> m_shift);
    }

    std::vector<Slot> m_slots;
    unsigned m_shift = 64;
    size_t m_mask = 0;
};

}  // namespace fwu::kfw
