// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pocketjson {

// Receives a parse as a stream of events instead of a tree. Every operation returns false to
// cancel the parse. The order of the virtual functions is fixed: callers outside this library
// reach them through the virtual table.
class AbstractParseHandler {
public:
    virtual ~AbstractParseHandler();

    virtual bool onNull() = 0;
    virtual bool onBoolean(const bool& value) = 0;
    virtual bool onInteger(const int64_t& value) = 0;
    virtual bool onReal(const double& value) = 0;
    virtual bool onString(const std::string& value) = 0;
    virtual bool onBeginArray() = 0;
    virtual bool onEndArray(const size_t& count) = 0;
    virtual bool onBeginObject() = 0;
    virtual bool onKey(const std::string& key) = 0;
    virtual bool onEndObject(const size_t& count) = 0;
};

}  // namespace pocketjson
