// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "json/Double.h"
#include "json/SerializeOption.h"
#include "json/Value.h"

namespace pocketjson {

// Writes a Value tree as JSON text through an output iterator (a char*, a back_inserter, ...).
//
// Members are written in key order (the byte order of the object's map). Nesting is limited
// to kMaxDepth arrays and objects: the writer recurses once per level, and a tree built in
// code (or one that contains itself) could otherwise exhaust the stack. Deeper trees fail with
// "Nesting is too deep while serializing.". The limit equals the parser's, so that everything
// the parser reads can be written back.
class Serializer {
public:
    static constexpr int kMaxDepth = 512;

    // Appends the text of `value`. On failure returns false and, when `error` is not null,
    // stores the reason there; what was written so far stays written.
    template <class OutputIterator>
    static bool serialize(OutputIterator& out, const Value& value,
                          const SerializeOption& option = SerializeOption(),
                          std::string* error = nullptr) {
        Writer<OutputIterator> writer{out, option, error};
        return writer.value(value, option.pretty() ? 0 : -1, 0);
    }

    // Writes one string literal: the quotes and the escaped bytes.
    template <class OutputIterator>
    static void serialize_string(OutputIterator& out, const std::string& text) {
        const char* p = text.data();
        const char* end = p + text.size();
        *out++ = '"';
        while (p != end) {
            const Escape& escape = s_escapes[static_cast<unsigned char>(*p)];
            if (escape.length == 0) {
                // Copy the run of bytes that need no escape.
                const char* run = p;
                do ++p;
                while (p != end && s_escapes[static_cast<unsigned char>(*p)].length == 0);
                write(out, run, static_cast<size_t>(p - run));
            } else {
                write(out, escape.text, escape.length);
                ++p;
            }
        }
        *out++ = '"';
    }

    // The text of `value` appended to `text` (whole runs at a time, faster than a back_inserter).
    static bool serializeToString(const Value& value, std::string& text,
                                  const SerializeOption& option = SerializeOption(),
                                  std::string* error = nullptr);

private:
    // The escaped form of a byte; length 0 means the byte is written as it is.
    struct Escape {
        char text[7];
        uint8_t length;
    };
    // Built at compile time (constexpr), so it is ready before any dynamic initialisation.
    struct EscapeTable {
        Escape entries[256];
        constexpr EscapeTable();
        constexpr const Escape& operator[](unsigned char c) const { return entries[c]; }
        constexpr void set(int c, const char (&text)[7], uint8_t length);
    };
    static const EscapeTable s_escapes;

    // Iterators over a std::string (see serialize(const Value&, std::string&)) take whole runs.
    template <class OutputIterator, class = void> struct HasAppend : std::false_type {};
    template <class OutputIterator>
    struct HasAppend<OutputIterator, std::void_t<decltype(std::declval<OutputIterator&>().append(
                                         static_cast<const char*>(nullptr), size_t{0}))>>
        : std::true_type {};

    template <class OutputIterator>
    static void write(OutputIterator& out, const char* text, size_t length) {
        if constexpr (HasAppend<OutputIterator>::value) {
            out.append(text, length);
        } else {
            for (size_t i = 0; i < length; ++i) *out++ = text[i];
        }
    }
    template <class OutputIterator> static void write(OutputIterator& out, const char* text) {
        while (*text) *out++ = *text++;
    }

    template <class OutputIterator> struct Writer {
        OutputIterator& out;
        const SerializeOption& option;
        std::string* error;

        bool failWith(const char* message) {
            if (error) *error = message;
            return false;
        }

        // Level -1 writes no line breaks or indents at all.
        void newLine(int level) {
            if (level < 0) return;
            write(out, option.lineBreak());
            const char* unit = option.indentUnit();
            for (int i = 0; i < level; ++i) write(out, unit);
        }

        bool value(const Value& v, int level, int depth) {
            switch (v.type()) {
            case Null: write(out, "null", 4); return true;
            case Boolean:
                if (v.booleanValue())
                    write(out, "true", 4);
                else
                    write(out, "false", 5);
                return true;
            case Integer: {
                char buffer[24];
                const size_t length = formatInteger(v.integerValue(), buffer);
                write(out, buffer, length);
                return true;
            }
            case Real: {
                const double real = v.realValue();
                // NaN and the infinities have no JSON form; nothing is written for them.
                if (real != real || real - real != 0.0)
                    return failWith("Floating point is nan or inf.");
                // Through a buffer, so that the text is appended in one piece.
                char buffer[32];
                char* end = buffer;
                Double(real).toString(end);
                write(out, buffer, static_cast<size_t>(end - buffer));
                return true;
            }
            case String: serialize_string(out, v.stringValue()); return true;
            case Object: return object(v, level, depth);
            case Array: return array(v, level, depth);
            }
            return true;
        }

        bool object(const Value& v, int level, int depth) {
            if (depth >= kMaxDepth) return failWith("Nesting is too deep while serializing.");
            const Value::ObjectType& members = v.objectValue();
            *out++ = '{';
            const int inner = level < 0 ? level : level + 1;
            bool first = true;
            for (const auto& member : members) {
                if (!first) *out++ = ',';
                first = false;
                newLine(inner);
                serialize_string(out, member.first);
                *out++ = ':';
                if (level >= 0) *out++ = ' ';
                if (!value(member.second, inner, depth + 1)) return false;
            }
            if (!members.empty()) newLine(level);
            *out++ = '}';
            return true;
        }

        bool array(const Value& v, int level, int depth) {
            if (depth >= kMaxDepth) return failWith("Nesting is too deep while serializing.");
            const Value::ArrayType& elements = v.arrayValue();
            *out++ = '[';
            const int inner = level < 0 ? level : level + 1;
            bool first = true;
            for (const Value& element : elements) {
                if (!first) *out++ = ',';
                first = false;
                newLine(inner);
                if (!value(element, inner, depth + 1)) return false;
            }
            if (!elements.empty()) newLine(level);
            *out++ = ']';
            return true;
        }
    };

    // "%lld" without going through printf; returns the length written to buffer (>= 20 bytes).
    static size_t formatInteger(int64_t value, char* buffer);
};

}  // namespace pocketjson
