// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>

#include "flashkit/flashkit.h"

namespace flashkit {

// Owners of the library's handles, each released by its own function.
struct HandleRelease {
    void operator()(FWKfwFile* file) const { FWKfwFileRelease(file); }
    void operator()(FWDeviceProfile* profile) const { FWDeviceProfileRelease(profile); }
    void operator()(FWUtf8String* text) const { FWUtf8StringRelease(text); }
};
using Package = std::unique_ptr<FWKfwFile, HandleRelease>;
using Profile = std::unique_ptr<FWDeviceProfile, HandleRelease>;
using Text = std::unique_ptr<FWUtf8String, HandleRelease>;

}  // namespace flashkit
