// SPDX-License-Identifier: Apache-2.0
#include "engine/UpdatePlan.h"

#include "engine/FlashBlock.h"
#include "package/Blob.h"

namespace fwu::internal {

uint64_t PlannedImage::size() const { return blob ? blob->size() : 0; }

FWTransferProgress UpdatePlan::startProgress() const {
    return FWTransferProgress{0, actionCount, 0, uint32_t(totalBytes)};
}

void UpdatePlan::add(PlannedImage image) {
    totalBytes += image.size();
    images.push_back(std::move(image));
}

FlashRange ImageRange(const PlannedImage& image) {
    return {image.address, uint64_t(image.address) + uint64_t(image.blocks) * kFlashBlockSize};
}

bool ImagesApart(const UpdatePlan& plan) {
    for (size_t i = 0; i < plan.images.size(); ++i)
        for (size_t j = i + 1; j < plan.images.size(); ++j)
            if (ImageRange(plan.images[i]).overlaps(ImageRange(plan.images[j]))) return false;
    return true;
}

}  // namespace fwu::internal
