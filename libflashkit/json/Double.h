// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <string>

namespace pocketjson {

// A double with a text form that does not depend on the process locale.
class Double {
public:
    Double(double value = 0.0) : m_value(value) {}  // NOLINT: a raw double is a Double

    double value() const { return m_value; }

    // Reads a number whatever the process locale: the first '.' stands for the locale's decimal
    // point. *ok (when not null) is true only when the conversion used the whole text, which
    // must not be empty. Out-of-range numbers give the infinities or 0 as strtod does.
    static double strToDouble(const char* text, bool* ok);
    // The same for a text of `length` bytes that need not end with a zero byte.
    static double strToDouble(const char* text, size_t length, bool* ok);

    // Writes the value: ±0 as "0.0", NaN as "nan", the infinities as "inf" and "-inf", any
    // other value as printf's "%.17g" with a '.' decimal point whatever the locale. Returns
    // false for NaN and the infinities, which have no JSON form; their text is written anyway.
    template <class OutputIterator> bool toString(OutputIterator& out) const {
        char text[kMaxText];
        size_t length = 0;
        const bool finite = format(m_value, text, &length);
        for (size_t i = 0; i < length; ++i) *out++ = text[i];
        return finite;
    }

private:
    // "%.17g" of a finite double needs at most 24 bytes.
    static constexpr size_t kMaxText = 32;
    static bool format(double value, char* text, size_t* length);

    double m_value;
};

}  // namespace pocketjson
