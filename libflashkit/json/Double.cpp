#include "json/Double.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace pocketjson {

bool Double::format(double value, std::string& text) {
    if (std::isnan(value)) {
        text = "nan";
        return false;
    }
    if (std::isinf(value)) {
        text = value < 0 ? "-inf" : "inf";
        return false;
    }
    if (value == 0.0) {  // also -0.0, which JSON readers would otherwise see as "-0"
        text = "0.0";
        return true;
    }
    // 17 significant digits bring back the same double when read again. "%.17g" of a finite
    // double needs at most 24 bytes; 128 leaves room for a long decimal point string.
    char buffer[128];
    const int length = std::snprintf(buffer, sizeof buffer, "%.17g", value);
    text.assign(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    // printf follows the locale's decimal point (',' in many locales); JSON wants '.'.
    const char* point = std::localeconv()->decimal_point;
    const size_t pointLength = point ? std::strlen(point) : 0;
    if (pointLength > 0 && !(pointLength == 1 && point[0] == '.')) {
        for (size_t at = text.find(point); at != std::string::npos;
             at = text.find(point, at + 1))
            text.replace(at, pointLength, ".");
    }
    return true;
}

}  // namespace pocketjson
