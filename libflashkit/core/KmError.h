// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <stdint.h>

// Status of every monitor operation: 0 or positive is success, negative is failure. The
// monitor-control library declares the same type; identical typedefs may coexist.
typedef int32_t KmError;
