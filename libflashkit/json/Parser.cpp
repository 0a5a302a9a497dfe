// SPDX-License-Identifier: Apache-2.0
#include "json/Parser.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <limits>
#include <system_error>
#include <utility>

#include "HexDigit.h"

#include "json/CodePoint.h"
#include "json/Double.h"

namespace pocketjson {

namespace {

const char kGarbage[] = "Gabage string exists after json string.";
const char kUnexpectedCharacter[] = "Unexpected character exists while parsing.";
const char kInvalidBoolean[] = "Invalid boolean type string exists.";
const char kInvalidNull[] = "Invalid null type string exists.";
const char kBadEscape[] = "Unexpected escape character is found while parsing string.";
const char kUnterminatedString[] = "Expected string ending character '\"' is not found.";
const char kBadSurrogate[] = "Invalid unicode surrogate pair is found while parsing string.";
const char kBadHex[] = "Invalid unicode hex string is found while parsing string.";
const char kObjectSyntax[] = "Unexpected string exists while parsing object.";
const char kObjectComma[] = "Unexpected comma exists while parsing object.";
const char kArrayComma[] = "Unexpected comma exists while parsing array.";
const char kArraySyntax[] = "Unexpected string exists while parsing array.";
const char kLeadingZero[] = "Unexpected '0' character is found while parsing number.";
const char kNoDigit[] = "Digit is not found while parsing number.";
const char kNoFractionDigit[] = "Digit is not found after the decimal point while parsing number.";
const char kNoExponentDigit[] = "Digit is not found after exponent keyword while parsing number.";
const char kBadReal[] = "Failed to parse floating point.";
const char kCancelled[] = "SAX handler cancels parsing.";
const char kTooDeep[] = "Nesting is too deep while parsing.";

inline bool IsWhitespace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

inline void SkipWhitespace(Parser::Iterator& it) {
    while (!it.atEnd() && IsWhitespace(*it)) ++it;
}

// Bytes that a string copies as they are: everything but the closing quote and the backslash.
struct PlainByteTable {
    bool plain[256];
    constexpr PlainByteTable() : plain() {
        for (int i = 0; i < 256; ++i) plain[i] = i != '"' && i != '\\';
    }
};
constexpr PlainByteTable kPlainBytes;

// Counts the nesting of arrays and objects for the depth limit.
class DepthScope {
public:
    explicit DepthScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthScope() { --m_depth; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

private:
    int& m_depth;
};

// Drops what a parse level left on a scratch stack, however the level ends.
template <class T> class StackTrim {
public:
    StackTrim(std::vector<T>& stack, size_t base) : m_stack(stack), m_base(base) {}
    ~StackTrim() {
        m_stack.erase(m_stack.begin() + static_cast<std::ptrdiff_t>(m_base), m_stack.end());
    }
    StackTrim(const StackTrim&) = delete;
    StackTrim& operator=(const StackTrim&) = delete;

private:
    std::vector<T>& m_stack;
    size_t m_base;
};

}  // namespace

bool Parser::fail(const char* message) {
    m_error = message;
    return false;
}

bool Parser::parse(const std::string& text, Value& value, const ParseOption& option) {
    return parse(text.data(), text.data() + text.size(), value, option);
}

bool Parser::parse(const std::string& text, AbstractParseHandler& handler,
                   const ParseOption& option) {
    return parse(text.data(), text.data() + text.size(), handler, option);
}

namespace {

void SkipByteOrderMark(Parser::Iterator& it) {
    // Each byte is looked at only when the one before it matched.
    if (it.atEnd() || *it != 0xEF) return;
    ++it;
    if (it.atEnd() || *it != 0xBB) return;
    ++it;
    if (!it.atEnd() && *it == 0xBF) ++it;
}

}  // namespace

bool Parser::parse(const char* begin, const char* end, Value& value, const ParseOption& option) {
    // The containers of one document are made together and mostly die together.
    ContainerArena::Scope arena;
    m_error.clear();
    m_depth = 0;
    Iterator it(begin, end);
    SkipByteOrderMark(it);
    if (!parse_value(&value, nullptr, it, option)) return false;
    if (option.has(ParseOption::AllowTrailingCharacters)) return true;
    SkipWhitespace(it);
    // A zero byte ends the text, as it would for a C string.
    if (!it.atEnd() && *it != 0) return fail(kGarbage);
    return true;
}

bool Parser::parse(const char* begin, const char* end, AbstractParseHandler& handler,
                   const ParseOption& option) {
    m_error.clear();
    m_depth = 0;
    Iterator it(begin, end);
    SkipByteOrderMark(it);
    if (!parse_value(nullptr, &handler, it, option)) return false;
    if (option.has(ParseOption::AllowTrailingCharacters)) return true;
    SkipWhitespace(it);
    if (!it.atEnd() && *it != 0) return fail(kGarbage);
    return true;
}

bool Parser::parse_value(Value* value, AbstractParseHandler* handler, Iterator& it,
                         const ParseOption& option) {
    SkipWhitespace(it);
    if (it.atEnd()) return fail(kUnexpectedCharacter);
    switch (*it) {
    case '"': return parse_string(value, handler, it);
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9': return parse_number(value, handler, it);
    case '[': return parse_array(value, handler, it, option);
    case '{': return parse_object(value, handler, it, option);
    case 't':
    case 'f':
    case 'n': return parse_literal(value, handler, it);
    default: return fail(kUnexpectedCharacter);
    }
}

bool Parser::parse_literal(Value* value, AbstractParseHandler* handler, Iterator& it) {
    const unsigned char first = *it;
    const char* word = first == 't' ? "true" : first == 'f' ? "false" : "null";
    const size_t length = first == 'f' ? 5 : 4;
    if (it.remaining() < length || std::memcmp(it.position(), word, length) != 0)
        return fail(first == 'n' ? kInvalidNull : kInvalidBoolean);
    it.advance(length);
    if (value) {
        *value = first == 'n' ? Value() : Value(first == 't');
        return true;
    }
    if (!handler) return true;
    const bool accepted = first == 'n' ? handler->onNull() : handler->onBoolean(first == 't');
    return accepted || fail(kCancelled);
}

bool Parser::parse_array(Value* value, AbstractParseHandler* handler, Iterator& it,
                         const ParseOption& option) {
    // The building blocks are public: a caller may hand over a position that is not ours.
    if (it.atEnd() || *it != '[') return fail(kUnexpectedCharacter);
    if (m_depth >= kMaxDepth) return fail(kTooDeep);
    DepthScope scope(m_depth);
    if (!value) {
        if (handler && !handler->onBeginArray()) return fail(kCancelled);
        return parseElements(nullptr, handler, it, option);
    }
    if (!value->isArray()) *value = Value(Array);
    // The elements gather on the scratch stack and move into the array in one allocation of
    // the right size, also after a failure, so that the caller sees the partial tree. An
    // existing array keeps its elements and is appended to.
    const size_t base = m_elementStack.size();
    StackTrim<Value> trim(m_elementStack, base);
    const bool ok = parseElements(value, nullptr, it, option);
    Value::ArrayType& elements = value->arrayContent();
    elements.insert(elements.end(), std::make_move_iterator(m_elementStack.begin() + base),
                    std::make_move_iterator(m_elementStack.end()));
    return ok;
}

bool Parser::parseElements(Value* value, AbstractParseHandler* handler, Iterator& it,
                           const ParseOption& option) {
    size_t count = 0;
    for (;;) {
        ++it;  // past '[' or ','
        // An array left open at the very end of the text ends the parse with what it holds.
        if (it.atEnd()) return true;
        SkipWhitespace(it);
        if (!it.atEnd() && *it == ']') {
            if (count > 0 && !option.has(ParseOption::AllowTrailingComma)) return fail(kArrayComma);
            ++it;
            if (!value && handler && !handler->onEndArray(count)) return fail(kCancelled);
            return true;
        }
        if (value) {
            // Kept even when it failed. Read into a local first: nested arrays grow the stack.
            Value element;
            const bool ok = parse_value(&element, nullptr, it, option);
            m_elementStack.push_back(std::move(element));
            if (!ok) return false;
        } else if (!parse_value(nullptr, handler, it, option)) {
            return false;
        }
        ++count;
        SkipWhitespace(it);
        if (it.atEnd()) return fail(kArraySyntax);
        if (*it == ',') continue;
        if (*it != ']') return fail(kArraySyntax);
        ++it;
        if (!value && handler && !handler->onEndArray(count)) return fail(kCancelled);
        return true;
    }
}

bool Parser::parse_object(Value* value, AbstractParseHandler* handler, Iterator& it,
                          const ParseOption& option) {
    if (it.atEnd() || *it != '{') return fail(kUnexpectedCharacter);
    if (m_depth >= kMaxDepth) return fail(kTooDeep);
    DepthScope scope(m_depth);
    if (!value) {
        if (handler && !handler->onBeginObject()) return fail(kCancelled);
        return parseMembers(nullptr, handler, it, option);
    }
    if (!value->isObject()) *value = Value(Object);
    // As for arrays: the members gather on the scratch stack and join the object at the end,
    // which puts them in key order (a key already present keeps its first member).
    const size_t base = m_memberStack.size();
    StackTrim<ObjectMap::Member> trim(m_memberStack, base);
    const bool ok = parseMembers(value, nullptr, it, option);
    value->objectContent().appendMembers(m_memberStack.begin() + static_cast<std::ptrdiff_t>(base),
                                         m_memberStack.end());
    return ok;
}

bool Parser::parseMembers(Value* value, AbstractParseHandler* handler, Iterator& it,
                          const ParseOption& option) {
    size_t count = 0;
    for (;;) {
        ++it;                         // past '{' or ','
        if (it.atEnd()) return true;  // left open at the end of the text, as for arrays
        SkipWhitespace(it);
        if (it.atEnd()) return fail(kObjectSyntax);
        if (*it == '}') {
            if (count > 0 && !option.has(ParseOption::AllowTrailingComma))
                return fail(kObjectComma);
            ++it;
            if (!value && handler && !handler->onEndObject(count)) return fail(kCancelled);
            return true;
        }
        if (*it != '"') return fail(kObjectSyntax);
        std::string key;
        if (!parse_string(key, it)) return false;
        if (!value && handler && !handler->onKey(key)) return fail(kCancelled);
        SkipWhitespace(it);
        if (it.atEnd() || *it != ':') return fail(kObjectSyntax);
        ++it;
        if (value) {
            Value member;  // kept even when it failed
            const bool ok = parse_value(&member, nullptr, it, option);
            m_memberStack.emplace_back(std::move(key), std::move(member));
            if (!ok) return false;
        } else if (!parse_value(nullptr, handler, it, option)) {
            return false;
        }
        ++count;
        SkipWhitespace(it);
        if (it.atEnd()) return fail(kObjectSyntax);
        if (*it == ',') continue;
        if (*it != '}') return fail(kObjectSyntax);
        ++it;
        if (!value && handler && !handler->onEndObject(count)) return fail(kCancelled);
        return true;
    }
}

bool Parser::parse_string(Value* value, AbstractParseHandler* handler, Iterator& it) {
    std::string text;
    if (!parse_string(text, it)) return false;
    if (value) {
        if (value->isString() && !value->isShared())
            value->setString(text);
        else
            *value = Value(std::move(text));
        return true;
    }
    return !handler || handler->onString(text) || fail(kCancelled);
}

bool Parser::parse_string(std::string& out, Iterator& it) {
    if (it.atEnd() || *it != '"') return fail(kUnexpectedCharacter);
    ++it;
    for (;;) {
        // Copy the run of plain bytes in one go.
        const char* run = it.position();
        const char* end = it.end();
        const char* p = run;
        while (p != end && kPlainBytes.plain[static_cast<unsigned char>(*p)]) ++p;
        out.append(run, static_cast<size_t>(p - run));
        it.advance(static_cast<size_t>(p - run));
        if (it.atEnd()) return fail(kUnterminatedString);
        if (*it == '"') {
            ++it;
            return true;
        }
        ++it;  // past the backslash
        if (it.atEnd()) return fail(kBadEscape);
        char decoded;
        switch (*it) {
        case '"': decoded = '"'; break;
        case '/': decoded = '/'; break;
        case '\\': decoded = '\\'; break;
        case 'b': decoded = '\b'; break;
        case 'f': decoded = '\f'; break;
        case 'n': decoded = '\n'; break;
        case 'r': decoded = '\r'; break;
        case 't': decoded = '\t'; break;
        case 'u':
            ++it;
            if (!parse_unicode(out, it)) return false;
            continue;
        default: return fail(kBadEscape);
        }
        out.push_back(decoded);
        ++it;
    }
}

bool Parser::parse_unicode(std::string& out, Iterator& it) {
    uint16_t unit = 0;
    if (!parse_hex(unit, it)) return false;
    auto sink = std::back_inserter(out);
    if (unit < 0xD800 || unit > 0xDFFF) {
        CodePoint(unit).toUtf8(sink);
        return true;
    }
    if (unit >= 0xDC00) return fail(kBadSurrogate);  // a low surrogate needs a high one first
    if (it.remaining() < 2 || it.position()[0] != '\\' || it.position()[1] != 'u')
        return fail(kBadSurrogate);
    it.advance(2);
    uint16_t low = 0;
    if (!parse_hex(low, it)) return false;
    if (low < 0xDC00 || low > 0xDFFF) return fail(kBadSurrogate);
    const uint32_t codePoint = 0x10000u + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
    CodePoint(codePoint).toUtf8(sink);
    return true;
}

bool Parser::parse_hex(uint16_t& out, Iterator& it) {
    if (it.remaining() < 4) return fail(kBadHex);
    uint16_t result = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = common::HexDigitValue(it.position()[i]);
        if (digit < 0) return fail(kBadHex);
        result = static_cast<uint16_t>((result << 4) | digit);
    }
    it.advance(4);
    out = result;
    return true;
}

namespace {

// What the scan of a number found: its text for the conversion to a double, and the integer
// when it is one.
struct NumberText {
    const char* start = nullptr;
    const char* end = nullptr;  // of the text passed on: without an exponent of value zero
    bool negative = false;
    int64_t magnitude = 0;
    bool tooLarge = false;  // the digits no longer fit a signed 64-bit integer
    bool fraction = false;
    bool exponentNonZero = false;

    bool isReal() const { return tooLarge || fraction || exponentNonZero; }
};

// The integer part: one digit or more, no leading zero before another digit. Returns the
// message of a failure, else nullptr.
const char* ScanIntegerPart(Parser::Iterator& it, NumberText& number) {
    if (it.atEnd() || !IsDigit(*it)) return kNoDigit;
    if (*it == '0') {
        ++it;
        return !it.atEnd() && IsDigit(*it) ? kLeadingZero : nullptr;
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    while (!it.atEnd() && IsDigit(*it)) {
        const int digit = *it - '0';
        if (!number.tooLarge) {
            if (number.magnitude > (kMax - digit) / 10)
                number.tooLarge = true;
            else
                number.magnitude = number.magnitude * 10 + digit;
        }
        ++it;
    }
    return nullptr;
}

const char* ScanFraction(Parser::Iterator& it, NumberText& number) {
    if (it.atEnd() || *it != '.') return nullptr;
    ++it;
    if (it.atEnd() || !IsDigit(*it)) return kNoFractionDigit;
    while (!it.atEnd() && IsDigit(*it)) ++it;
    number.fraction = true;
    return nullptr;
}

// An exponent of value zero ("1e0", "1E-00") neither makes the number a Real nor is passed on
// to the conversion.
const char* ScanExponent(Parser::Iterator& it, NumberText& number) {
    number.end = it.position();
    if (it.atEnd() || (*it != 'e' && *it != 'E')) return nullptr;
    ++it;
    if (!it.atEnd() && (*it == '-' || *it == '+')) ++it;
    if (it.atEnd() || !IsDigit(*it)) return kNoExponentDigit;
    while (!it.atEnd() && IsDigit(*it)) {
        if (*it != '0') number.exponentNonZero = true;
        ++it;
    }
    if (number.exponentNonZero) number.end = it.position();
    return nullptr;
}

const char* ScanNumber(Parser::Iterator& it, NumberText& number) {
    number.start = it.position();
    if (!it.atEnd() && *it == '-') {
        number.negative = true;
        ++it;
    }
    const char* error = ScanIntegerPart(it, number);
    if (!error) error = ScanFraction(it, number);
    if (!error) error = ScanExponent(it, number);
    return error;
}

// from_chars reads the JSON number grammar without looking at the locale and rounds correctly,
// as strtod does, so it gives strToDouble's result at a fraction of the cost. Out of range it
// reports an error instead of strtod's infinity or zero, and then strToDouble has the last word.
bool ConvertReal(const NumberText& number, double& real) {
    const auto result = std::from_chars(number.start, number.end, real);
    if (result.ec == std::errc() && result.ptr == number.end) return true;
    bool ok = false;
    real = Double::strToDouble(number.start, static_cast<size_t>(number.end - number.start), &ok);
    return ok;
}

}  // namespace

bool Parser::parse_number(Value* value, AbstractParseHandler* handler, Iterator& it) {
    NumberText number;
    if (const char* error = ScanNumber(it, number)) return fail(error);
    if (number.isReal()) {
        double real = 0.0;
        if (!ConvertReal(number, real)) return fail(kBadReal);
        if (value) {
            *value = Value(real);
            return true;
        }
        return !handler || handler->onReal(real) || fail(kCancelled);
    }
    const int64_t integer = number.negative ? -number.magnitude : number.magnitude;
    if (value) {
        *value = Value(integer);
        return true;
    }
    return !handler || handler->onInteger(integer) || fail(kCancelled);
}

}  // namespace pocketjson
