#include "core/Snapshot.h"

// Out of line so the vtable lives in one place.
KSysSnapshot::~KSysSnapshot() = default;
