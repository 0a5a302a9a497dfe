// SPDX-License-Identifier: Apache-2.0
// The fast writer against a plain one kept here as the reference of what the text must be:
// printf's "%lld" and "%.17g" (with the locale's decimal point written as '.'), a byte-by-byte
// escape table, members in key order. Awkward values by hand, then a few million random ones.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "CommaLocale.h"
#include "json/Serializer.h"

namespace pocketjson {
namespace {

// The reference: slow and obvious, one byte at a time.
class ReferenceWriter {
public:
    explicit ReferenceWriter(uint32_t options) : m_options(options) {}

    bool write(const Value& value, std::string& out) {
        return value_(value, m_pretty() ? 0 : -1, out);
    }

    static void string_(const std::string& text, std::string& out) {
        out += '"';
        for (unsigned char c : text) {
            switch (c) {
            case 0x08: out += "\\b"; break;
            case 0x09: out += "\\t"; break;
            case 0x0A: out += "\\n"; break;
            case 0x0C: out += "\\f"; break;
            case 0x0D: out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u00%02x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
            }
        }
        out += '"';
    }

    static void real_(double value, std::string& out) {
        if (value == 0.0) {
            out += "0.0";
            return;
        }
        char text[128];
        std::snprintf(text, sizeof text, "%.17g", value);
        const char point = *std::localeconv()->decimal_point;
        for (char* p = text; *p; ++p) out += *p == point ? '.' : *p;
    }

private:
    bool m_pretty() const { return (m_options & 0x80) != 0; }
    void newLine(int level, std::string& out) const {
        if (level < 0) return;
        out += (m_options & 0x4) ? "\r\n" : "\n";
        const uint32_t unit = m_options & 0x3;
        for (int i = 0; i < level; ++i) out += unit == 1 ? "    " : unit == 2 ? "\t" : "  ";
    }

    bool value_(const Value& v, int level, std::string& out) {
        switch (v.type()) {
        case Null: out += "null"; return true;
        case Boolean: out += v.booleanValue() ? "true" : "false"; return true;
        case Integer: {
            char text[32];
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v.integerValue()));
            out += text;
            return true;
        }
        case Real:
            if (std::isnan(v.realValue()) || std::isinf(v.realValue())) return false;
            real_(v.realValue(), out);
            return true;
        case String: string_(v.stringValue(), out); return true;
        case Object: {
            out += '{';
            const int inner = level < 0 ? level : level + 1;
            bool first = true;
            for (const auto& member : v.objectValue()) {
                if (!first) out += ',';
                first = false;
                newLine(inner, out);
                string_(member.first, out);
                out += ':';
                if (level >= 0) out += ' ';
                if (!value_(member.second, inner, out)) return false;
            }
            if (!v.objectValue().empty()) newLine(level, out);
            out += '}';
            return true;
        }
        case Array: {
            out += '[';
            const int inner = level < 0 ? level : level + 1;
            bool first = true;
            for (const Value& element : v.arrayValue()) {
                if (!first) out += ',';
                first = false;
                newLine(inner, out);
                if (!value_(element, inner, out)) return false;
            }
            if (!v.arrayValue().empty()) newLine(level, out);
            out += ']';
            return true;
        }
        }
        return false;
    }

    uint32_t m_options;
};

// Both ways into the fast writer (whole runs into a string, byte by byte through an iterator)
// must give the reference text.
void expectSameText(const Value& value, uint32_t options = 0) {
    std::string expected;
    const bool expectedOk = ReferenceWriter(options).write(value, expected);
    std::string fast;
    ASSERT_EQ(Serializer::serializeToString(value, fast, SerializeOption(options)), expectedOk);
    std::string iterated;
    auto out = std::back_inserter(iterated);
    ASSERT_EQ(Serializer::serialize(out, value, SerializeOption(options)), expectedOk);
    if (!expectedOk) return;
    ASSERT_EQ(fast, expected);
    ASSERT_EQ(iterated, expected);
}

std::vector<double> awkwardDoubles() {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.0,
                                  0.1,
                                  0.2,
                                  0.30000000000000004,
                                  1.5,
                                  -2.5,
                                  100.0,
                                  1e15,
                                  1e16,
                                  1e17,
                                  1e21,
                                  1e22,
                                  1e-5,
                                  1e-6,
                                  1e-7,
                                  1e300,
                                  -1e300,
                                  1e308,
                                  DBL_MAX,
                                  -DBL_MAX,
                                  DBL_MIN,
                                  -DBL_MIN,
                                  std::numeric_limits<double>::denorm_min(),
                                  5e-324,
                                  2.2250738585072009e-308,
                                  9007199254740992.0,
                                  9007199254740993.0,
                                  9223372036854775808.0,
                                  18446744073709551616.0,
                                  123456789012345678.0,
                                  0.000123456789,
                                  3.141592653589793,
                                  2.718281828459045,
                                  9.999999999999999e22,
                                  1.7976931348623157e308,
                                  4.9406564584124654e-324,
                                  1e23,
                                  8.41e21,
                                  5e-310,
                                  0.5,
                                  0.25,
                                  1.0 / 3.0,
                                  2.0 / 3.0,
                                  1e-300,
                                  123.456,
                                  -0.001,
                                  1e100,
                                  1.0e-10,
                                  std::nextafter(1.0, 2.0),
                                  std::nextafter(1.0, 0.0),
                                  std::nextafter(0.0, 1.0),
                                  std::nan(""),
                                  inf,
                                  -inf};
    for (int exponent = -330; exponent <= 310; ++exponent)
        values.push_back(std::pow(10.0, exponent));
    for (int exponent = -1075; exponent <= 1024; exponent += 7)
        values.push_back(std::ldexp(1.0, exponent));
    return values;
}

std::vector<std::string> awkwardStrings() {
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    return {"",
            "a",
            "/",
            "\\",
            "\"",
            std::string(1, '\0'),
            std::string("a\0b", 3),
            "\x7f",
            "\x1f\x20",
            "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
            "\xff\xfe",
            "\b\f\n\r\t",
            std::string(100, '"'),
            std::string(1000, 'x') + "\x01",
            everyByte};
}

TEST(ReferenceWriter, AwkwardScalarsAndStrings) {
    for (double real : awkwardDoubles()) expectSameText(Value(real));
    for (int64_t integer : {int64_t{0}, int64_t{-1}, int64_t{9}, int64_t{10}, int64_t{99},
                            int64_t{100}, std::numeric_limits<int64_t>::max(),
                            std::numeric_limits<int64_t>::min(), int64_t{-9223372036854775807}})
        expectSameText(Value(integer));
    for (const std::string& text : awkwardStrings()) {
        expectSameText(Value(text));
        Value object(Object);
        object[text] = text;  // keys go through the same escapes
        expectSameText(object);
    }
}

TEST(ReferenceWriter, AwkwardDoublesUnderACommaLocale) {
    test::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a comma decimal point is installed";
    for (double real : awkwardDoubles()) expectSameText(Value(real));
}

// Doubles from random bit patterns cover every exponent; random decimal-looking ones cover the
// short forms that round trips produce.
TEST(ReferenceWriter, MillionsOfRandomValues) {
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 2'000'000; ++i) {
        const uint64_t bits = random();
        double real;
        std::memcpy(&real, &bits, sizeof real);
        expectSameText(Value(real));
    }
    std::uniform_int_distribution<int> digits(1, 17), exponent(-30, 30);
    for (int i = 0; i < 500'000; ++i) {
        const double mantissa = static_cast<double>(random() % 100000000000000000ull);
        expectSameText(
            Value(mantissa / std::pow(10.0, digits(random)) * std::pow(10.0, exponent(random))));
    }
    for (int i = 0; i < 1'000'000; ++i) {
        const int shift = static_cast<int>(random() % 64);
        expectSameText(Value(static_cast<int64_t>(random()) >> shift));
    }
    for (int i = 0; i < 200'000; ++i) {
        std::string text(random() % 24, '\0');
        for (char& c : text) c = static_cast<char>(random());
        expectSameText(Value(text));
    }
}

// Random trees, written in every layout.
TEST(ReferenceWriter, RandomTreesInEveryLayout) {
    std::mt19937_64 random(7);
    std::function<Value(int)> tree = [&](int depth) -> Value {
        const int kind = static_cast<int>(random() % (depth < 4 ? 8 : 6));
        switch (kind) {
        case 0: return Value();
        case 1: return Value(random() % 2 == 0);
        case 2: return Value(static_cast<int64_t>(random()));
        case 3: return Value(static_cast<double>(random() % 1000000) / 1000.0);
        case 4:
        case 5: {
            std::string text(random() % 8, '\0');
            for (char& c : text) c = static_cast<char>(0x1E + random() % 100);
            return Value(text);
        }
        case 6: {
            Value array(Array);
            for (uint64_t n = random() % 5; n > 0; --n) array.push_back(tree(depth + 1));
            return array;
        }
        default: {
            Value object(Object);
            for (uint64_t n = random() % 5; n > 0; --n)
                object.insert(std::string(1, static_cast<char>('a' + random() % 26)) +
                                  std::to_string(random() % 100),
                              tree(depth + 1));
            return object;
        }
        }
    };
    for (int i = 0; i < 2000; ++i) {
        const Value value = tree(0);
        for (uint32_t options : {0x00u, 0x80u, 0x81u, 0x82u, 0x83u, 0x84u, 0x86u})
            expectSameText(value, options);
    }
}

}  // namespace
}  // namespace pocketjson
