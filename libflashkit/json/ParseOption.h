// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace pocketjson {

// Flags that relax the parser's grammar. The default (0) is strict apart from the deviations
// the parser always makes (see Parser.h).
class ParseOption {
public:
    enum Flag : uint32_t {
        AllowTrailingComma = 0x1,       // accept a comma before '}' or ']'
        AllowTrailingCharacters = 0x2,  // the top-level parse ignores what follows the value
    };

    ParseOption(uint32_t flags = 0) : m_flags(flags) {}  // NOLINT: flags convert implicitly

    uint32_t flags() const { return m_flags; }
    bool has(Flag flag) const { return (m_flags & flag) != 0; }

private:
    uint32_t m_flags;
};

}  // namespace pocketjson
