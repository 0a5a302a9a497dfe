// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>

#include "core/Backend.h"

namespace screenio {

// The backend that SCREENIO_SIM asks for: the hidraw nodes of USB monitors when unset, the demo
// set, or a description file. A description that cannot be used is reported on standard error
// and gives no monitors.
std::shared_ptr<Backend> BackendFromEnvironment();

}  // namespace screenio
