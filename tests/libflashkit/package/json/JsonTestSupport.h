// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "json/Value.h"

namespace fwu::test::json {

using pocketjson::Value;

inline std::set<std::string> keysOf(const Value& object) {
    std::set<std::string> keys;
    for (const auto& member : object.objectValue()) keys.insert(member.first);
    return keys;
}

// A copy of `object` without `key`.
inline Value without(const Value& object, const std::string& key) {
    Value copy(pocketjson::Object);
    for (const auto& member : object.objectValue())
        if (member.first != key) copy.insert(member.first, member.second);
    return copy;
}

// A copy of `object` with `key` set to `member`.
inline Value with(const Value& object, const std::string& key, const Value& member) {
    Value copy(pocketjson::Object);
    copy.insert(key, member);
    for (const auto& entry : object.objectValue()) copy.insert(entry.first, entry.second);
    return copy;
}

inline Value array(std::initializer_list<Value> items) {
    Value result(pocketjson::Array);
    for (const Value& item : items) result.push_back(item);
    return result;
}

// A fresh directory per test for the source files blobs load, removed afterwards.
class SourceDir {
public:
    SourceDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "flashkit-json-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_dir = pattern;
        else
            ADD_FAILURE() << "mkdtemp failed";
    }
    ~SourceDir() {
        std::error_code ignored;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ignored);
    }
    SourceDir(const SourceDir&) = delete;
    SourceDir& operator=(const SourceDir&) = delete;

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string file = path(name);
        FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) {
            ADD_FAILURE() << "cannot create " << file;
            return file;
        }
        if (!bytes.empty()) {
            EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        }
        EXPECT_EQ(std::fclose(f), 0);
        return file;
    }
    std::string write(const std::string& name, const std::string& text) const {
        return write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }

private:
    std::filesystem::path m_dir;
};

}  // namespace fwu::test::json
