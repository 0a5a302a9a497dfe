// SPDX-License-Identifier: Apache-2.0
#include "core/Snapshot.h"

// Out of line so the vtable lives in one place.
KSysSnapshot::~KSysSnapshot() = default;
