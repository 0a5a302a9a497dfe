// SPDX-License-Identifier: Apache-2.0
#include "json/Serializer.h"

namespace pocketjson {

namespace {

// An output iterator that appends to a std::string and takes whole runs at once.
class StringAppender {
public:
    explicit StringAppender(std::string& text) : m_text(text) {}
    StringAppender& operator*() { return *this; }
    StringAppender& operator++() { return *this; }
    StringAppender& operator++(int) { return *this; }
    StringAppender& operator=(char c) {
        m_text.push_back(c);
        return *this;
    }
    void append(const char* text, size_t length) { m_text.append(text, length); }

private:
    std::string& m_text;
};

}  // namespace

constexpr void Serializer::EscapeTable::set(int c, const char (&text)[7], uint8_t length) {
    for (int i = 0; i < 7; ++i) entries[c].text[i] = text[i];
    entries[c].length = length;
}

// Control bytes and DEL as \u00xx (lowercase digits), the usual short escapes where JSON has
// one; every other byte, the slash and bytes from 0x80 included, unchanged.
constexpr Serializer::EscapeTable::EscapeTable() : entries() {
    const char hex[] = "0123456789abcdef";
    for (int c = 0; c < 0x20; ++c) set(c, {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF], 0}, 6);
    set(0x7F, {'\\', 'u', '0', '0', '7', 'f', 0}, 6);
    set('\b', {'\\', 'b', 0, 0, 0, 0, 0}, 2);
    set('\t', {'\\', 't', 0, 0, 0, 0, 0}, 2);
    set('\n', {'\\', 'n', 0, 0, 0, 0, 0}, 2);
    set('\f', {'\\', 'f', 0, 0, 0, 0, 0}, 2);
    set('\r', {'\\', 'r', 0, 0, 0, 0, 0}, 2);
    set('"', {'\\', '"', 0, 0, 0, 0, 0}, 2);
    set('\\', {'\\', '\\', 0, 0, 0, 0, 0}, 2);
}

const Serializer::EscapeTable Serializer::s_escapes;

bool Serializer::serializeToString(const Value& value, std::string& text,
                                   const SerializeOption& option, std::string* error) {
    StringAppender out(text);
    return serialize(out, value, option, error);
}

namespace {

// "00" to "99", so that the digits go out two at a time.
struct DigitPairs {
    char text[200];
    constexpr DigitPairs() : text() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = static_cast<char>('0' + i / 10);
            text[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr DigitPairs kDigitPairs;

}  // namespace

size_t Serializer::formatInteger(int64_t value, char* buffer) {
    // The magnitude as unsigned, so that the most negative value has one too.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char digits[20];
    char* p = digits + sizeof digits;  // filled from the back
    while (magnitude >= 100) {
        const size_t pair = static_cast<size_t>(magnitude % 100) * 2;
        magnitude /= 100;
        *--p = kDigitPairs.text[pair + 1];
        *--p = kDigitPairs.text[pair];
    }
    if (magnitude >= 10) {
        const size_t pair = static_cast<size_t>(magnitude) * 2;
        *--p = kDigitPairs.text[pair + 1];
        *--p = kDigitPairs.text[pair];
    } else {
        *--p = static_cast<char>('0' + magnitude);
    }
    size_t length = 0;
    if (value < 0) buffer[length++] = '-';
    const size_t count = static_cast<size_t>(digits + sizeof digits - p);
    for (size_t i = 0; i < count; ++i) buffer[length++] = p[i];
    return length;
}

}  // namespace pocketjson
