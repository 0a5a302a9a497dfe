// SPDX-License-Identifier: Apache-2.0
#include "package/v2/MsgpackAccess.h"

#include <cstring>

#include "core/Exception.h"

namespace fwu::kfw::v2 {

namespace {

// Null when the map has no such key; the map's own type and every key's type are checked.
const msgpack::object* FindValue(const msgpack::object& map, const char* key) {
    msgpack_check_type(map, msgpack::type::MAP);
    const size_t length = std::strlen(key);
    const msgpack::object_kv* entries = map.via.map.ptr;
    for (uint32_t i = 0; i < map.via.map.size; ++i) {
        const msgpack::object& k = entries[i].key;
        msgpack_check_type(k, msgpack::type::STR);
        if (k.via.str.size == length &&
            (length == 0 || std::memcmp(k.via.str.ptr, key, length) == 0))
            return &entries[i].val;
    }
    return nullptr;
}

}  // namespace

void msgpack_check_type(const msgpack::object& object, msgpack::type::object_type type) {
    if (object.type != type) throw Exception(PackageError::kInvalidMsgpackType);
}

std::string msgpack_string(const msgpack::object& object) {
    msgpack_check_type(object, msgpack::type::STR);
    return std::string(object.via.str.ptr, object.via.str.size);
}

Uuid msgpack_uuid(const msgpack::object& object) {
    msgpack_check_type(object, msgpack::type::BIN);
    if (object.via.bin.size != 16) throw Exception(PackageError::kInvalidUuid);
    return Uuid::fromBytes(reinterpret_cast<const uint8_t*>(object.via.bin.ptr));
}

uint32_t msgpack_uint32(const msgpack::object& object) {
    msgpack_check_type(object, msgpack::type::POSITIVE_INTEGER);
    return static_cast<uint32_t>(object.via.u64);
}

const msgpack::object& msgpack_map_find(const msgpack::object& map, const char* key,
                                        msgpack::type::object_type type) {
    const msgpack::object* value = FindValue(map, key);
    if (!value) throw Exception(PackageError::kMsgpackKeyNotFound);
    msgpack_check_type(*value, type);
    return *value;
}

bool msgpack_map_exists(const msgpack::object& map, const char* key,
                        msgpack::type::object_type type) {
    const msgpack::object* value = FindValue(map, key);
    if (!value) return false;
    msgpack_check_type(*value, type);
    return true;
}

}  // namespace fwu::kfw::v2
