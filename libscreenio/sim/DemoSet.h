// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "sim/SimConfig.h"

namespace screenio::sim {

// The built-in monitors of SCREENIO_SIM=demo: one of each update kind and a scaler monitor that
// needs recovery (it starts in MCU ISP MODE), sharing a state file so
// that separate runs of a tool see what an earlier run did.
class DemoSet {
public:
    static SimConfig config();
    // $XDG_RUNTIME_DIR/screenio-demo.json, else /tmp/screenio-demo-<uid>.json.
    static std::string stateFilePath();
};

}  // namespace screenio::sim
