// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "json/Value.h"

namespace pocketjson {

// The members of an object: unique keys in byte-wise key order, kept in one contiguous table
// with the values beside their keys. Looking a key up is a binary search; adding a key that
// sorts after every key present (the common case: this library writes members in key order,
// so parsed documents arrive that way) is an append. Adding a key elsewhere moves the members
// after it.
class ObjectMap {
public:
    using Member = std::pair<std::string, Value>;
    using value_type = Member;
    using const_iterator = std::vector<Member>::const_iterator;

    const_iterator begin() const { return m_members.begin(); }
    const_iterator end() const { return m_members.end(); }
    size_t size() const { return m_members.size(); }
    bool empty() const { return m_members.empty(); }

    // The member, or nullptr when the key is absent.
    const Value* find(const std::string& key) const;
    Value* find(const std::string& key);
    // The member, added as Null when the key is absent.
    Value& findOrAdd(const std::string& key);
    // Adds the member unless the key is present (the existing member is kept); true when added.
    bool insert(const std::string& key, const Value& item);

    bool operator==(const ObjectMap& other) const { return m_members == other.m_members; }
    bool operator!=(const ObjectMap& other) const { return !(*this == other); }

private:
    // The parser gathers an object's members and hands them over at the end of the object:
    // they are moved in and the table is put back in key order, dropping repeated keys (the
    // member that came first stays), so that a text with its keys in any order costs one sort.
    friend class Parser;
    void appendMembers(std::vector<Member>::iterator first, std::vector<Member>::iterator last);
    void restoreOrder() noexcept;

    // Index of the first member whose key is not less than `key`.
    size_t lowerBound(const std::string& key) const;

    std::vector<Member> m_members;
};

}  // namespace pocketjson
