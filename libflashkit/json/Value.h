#pragma once
// Placeholder until the JSON value model is written.
namespace pocketjson {
class Value {
public:
    Value() = default;
};
}  // namespace pocketjson
