// SPDX-License-Identifier: Apache-2.0
#include "sim/Base64.h"

#include <stdexcept>

namespace screenio::sim {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string Base64::encode(const uint8_t* data, size_t length) {
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    for (size_t i = 0; i < length; i += 3) {
        uint32_t chunk = static_cast<uint32_t>(data[i]) << 16;
        if (i + 1 < length) chunk |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (i + 2 < length) chunk |= data[i + 2];
        out += kAlphabet[(chunk >> 18) & 63];
        out += kAlphabet[(chunk >> 12) & 63];
        out += i + 1 < length ? kAlphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < length ? kAlphabet[chunk & 63] : '=';
    }
    return out;
}

std::string Base64::encode(const std::vector<uint8_t>& data) {
    return encode(data.data(), data.size());
}

std::vector<uint8_t> Base64::decode(const std::string& text) {
    if (text.size() % 4 != 0)
        throw std::runtime_error("base64 text has a length not a multiple of 4");
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        int pad = 0;
        uint32_t chunk = 0;
        for (size_t j = 0; j < 4; ++j) {
            char c = text[i + j];
            int v = 0;
            if (c == '=' && i + 4 == text.size() && j >= 2) {
                ++pad;
            } else {
                if (pad) throw std::runtime_error("base64 text has data after its padding");
                v = ValueOf(c);
                if (v < 0) throw std::runtime_error("base64 text holds an invalid character");
            }
            chunk = chunk << 6 | static_cast<uint32_t>(v);
        }
        out.push_back(static_cast<uint8_t>(chunk >> 16));
        if (pad < 2) out.push_back(static_cast<uint8_t>(chunk >> 8));
        if (pad < 1) out.push_back(static_cast<uint8_t>(chunk));
    }
    return out;
}

}  // namespace screenio::sim
