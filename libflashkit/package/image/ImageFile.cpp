// SPDX-License-Identifier: Apache-2.0
#include "package/image/ImageFile.h"

#include "core/InputFileStream.h"
#include "package/image/Cyacd.h"
#include "package/image/Srec.h"

namespace fwu::kfw::file {

bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix) {
    if (suffix.empty() || suffix.size() > text.size()) return false;
    const size_t offset = text.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i) {
        // ASCII only, so that the process locale cannot change which paths match.
        char c = text[offset + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::vector<uint8_t> LoadImageFile(const std::string& path) {
    InputFileStream stream;
    stream.open(path);
    std::vector<uint8_t> content = stream.readBytes(stream.byteSize());
    stream.close();
    if (EndsWithIgnoreCase(path, ".srec") || EndsWithIgnoreCase(path, ".mot"))
        return BytesFromSrec(content);
    if (EndsWithIgnoreCase(path, ".cyacd")) return BytesFromCyacd(content);
    return content;
}

}  // namespace fwu::kfw::file
