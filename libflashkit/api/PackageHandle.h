// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "package/KfwFile.h"

namespace fwu::api {

// Package data that is not reached through the handle's virtual table needs the class; a
// handle of another kind is treated like a null one.
inline kfw::KfwFile* AsPackage(FWKfwFile* file) { return dynamic_cast<kfw::KfwFile*>(file); }

}  // namespace fwu::api
