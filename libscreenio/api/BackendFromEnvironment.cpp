// SPDX-License-Identifier: Apache-2.0
#include "api/BackendFromEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "hid/HidBackend.h"
#include "hid/HidrawTransport.h"
#include "sim/DemoSet.h"
#include "sim/SimBackend.h"
#include "sim/SimConfig.h"

namespace screenio {

std::shared_ptr<Backend> BackendFromEnvironment() {
    const char* value = std::getenv("SCREENIO_SIM");
    // Without a simulation the monitors on USB are the ones meant.
    if (!value || !*value)
        return std::make_shared<hid::HidBackend>(std::make_shared<hid::HidrawTransport>());
    std::string choice = value;
    sim::SimConfig config;
    try {
        config = choice == "demo" ? sim::DemoSet::config() : sim::SimConfig::load(choice);
    } catch (const std::exception& error) {
        // Errors of the file already name it and the offending member.
        std::fprintf(stderr, "screenio: %s; no monitors are simulated\n", error.what());
        return nullptr;
    }
    try {
        return std::make_shared<sim::SimBackend>(std::move(config));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "screenio: %s: %s; no monitors are simulated\n", choice.c_str(),
                     error.what());
        return nullptr;
    }
}

}  // namespace screenio
