// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "json/AbstractParseHandler.h"
#include "json/ParseOption.h"
#include "json/Value.h"

namespace pocketjson {

// Reads JSON text into a Value tree or into a stream of handler events.
//
// The grammar is JSON's with these deliberate deviations:
// - an array or object left open at the very end of the text (right after '[', '{' or ',')
//   ends the parse successfully with what was read so far;
// - string bytes are copied as they are: raw control bytes are accepted, UTF-8 is not checked;
// - a zero byte after the top-level value (and whitespace) ends the text;
// - a literal or number ends at the first byte that cannot continue it; only the top level
//   looks at what follows;
// - duplicate object keys keep their first value.
//
// Nesting is limited to kMaxDepth arrays and objects: each level recurses once, and an
// unbounded text of '[' bytes would otherwise exhaust the stack. Deeper texts fail with
// "Nesting is too deep while parsing.".
//
// A parser is meant for one text: error() holds the message of the last failure. On failure
// the target value keeps what was read up to that point. Bad input never throws; allocation
// failure does.
class Parser {
public:
    static constexpr int kMaxDepth = 512;

    // The input bytes: the current position and the end. Nothing at or past the end is read,
    // so the text need not end with a zero byte.
    class Iterator {
    public:
        Iterator(const char* begin, const char* end) : m_position(begin), m_end(end) {}
        explicit Iterator(const std::string& text)
            : Iterator(text.data(), text.data() + text.size()) {}

        bool atEnd() const { return m_position == m_end; }
        // The current byte; only valid when !atEnd().
        unsigned char operator*() const { return static_cast<unsigned char>(*m_position); }
        Iterator& operator++() {
            ++m_position;
            return *this;
        }
        const char* position() const { return m_position; }
        const char* end() const { return m_end; }
        size_t remaining() const { return static_cast<size_t>(m_end - m_position); }
        void advance(size_t count) { m_position += count; }

    private:
        const char* m_position;
        const char* m_end;
    };

    Parser() = default;

    // Parses a whole text: skips a UTF-8 byte order mark, reads one value into `value` and,
    // unless AllowTrailingCharacters is set, fails when anything but whitespace follows it
    // before the end of the text or a zero byte.
    bool parse(const std::string& text, Value& value, const ParseOption& option = ParseOption());
    bool parse(const char* begin, const char* end, Value& value,
               const ParseOption& option = ParseOption());
    // The same with events to `handler` instead of a tree.
    bool parse(const std::string& text, AbstractParseHandler& handler,
               const ParseOption& option = ParseOption());
    bool parse(const char* begin, const char* end, AbstractParseHandler& handler,
               const ParseOption& option = ParseOption());

    // The building blocks. Each reads from the iterator's position and leaves it after what it
    // read. A value goes into `value` when that is not null, else to `handler` when that is not
    // null, else nowhere.
    bool parse_value(Value* value, AbstractParseHandler* handler, Iterator& it,
                     const ParseOption& option);
    bool parse_object(Value* value, AbstractParseHandler* handler, Iterator& it,
                      const ParseOption& option);
    bool parse_array(Value* value, AbstractParseHandler* handler, Iterator& it,
                     const ParseOption& option);
    bool parse_string(Value* value, AbstractParseHandler* handler, Iterator& it);
    bool parse_number(Value* value, AbstractParseHandler* handler, Iterator& it);
    // Reads a string literal (the opening quote is at the position) and appends its bytes.
    bool parse_string(std::string& out, Iterator& it);
    // Reads the code unit after "\u" (the position is at the first hexadecimal digit), and a
    // low surrogate after a high one, and appends the UTF-8 form.
    bool parse_unicode(std::string& out, Iterator& it);
    // Reads exactly four hexadecimal digits.
    bool parse_hex(uint16_t& out, Iterator& it);

    // Empty until a parse fails.
    const std::string& error() const { return m_error; }

private:
    bool fail(const char* message);
    // The loops of parse_array and parse_object, after the opening bracket.
    bool parseElements(Value* value, AbstractParseHandler* handler, Iterator& it,
                       const ParseOption& option);
    bool parseMembers(Value* value, AbstractParseHandler* handler, Iterator& it,
                      const ParseOption& option);
    bool parse_literal(Value* value, AbstractParseHandler* handler, Iterator& it);

    std::string m_error;
    int m_depth = 0;
    // Scratch stacks: the elements and members of the arrays and objects being read, nested
    // levels above their parents.
    std::vector<Value> m_elementStack;
    std::vector<ObjectMap::Member> m_memberStack;
};

}  // namespace pocketjson
