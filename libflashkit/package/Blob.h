// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Sha256.h"
#include "package/KfwObject.h"

namespace fwu::kfw {

// A firmware image. The hash always describes the bytes. setBytes computes it at once; for
// bytes shared from a loaded package it is computed when first asked for: those images are
// checked by the package digest already, and most uses of a package never need an image's own.
class Blob : public KfwObject {
public:
    Blob();
    ~Blob() override = default;

    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    // SHA-256 over the stored name (not its fallback) and the bytes.
    Uuid virtualID(const KfwFile* file) const override;

    size_t size() const { return m_size; }
    // Safe to call from several threads at once, like the other const operations.
    const Sha256& hash() const;
    const uint8_t* bytes() const { return m_data; }
    // The stored name, or the first 7 hex digits of the hash when none was given.
    std::string name() const;
    const std::string& path() const { return m_path; }
    void setName(const std::string& name) { m_name = name; }
    void setPath(const std::string& path) { m_path = path; }
    void setBytes(const uint8_t* bytes, size_t length);
    // Takes the image without copying it: images can be tens of megabytes.
    void setBytes(std::vector<uint8_t>&& bytes);
    // Takes `size` bytes at `data`, kept alive by `owner`, without copying them: a loaded
    // package's images stay where they were decrypted. The bytes must not change while the
    // blob holds them.
    void setSharedBytes(std::shared_ptr<const uint8_t> owner, const uint8_t* data, size_t size);

    // Same content: size, hash and bytes. Name, path and ID do not count.
    bool equal(const Blob* other) const;

private:
    mutable std::mutex m_hashMutex;
    mutable std::atomic<bool> m_hashKnown{false};
    mutable Sha256 m_hash;
    std::string m_name;
    std::string m_path;
    // The image is `m_size` bytes at `m_data`, which `m_owner` keeps alive: a vector of the
    // blob's own or a buffer shared with the other images of a loaded package.
    std::shared_ptr<const uint8_t> m_owner;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

}  // namespace fwu::kfw
