// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace kipctest {

// Points TMPDIR at a fresh folder for each test and restores it afterwards, so socket files of
// different tests and runs never meet.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = ::getenv("TMPDIR")) m_oldTmpdir = old;
        char pattern[] = "/tmp/kipcXXXXXX";  // short: socket paths are limited to 103 bytes
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        ::setenv("TMPDIR", m_dir.c_str(), 1);
    }
    void TearDown() override {
        if (m_oldTmpdir)
            ::setenv("TMPDIR", m_oldTmpdir->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // The fresh folder, without a trailing "/".
    const std::string& dir() const { return m_dir; }

private:
    std::string m_dir;
    std::optional<std::string> m_oldTmpdir;
};

inline long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace kipctest
