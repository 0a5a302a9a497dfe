#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Sha256.h"
#include "package/KfwObject.h"

namespace fwu::kfw {

// A firmware image. The hash always describes the bytes: every setBytes recomputes it.
class Blob : public KfwObject {
public:
    Blob();
    ~Blob() override = default;

    pocketjson::Value toJson() const override;
    void fromJson(const pocketjson::Value& json) override;
    // SHA-256 over the stored name (not its fallback) and the bytes.
    Uuid virtualID(const KfwFile* file) const override;

    size_t size() const { return m_bytes.size(); }
    const Sha256& hash() const { return m_hash; }
    const uint8_t* bytes() const { return m_bytes.data(); }
    const std::vector<uint8_t>& byteVector() const { return m_bytes; }
    // The stored name, or the first 7 hex digits of the hash when none was given.
    std::string name() const;
    const std::string& storedName() const { return m_name; }
    const std::string& path() const { return m_path; }
    void setName(const std::string& name) { m_name = name; }
    void setPath(const std::string& path) { m_path = path; }
    void setBytes(const uint8_t* bytes, size_t length);
    // Takes the image without copying it: images can be tens of megabytes.
    void setBytes(std::vector<uint8_t>&& bytes);

    // Same content: size, hash and bytes. Name, path and ID do not count.
    bool equal(const Blob* other) const;

private:
    Sha256 m_hash;
    std::string m_name;
    std::string m_path;
    std::vector<uint8_t> m_bytes;
};

}  // namespace fwu::kfw
