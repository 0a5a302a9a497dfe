// SPDX-License-Identifier: Apache-2.0
#include "api/JsonArgument.h"

#include <string>

#include "json/Parser.h"

namespace fwu::api {

pocketjson::Value ParseJsonArgument(const char* text) {
    const std::string copy = text ? text : "";
    pocketjson::Value value;
    // The result is deliberately not consulted: what was built goes to the operation, whose
    // own shape checks refuse what it cannot use (and trailing words are tolerated).
    pocketjson::Parser().parse(copy, value);
    return value;
}

}  // namespace fwu::api
