// SPDX-License-Identifier: Apache-2.0
#include "model/Timings.h"

Timings& Timings::current() {
    static Timings timings;
    return timings;
}
