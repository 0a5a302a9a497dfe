// SPDX-License-Identifier: Apache-2.0
#include "core/VendorId.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace screenio {

uint16_t UsbVendorId() {
    const uint16_t built = SCREENIO_USB_VENDOR_ID;
    const char* text = std::getenv("SCREENIO_USB_VENDOR_ID");
    if (!text || !*text) return built;
    errno = 0;
    char* end = nullptr;
    // Base 0 takes "0x1a2b" as hexadecimal; a bare "1a2b" is hexadecimal too, as lsusb shows ids.
    const bool prefixed = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long value = std::strtoul(text, &end, prefixed ? 0 : 16);
    if (errno != 0 || end == text || *end != '\0' || value > 0xFFFF || text[0] == '-') {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true))
            std::fprintf(stderr,
                         "screenio: SCREENIO_USB_VENDOR_ID=%s is not a 16-bit USB vendor id; "
                         "using 0x%04x\n",
                         text, unsigned(built));
        return built;
    }
    return uint16_t(value);
}

}  // namespace screenio
