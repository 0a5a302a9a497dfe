// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/BackendRegistry.h"
#include "core/Trace.h"
#include "screenio/screenio.h"

namespace screenio::test {

// A test whose library calls are traced to a file of its own (SCREENIO_TRACE), with the
// backend and the trace reset afterwards so the next test starts clean.
class TracedTest : public testing::Test {
protected:
    void SetUp() override {
        m_path = testing::TempDir() + "/screenio-trace-" + std::to_string(getpid()) + ".log";
        std::remove(m_path.c_str());
        setenv("SCREENIO_TRACE", m_path.c_str(), 1);
        Trace::reset();
    }
    void TearDown() override {
        KmRelease();
        BackendRegistry::instance().set(nullptr);
        unsetenv("SCREENIO_TRACE");
        Trace::reset();
        std::remove(m_path.c_str());
    }

    const std::string& tracePath() const { return m_path; }
    std::vector<std::string> traceLines() const {
        std::ifstream in(m_path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::string m_path;
};

}  // namespace screenio::test
