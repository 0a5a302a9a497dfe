// SPDX-License-Identifier: Apache-2.0
// Snapshots: one captured list each, owned by the caller through a KSysSnapshot pointer.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/Records.h"

struct KSysSnapshot {
    KSysSnapshot() = default;
    KSysSnapshot(const KSysSnapshot&) = delete;
    KSysSnapshot& operator=(const KSysSnapshot&) = delete;
    virtual ~KSysSnapshot();
};

namespace ksys {

// A snapshot of one item kind; items keep their capture order and die with the snapshot.
template <typename Item> class ItemSnapshot final : public KSysSnapshot {
public:
    explicit ItemSnapshot(std::vector<Item> items) {
        m_items.reserve(items.size());
        for (Item& item : items) m_items.push_back(std::make_unique<Item>(std::move(item)));
    }

    // The index is taken unsigned, so a negative index is out of range too.
    Item* at(std::uint32_t index) const {
        return index < m_items.size() ? m_items[index].get() : nullptr;
    }

    std::size_t size() const { return m_items.size(); }

private:
    std::vector<std::unique_ptr<Item>> m_items;
};

}  // namespace ksys

using KSysProcessSnapshot = ksys::ItemSnapshot<KSysProcess>;
using KSysApplicationSnapshot = ksys::ItemSnapshot<KSysApplication>;
using KSysUSBSnapshot = ksys::ItemSnapshot<KSysUSB>;
using KSysKEXTSnapshot = ksys::ItemSnapshot<KSysKEXT>;
using KSysPrinterSnapshot = ksys::ItemSnapshot<KSysPrinter>;
using KSysApplicationWindowSnapshot = ksys::ItemSnapshot<KSysApplicationWindow>;
