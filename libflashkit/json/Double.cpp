// SPDX-License-Identifier: Apache-2.0
#include "json/Double.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pocketjson {

double Double::strToDouble(const char* text, bool* ok) {
    return strToDouble(text, text ? std::strlen(text) : 0, ok);
}

double Double::strToDouble(const char* text, size_t length, bool* ok) {
    if (ok) *ok = false;
    if (!text || length == 0) return 0.0;
    // strtod reads the locale's decimal point, so the text's '.' is swapped for it in a copy.
    // The copy also supplies the terminating zero byte strtod needs.
    const char* point = std::localeconv()->decimal_point;
    const size_t pointLength = point && *point ? std::strlen(point) : 0;
    std::string copy;
    copy.reserve(length + pointLength);
    const char* dot = static_cast<const char*>(std::memchr(text, '.', length));
    if (dot && pointLength > 0) {
        copy.append(text, static_cast<size_t>(dot - text));
        copy.append(point, pointLength);
        copy.append(dot + 1, length - static_cast<size_t>(dot - text) - 1);
    } else {
        copy.append(text, length);
    }
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (ok) *ok = end == copy.c_str() + copy.size();
    return value;
}

bool Double::format(double value, char* text, size_t* length) {
    const auto put = [&](const char* fixed) {
        *length = std::strlen(fixed);
        std::memcpy(text, fixed, *length);
    };
    if (std::isnan(value)) {
        put("nan");
        return false;
    }
    if (std::isinf(value)) {
        put(value < 0 ? "-inf" : "inf");
        return false;
    }
    if (value == 0.0) {  // also -0.0, which JSON readers would otherwise see as "-0"
        put("0.0");
        return true;
    }
    // 17 significant digits bring back the same double when read again. to_chars with a
    // precision gives exactly printf's "%.17g" text, but always with a '.' decimal point
    // whatever the locale, and much faster than printf.
    const auto result = std::to_chars(text, text + kMaxText, value, std::chars_format::general, 17);
    *length = static_cast<size_t>(result.ptr - text);
    return true;
}

}  // namespace pocketjson
