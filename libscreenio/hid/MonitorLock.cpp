// SPDX-License-Identifier: Apache-2.0
#include "hid/MonitorLock.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace screenio::hid {
namespace {

const char kPrefix[] = "screenio/monitor/";

std::string Escaped(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

// FNV-1a, 64 bits: only tells long names apart, it guards nothing.
std::string Hash(const std::string& text) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ull;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) out[size_t(i)] = kHex[hash & 0x0F];
    return out;
}

}  // namespace

const size_t MonitorLock::kMaxSocketName = sizeof(sockaddr_un::sun_path) - 1;

std::string MonitorLock::socketName(const std::string& name) {
    std::string abstractName = kPrefix + Escaped(name);
    if (abstractName.size() <= kMaxSocketName) return abstractName;
    // Cut and hashed: "#" never appears in an escaped name, so no short name looks like this.
    const std::string tail = "#" + Hash(name);
    abstractName.resize(kMaxSocketName - tail.size());
    return abstractName + tail;
}

int MonitorLock::take(const std::string& name, common::UniqueFd* lock) {
    common::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return ENOLCK;
    const std::string abstractName = socketName(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    address.sun_path[0] = '\0';  // the abstract namespace
    std::memcpy(address.sun_path + 1, abstractName.data(), abstractName.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + abstractName.size());
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0)
        return errno == EADDRINUSE ? EBUSY : ENOLCK;
    *lock = std::move(fd);
    return 0;
}

}  // namespace screenio::hid
