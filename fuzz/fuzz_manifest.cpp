// SPDX-License-Identifier: Apache-2.0
// Package manifests of the command-line tool: check the text, and build both package formats
// from what passes. The manifest is placed in fuzz/manifest_images, so that "image.bin" names a
// real file there and the build is reached. A refusal is a Failure of the package kind that
// names the manifest; any other exception escapes and is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Failure.h"
#include "Manifest.h"

namespace {

const std::string kPath = std::string(FLASHKIT_FUZZ_IMAGE_DIR) + "/manifest.json";

void checkRefusal(const flashkit::Failure& failure) {
    const std::string prefix = "manifest " + kPath;
    if (failure.code() != flashkit::ExitPackage ||
        std::string(failure.what()).compare(0, prefix.size(), prefix) != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const flashkit::Manifest manifest = flashkit::Manifest::fromText(text, kPath);
        for (const bool legacy : {false, true}) {
            try {
                manifest.build(legacy);
            } catch (const flashkit::Failure& failure) {
                checkRefusal(failure);
            }
        }
    } catch (const flashkit::Failure& failure) {
        checkRefusal(failure);
    }
    return 0;
}
