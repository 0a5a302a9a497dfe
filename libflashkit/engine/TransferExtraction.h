// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "package/Blob.h"
#include "package/KfwFile.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"

namespace fwu::internal {

// The transfer actions of a bundle that an update would run, in bundle order; the actions
// belong to the package. Unless `options` has FWTransferOptionForce, actions for devices that
// already report their target version are left out.
std::vector<const kfw::TransferDataAction*>
ExtractTransferData(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                    const dev::DeviceProfileList& profiles, const kfw::DeviceVersionList& versions,
                    uint32_t options);
std::vector<const kfw::TransferZVDataAction*>
ExtractTransferZVData(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                      const dev::DeviceProfileList& profiles,
                      const kfw::DeviceVersionList& versions, uint32_t options);
// Every scaler action of the bundle: these are never filtered by version.
std::vector<const kfw::TransferMStarDataAction*>
ExtractTransferMStarData(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                         const dev::DeviceProfileList& profiles,
                         const kfw::DeviceVersionList& versions, uint32_t options);

// The transfer actions of the package's own kind (ZV, scaler or generic), as plain actions.
std::vector<const kfw::Action*> ExtractTransferActions(const kfw::KfwFile& file,
                                                       const kfw::Bundle& bundle,
                                                       const dev::DeviceProfileList& profiles,
                                                       const kfw::DeviceVersionList& versions,
                                                       uint32_t options);

// Sum of the sizes of the blobs the actions name; a missing blob adds nothing.
template <typename TransferAction>
uint64_t TransferDataBytes(const kfw::KfwFile& file,
                           const std::vector<const TransferAction*>& actions) {
    uint64_t total = 0;
    for (const TransferAction* action : actions)
        if (const kfw::Blob* blob = file.findBlob(action->blobID())) total += blob->size();
    return total;
}

}  // namespace fwu::internal
