// SPDX-License-Identifier: Apache-2.0
#include "package/v2/BodyUnpacker.h"

namespace fwu::kfw::v2 {

namespace {

// A first pass that builds nothing: msgpack-c allocates a container's element table as soon
// as it reads the header, so hostile counts must be refused before the real unpack runs.
class BoundsCheck : public msgpack::null_visitor {
public:
    explicit BoundsCheck(size_t size) : m_size(size) {}

    bool start_array(uint32_t count) {
        open(count, "array size overflow");
        return true;
    }
    bool end_array() {
        --m_depth;
        return true;
    }
    bool start_map(uint32_t count) {
        open(2 * static_cast<uint64_t>(count), "map size overflow");
        return true;
    }
    bool end_map() {
        --m_depth;
        return true;
    }
    void parse_error(size_t, size_t) { throw msgpack::parse_error("parse error"); }
    void insufficient_bytes(size_t, size_t) {
        throw msgpack::insufficient_bytes("insufficient bytes");
    }

private:
    void open(uint64_t elements, const char* what) {
        if (m_depth >= kMaxBodyDepth) throw msgpack::depth_size_overflow("depth size overflow");
        ++m_depth;
        m_declared += elements;
        if (m_declared > m_size) {
            if (what[0] == 'a') throw msgpack::array_size_overflow(what);
            throw msgpack::map_size_overflow(what);
        }
    }

    size_t m_size;
    size_t m_depth = 0;
    uint64_t m_declared = 0;
};

bool ReferenceInPlace(msgpack::type::object_type type, size_t, void*) {
    return type == msgpack::type::STR || type == msgpack::type::BIN || type == msgpack::type::EXT;
}

}  // namespace

msgpack::object_handle UnpackBody(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    BoundsCheck check(size);
    size_t checked = 0;
    if (!msgpack::parse(text, size, checked, check)) throw msgpack::parse_error("parse error");

    // The first pass already bounds everything; the limits keep the second pass safe on their
    // own should the two ever disagree.
    const msgpack::unpack_limit limit(size, size, size, size, size, kMaxBodyDepth);
    size_t offset = 0;
    return msgpack::unpack(text, size, offset, ReferenceInPlace, nullptr, limit);
}

}  // namespace fwu::kfw::v2
