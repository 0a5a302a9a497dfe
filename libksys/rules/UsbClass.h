// SPDX-License-Identifier: Apache-2.0
// Names of the USB base classes.
#pragma once

namespace ksys {

// The description of a USB base class code; "" for a code without one.
const char* UsbClassDescription(int classCode);

}  // namespace ksys
