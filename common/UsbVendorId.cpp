// SPDX-License-Identifier: Apache-2.0
#include "UsbVendorId.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace common {

std::optional<uint16_t> ParseVendorId(const char* text) {
    if (!text || !*text) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    // Base 0 takes "0x1a2b" as hexadecimal; a bare "1a2b" is hexadecimal too.
    const bool prefixed = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned long value = std::strtoul(text, &end, prefixed ? 0 : 16);
    if (errno != 0 || end == text || *end != '\0' || value > 0xFFFF || text[0] == '-')
        return std::nullopt;
    return uint16_t(value);
}

uint16_t VendorIdFromEnvironment(uint16_t built, const char* program) {
    const char* text = std::getenv("SCREENIO_USB_VENDOR_ID");
    if (!text || !*text) return built;
    if (const std::optional<uint16_t> value = ParseVendorId(text)) return *value;
    static std::atomic<bool> sWarned{false};
    if (!sWarned.exchange(true))
        std::fprintf(stderr,
                     "%s: SCREENIO_USB_VENDOR_ID=%s is not a 16-bit USB vendor id; using 0x%04x\n",
                     program, text, unsigned(built));
    return built;
}

}  // namespace common
