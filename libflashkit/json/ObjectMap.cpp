// SPDX-License-Identifier: Apache-2.0
#include "json/ObjectMap.h"

#include <algorithm>
#include <iterator>

namespace pocketjson {

size_t ObjectMap::lowerBound(const std::string& key) const {
    size_t low = 0;
    size_t high = m_members.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (m_members[middle].first < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

const Value* ObjectMap::find(const std::string& key) const {
    const size_t index = lowerBound(key);
    if (index == m_members.size() || m_members[index].first != key) return nullptr;
    return &m_members[index].second;
}

Value* ObjectMap::find(const std::string& key) {
    return const_cast<Value*>(static_cast<const ObjectMap*>(this)->find(key));
}

Value& ObjectMap::findOrAdd(const std::string& key) {
    if (m_members.empty() || m_members.back().first < key) {
        m_members.emplace_back(key, Value());
        return m_members.back().second;
    }
    const size_t index = lowerBound(key);
    if (m_members[index].first != key)
        m_members.emplace(m_members.begin() + static_cast<std::ptrdiff_t>(index), key, Value());
    return m_members[index].second;
}

bool ObjectMap::insert(const std::string& key, const Value& item) {
    if (m_members.empty() || m_members.back().first < key) {
        m_members.emplace_back(key, item);
        return true;
    }
    const size_t index = lowerBound(key);
    if (m_members[index].first == key) return false;
    m_members.emplace(m_members.begin() + static_cast<std::ptrdiff_t>(index), key, item);
    return true;
}

void ObjectMap::appendMembers(std::vector<Member>::iterator first,
                              std::vector<Member>::iterator last) {
    if (first == last) return;
    bool ordered = m_members.empty() || m_members.back().first < first->first;
    for (auto member = first; ordered && member + 1 != last; ++member)
        ordered = member->first < (member + 1)->first;
    m_members.insert(m_members.end(), std::make_move_iterator(first),
                     std::make_move_iterator(last));
    if (!ordered) restoreOrder();
}

void ObjectMap::restoreOrder() noexcept {
    // Stable, so that of several members with one key the earliest comes first and stays.
    std::stable_sort(m_members.begin(), m_members.end(),
                     [](const Member& a, const Member& b) { return a.first < b.first; });
    const auto last =
        std::unique(m_members.begin(), m_members.end(),
                    [](const Member& a, const Member& b) { return a.first == b.first; });
    m_members.erase(last, m_members.end());
}

}  // namespace pocketjson
