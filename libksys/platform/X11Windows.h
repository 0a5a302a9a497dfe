// SPDX-License-Identifier: Apache-2.0
// Windows of the X11 session.
#pragma once

#include <vector>

#include "core/Records.h"

namespace ksys {

class X11Windows {
public:
    // The window manager's managed windows without desktop, dock and hidden ones; empty when
    // no display can be opened or no window manager publishes a client list.
    static std::vector<KSysApplicationWindow> list();
};

}  // namespace ksys
