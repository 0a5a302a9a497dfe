// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "core/Uuid.h"
#include "package/v2/Msgpack.h"

namespace fwu::kfw::v2 {

// Typed reads from an unpacked body. Every mismatch throws fwu::Exception: "Invalid msgpack
// type" for a wrong type (or a non-string map key), "Invalid uuid" for an ID bin that is not
// 16 bytes, "Key not found" for a missing key.

void msgpack_check_type(const msgpack::object& object, msgpack::type::object_type type);
std::string msgpack_string(const msgpack::object& object);
Uuid msgpack_uuid(const msgpack::object& object);
// The low 32 bits of an unsigned integer; every number of the model is 32-bit.
uint32_t msgpack_uint32(const msgpack::object& object);

// The value of the first entry whose key equals `key`, checked to have `type`.
const msgpack::object& msgpack_map_find(const msgpack::object& map, const char* key,
                                        msgpack::type::object_type type);
// As msgpack_map_find, but false for an absent key. A present key of the wrong type throws.
bool msgpack_map_exists(const msgpack::object& map, const char* key,
                        msgpack::type::object_type type);

}  // namespace fwu::kfw::v2
