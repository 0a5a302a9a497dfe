// SPDX-License-Identifier: Apache-2.0
// Graphics-adapter vendors by PCI vendor id.
#pragma once

namespace ksys {

// The vendor of a PCI vendor id; "" for an id not in the table.
const char* PciVendorName(unsigned int vendorId);

}  // namespace ksys
