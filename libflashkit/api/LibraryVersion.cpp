// SPDX-License-Identifier: Apache-2.0
#include "flashkit/flashkit.h"

extern "C" FW_EXPORT uint32_t FWLibraryVersion(void) { return 0x04020101u; }
