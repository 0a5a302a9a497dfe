// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/FileVersion.h"
#include "core/Noncopyable.h"
#include "core/Uuid.h"
#include "flashkit/flashkit.h"

namespace pocketjson {
class Value;
}

namespace fwu {
class OutputStream;
namespace kfw {
class Action;
class Blob;
class Bundle;
class DeviceVersionList;
}  // namespace kfw
}  // namespace fwu

// The exported package handle. Exported functions call these operations through the handle,
// so their slot order is fixed.
struct FWKfwFile : private fwu::Noncopyable {
    enum ExtendFeature : uint32_t {
        ExtendFeatureMStarTransfer = 0,
        ExtendFeatureDeviceProfile = 1,
        ExtendFeatureZVTransfer = 2,
    };

    virtual ~FWKfwFile() = default;

    virtual fwu::kfw::FileVersion version() const = 0;
    virtual const char* monitorProduct(size_t index) const = 0;
    virtual bool supportsMonitorProduct(const char* name) const = 0;
    virtual fwu::kfw::Bundle*
    bundleForVersion(const fwu::kfw::DeviceVersionList* current) const = 0;
    virtual void updateEstimatedTimeMargin(uint32_t seconds) = 0;
    virtual void updateMonitorProducts(const pocketjson::Value& json) = 0;
    virtual void updateTargetVersion(const pocketjson::Value& json) = 0;
    virtual void updateDeviceProfile(const pocketjson::Value& json) = 0;
    virtual fwu::kfw::Action* findAction(const fwu::Uuid& id) const = 0;
    virtual fwu::kfw::Blob* findBlob(const fwu::Uuid& id) const = 0;
    virtual fwu::kfw::Bundle* findBundle(const fwu::Uuid& id) const = 0;
    // The package takes the object. When it already holds one with equal content, the argument
    // is dropped and the held one is returned: use the result, never the argument.
    virtual fwu::kfw::Action* registerAction(std::unique_ptr<fwu::kfw::Action> action) = 0;
    virtual fwu::kfw::Blob* registerBlob(std::unique_ptr<fwu::kfw::Blob> blob) = 0;
    virtual fwu::kfw::Bundle* registerBundle(std::unique_ptr<fwu::kfw::Bundle> bundle) = 0;
    virtual bool unregisterAction(const fwu::Uuid& id) = 0;
    virtual bool unregisterBlob(const fwu::Uuid& id) = 0;
    virtual bool unregisterBundle(const fwu::Uuid& id) = 0;
    virtual bool swapBlobOrder(const fwu::Uuid& first, const fwu::Uuid& second) = 0;
    virtual bool swapActionOrder(const fwu::Uuid& first, const fwu::Uuid& second) = 0;
    virtual bool swapBundleOrder(const fwu::Uuid& first, const fwu::Uuid& second) = 0;
    virtual void serialize(fwu::OutputStream* stream, uint32_t options) = 0;
    virtual pocketjson::Value toJson() const = 0;
    virtual void fromJson(const pocketjson::Value& json) = 0;
    virtual bool hasExtendFeature(ExtendFeature feature) const = 0;
};
