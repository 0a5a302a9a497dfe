// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/InputStream.h"
#include "package/KfwFile.h"

namespace fwu::kfw {

// Recognises the format (current first, then legacy) and loads the package; throws
// fwu::Exception ("Invalid kfw file" when neither format accepts the stream). The package is
// placed in `out` before parsing starts, so what a failed parse built is freed with `out`.
void LoadKfwFile(std::unique_ptr<KfwFile>& out, InputStream* stream);

// The same from a file or from the caller's bytes (not kept after the call); they throw.
std::unique_ptr<KfwFile> LoadKfwFileFromPath(const std::string& path);
std::unique_ptr<KfwFile> LoadKfwFileFromBytes(const uint8_t* data, size_t size);

}  // namespace fwu::kfw
