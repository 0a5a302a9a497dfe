// SPDX-License-Identifier: Apache-2.0
#include "package/KfwLoader.h"

#include "core/Exception.h"
#include "core/InputByteStream.h"
#include "core/InputFileStream.h"
#include "package/v1/KfwFile.h"
#include "package/v1/KfwParser.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwParser.h"

namespace fwu::kfw {

namespace {

// Hands the new package to `out` first, so that what a failed parse built is freed with it.
template <typename Package, typename Parser>
void LoadAs(std::unique_ptr<KfwFile>& out, InputStream* stream) {
    auto file = std::make_unique<Package>();
    Package* filling = file.get();
    out = std::move(file);
    Parser().parse(filling, stream);
}

}  // namespace

void LoadKfwFile(std::unique_ptr<KfwFile>& out, InputStream* stream) {
    if (v2::KfwParser::isValid(stream)) {
        LoadAs<v2::KfwFile, v2::KfwParser>(out, stream);
    } else if (v1::KfwParser::isValid(stream)) {
        LoadAs<v1::KfwFile, v1::KfwParser>(out, stream);
    } else {
        throw Exception(PackageError::kInvalidKfwFile);
    }
}

std::unique_ptr<KfwFile> LoadKfwFileFromPath(const std::string& path) {
    InputFileStream stream;
    stream.open(path);
    std::unique_ptr<KfwFile> file;
    LoadKfwFile(file, &stream);
    return file;
}

std::unique_ptr<KfwFile> LoadKfwFileFromBytes(const uint8_t* data, size_t size) {
    InputByteStream stream(data, size);
    std::unique_ptr<KfwFile> file;
    LoadKfwFile(file, &stream);
    return file;
}

}  // namespace fwu::kfw
