// SPDX-License-Identifier: Apache-2.0
#include "FileDigest.h"

#include <cstdio>
#include <memory>

#include <openssl/evp.h>

namespace flashkit {

std::string FileSha256(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rbe"),
                                                               &std::fclose);
    if (!file) return {};
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(),
                                                                     &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
    unsigned char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        if (EVP_DigestUpdate(context.get(), buffer, count) != 1) return {};
    if (std::ferror(file.get())) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

}  // namespace flashkit
