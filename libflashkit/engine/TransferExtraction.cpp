// SPDX-License-Identifier: Apache-2.0
#include "engine/TransferExtraction.h"

#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace fwu::internal {
namespace {

// An image is still needed unless its device is known, read and already at its target.
bool DeviceNeedsImage(const kfw::KfwFile& file, const dev::DeviceProfile* profile,
                      const kfw::DeviceVersionList& versions) {
    if (!profile) return true;
    const kfw::DeviceVersion* current = versions.find(profile->device);
    const kfw::DeviceVersion* target = file.targetVersion().find(profile->device);
    if (!current || !target) return true;
    return !versions.match(*target, Version::OperatorEqual);
}

template <typename TransferAction, typename Keep>
std::vector<const TransferAction*> Extract(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                                           Keep&& keep) {
    std::vector<const TransferAction*> actions;
    for (const Uuid& id : bundle.actionIDs()) {
        const auto* action = dynamic_cast<const TransferAction*>(file.findAction(id));
        if (action && keep(*action)) actions.push_back(action);
    }
    return actions;
}

template <typename TransferAction>
std::vector<const kfw::Action*> AsActions(const std::vector<const TransferAction*>& actions) {
    return std::vector<const kfw::Action*>(actions.begin(), actions.end());
}

}  // namespace

std::vector<const kfw::TransferDataAction*>
ExtractTransferData(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                    const dev::DeviceProfileList& profiles, const kfw::DeviceVersionList& versions,
                    uint32_t options) {
    return Extract<kfw::TransferDataAction>(file, bundle, [&](const kfw::TransferDataAction& a) {
        return (options & FWTransferOptionForce) ||
               DeviceNeedsImage(file, profiles.find(a.fileName()), versions);
    });
}

std::vector<const kfw::TransferZVDataAction*>
ExtractTransferZVData(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                      const dev::DeviceProfileList& profiles,
                      const kfw::DeviceVersionList& versions, uint32_t options) {
    return Extract<kfw::TransferZVDataAction>(
        file, bundle, [&](const kfw::TransferZVDataAction& a) {
            return (options & FWTransferOptionForce) ||
                   DeviceNeedsImage(file, profiles.findAddress(a.address()), versions);
        });
}

std::vector<const kfw::TransferMStarDataAction*>
ExtractTransferMStarData(const kfw::KfwFile& file, const kfw::Bundle& bundle,
                         const dev::DeviceProfileList&, const kfw::DeviceVersionList&, uint32_t) {
    return Extract<kfw::TransferMStarDataAction>(
        file, bundle, [](const kfw::TransferMStarDataAction&) { return true; });
}

std::vector<const kfw::Action*> ExtractTransferActions(const kfw::KfwFile& file,
                                                       const kfw::Bundle& bundle,
                                                       const dev::DeviceProfileList& profiles,
                                                       const kfw::DeviceVersionList& versions,
                                                       uint32_t options) {
    if (file.hasExtendFeature(kfw::KfwFile::ExtendFeatureZVTransfer))
        return AsActions(ExtractTransferZVData(file, bundle, profiles, versions, options));
    if (file.hasExtendFeature(kfw::KfwFile::ExtendFeatureMStarTransfer))
        return AsActions(ExtractTransferMStarData(file, bundle, profiles, versions, options));
    return AsActions(ExtractTransferData(file, bundle, profiles, versions, options));
}

}  // namespace fwu::internal
