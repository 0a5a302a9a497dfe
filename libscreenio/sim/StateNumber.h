// SPDX-License-Identifier: Apache-2.0
// Whole numbers of a saved monitor state. The state file lies in a shared folder where it can
// be edited or damaged, so a fraction, a sign where none belongs or a value beyond the field's
// type makes the state unreadable rather than turning silently into another number.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>

#include <nlohmann/json.hpp>

namespace screenio::sim {

template <typename T> T StateNumberValue(const nlohmann::json& value, const std::string& what) {
    static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
    using Limits = std::numeric_limits<T>;
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() <= uint64_t(Limits::max())) return T(value.get<uint64_t>());
    } else if (value.is_number_integer() && std::is_signed_v<T>) {
        const int64_t number = value.get<int64_t>();
        if (number >= int64_t(Limits::min()) && number <= int64_t(Limits::max())) return T(number);
    }
    throw std::runtime_error(what + " is not a whole number from " + std::to_string(Limits::min()) +
                             " to " + std::to_string(Limits::max()));
}

template <typename T> T StateNumber(const nlohmann::json& object, const char* key) {
    return StateNumberValue<T>(object.at(key), key);
}

// A deadline saved as the time left: never negative, and a huge one ends at the clock's end
// instead of overflowing it.
inline int64_t StateDeadlineUs(const nlohmann::json& object, const char* key, int64_t nowUs) {
    const int64_t left = StateNumber<int64_t>(object, key);
    if (left < 0) throw std::runtime_error(std::string(key) + " is negative");
    return left > std::numeric_limits<int64_t>::max() - nowUs ? std::numeric_limits<int64_t>::max()
                                                              : nowUs + left;
}

}  // namespace screenio::sim
