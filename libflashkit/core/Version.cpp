// SPDX-License-Identifier: Apache-2.0
#include "core/Version.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace fwu {

namespace {

struct OperatorSpelling {
    Version::Operator op;
    const char* word;
    const char* symbol;
};

constexpr OperatorSpelling kOperators[] = {
    {Version::OperatorEqual, "eq", "=="},  {Version::OperatorNotEqual, "ne", "!="},
    {Version::OperatorLess, "lt", "<"},    {Version::OperatorLessEqual, "le", "<="},
    {Version::OperatorGreater, "gt", ">"}, {Version::OperatorGreaterEqual, "ge", ">="},
};

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

Version::Version(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    uint64_t value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > UINT32_MAX) return;  // out of range: no version
    }
    if (digits) m_value = static_cast<uint32_t>(value);
}

bool Version::match(const Version& other, Operator op) const {
    if (empty() || other.empty()) return true;
    const uint32_t a = m_value, b = other.m_value;
    switch (op) {
    case OperatorEqual: return a == b;
    case OperatorNotEqual: return a != b;
    case OperatorLess: return a < b;
    case OperatorLessEqual: return a <= b;
    case OperatorGreater: return a > b;
    case OperatorGreaterEqual: return a >= b;
    default: return false;
    }
}

std::string Version::toString(uint32_t width, FWVersionRepresentation representation) const {
    // The width is clamped so that a caller's odd width cannot ask for a huge buffer.
    const int w = static_cast<int>(width > 64 ? 64 : width);
    char text[80];
    std::snprintf(text, sizeof text,
                  representation == FWVersionRepresentationHexadecimal ? "%0*X" : "%0*u", w,
                  static_cast<unsigned>(m_value));
    std::string result = text;
    // Guard against digit grouping of a locale.
    const size_t sep = result.find_first_of(".,");
    if (sep != std::string::npos) result.erase(sep, 1);
    return result;
}

Version::Operator Version::toOperator(const std::string& text) {
    for (const auto& spelling : kOperators)
        // The length check keeps a text with an embedded zero byte from passing as a word.
        if ((text.size() == std::strlen(spelling.word) &&
             strcasecmp(text.c_str(), spelling.word) == 0) ||
            text == spelling.symbol)
            return spelling.op;
    return OperatorNone;
}

std::string Version::toString(Operator op) {
    for (const auto& spelling : kOperators)
        if (spelling.op == op) return spelling.word;
    return std::string();
}

}  // namespace fwu
