// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace pocketjson {

// Layout of the serialised text. The default (0) is compact: no line breaks, no spaces.
class SerializeOption {
public:
    enum Flag : uint32_t {
        // Bits 0-1: indent unit when Pretty is set.
        IndentTwoSpaces = 0x0,
        IndentFourSpaces = 0x1,
        IndentTab = 0x2,
        IndentMask = 0x3,
        CrLf = 0x4,     // line break "\r\n" instead of "\n"
        Pretty = 0x80,  // line breaks and indentation
    };

    SerializeOption(uint32_t flags = 0) : m_flags(flags) {}  // NOLINT: flags convert implicitly

    uint32_t flags() const { return m_flags; }
    bool pretty() const { return (m_flags & Pretty) != 0; }
    // The text of one indent level; the unused value 3 falls back to two spaces.
    const char* indentUnit() const {
        switch (m_flags & IndentMask) {
        case IndentFourSpaces: return "    ";
        case IndentTab: return "\t";
        default: return "  ";
        }
    }
    const char* lineBreak() const { return (m_flags & CrLf) ? "\r\n" : "\n"; }

private:
    uint32_t m_flags;
};

}  // namespace pocketjson
