// SPDX-License-Identifier: Apache-2.0
#pragma once
// The one way the format code includes msgpack-c: header-only and without its optional Boost
// parts, which the body never uses.
#ifndef MSGPACK_NO_BOOST
#define MSGPACK_NO_BOOST
#endif
#include <msgpack.hpp>
