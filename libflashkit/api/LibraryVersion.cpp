// SPDX-License-Identifier: Apache-2.0
#include "flashkit/flashkit.h"

extern "C" FW_EXPORT uint32_t FWLibraryVersion(void) { return FLASHKIT_LIBRARY_VERSION_NUMBER; }
