// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cctype>
#include <string_view>

namespace ksys {

// The text without the white space at either end: blanks, tabs and the ends of CRLF lines.
inline std::string_view Trim(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

}  // namespace ksys
