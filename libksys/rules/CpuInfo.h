// SPDX-License-Identifier: Apache-2.0
// The processor's name in /proc/cpuinfo.
#pragma once

#include <string>

namespace ksys {

// The value of the first "model name" line; without one, of "Hardware", "Processor" or
// "cpu model" (other architectures); "" when none.
std::string CpuNameFromCpuinfo(const std::string& text);

}  // namespace ksys
