// SPDX-License-Identifier: Apache-2.0
#include "json/AbstractParseHandler.h"

namespace pocketjson {

// Out of line so that the virtual table has one home.
AbstractParseHandler::~AbstractParseHandler() = default;

}  // namespace pocketjson
