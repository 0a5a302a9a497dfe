#pragma once
#include <string>

namespace pocketjson {

// A double with a text form that does not depend on the process locale.
class Double {
public:
    Double(double value = 0.0) : m_value(value) {}  // NOLINT: a raw double is a Double

    double value() const { return m_value; }

    // Writes the value: ±0 as "0.0", NaN as "nan", the infinities as "inf" and "-inf", any
    // other value as printf's "%.17g" with a '.' decimal point whatever the locale. Returns
    // false for NaN and the infinities, which have no JSON form; their text is written anyway.
    template <class OutputIterator>
    bool toString(OutputIterator& out) const {
        std::string text;
        const bool finite = format(m_value, text);
        for (const char c : text) *out++ = c;
        return finite;
    }

private:
    static bool format(double value, std::string& text);

    double m_value;
};

}  // namespace pocketjson
