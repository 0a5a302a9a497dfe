// SPDX-License-Identifier: Apache-2.0
// Monitor paths of graphics adapters.
#pragma once

#include <string>

namespace ksys {

// The path with every "/"-separated element cut before its first "@", so that paths naming the
// same place with and without unit addresses compare equal.
std::string ComparablePath(const std::string& path);

}  // namespace ksys
