// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "sim/MonitorDescription.h"

namespace screenio::sim {

// A description of simulated monitors, as read from a JSON file (schema in docs/simulator.md).
struct SimConfig {
    std::vector<MonitorDescription> monitors;
    std::string stateFile;  // empty: state lives in this process only

    // Parses and checks a description. `folder` resolves a relative "stateFile". Throws
    // std::runtime_error naming the offending member, such as
    // "monitors[1].devices[0].version: expected an unsigned 32-bit integer".
    static SimConfig parse(const std::string& jsonText, const std::string& folder);
    // Reads and parses a file; errors also name the file.
    static SimConfig load(const std::string& path);
};

}  // namespace screenio::sim
