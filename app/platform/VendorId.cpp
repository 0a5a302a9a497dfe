// SPDX-License-Identifier: Apache-2.0
#include "platform/VendorId.h"

#include <QByteArray>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

// The same reading as the monitor-control library's, so that the updater re-scans for exactly
// the devices the library takes for monitors.
std::optional<uint16_t> ParseVendorId(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const char* start = bytes.constData();
    if (!*start) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    // Base 0 takes "0x1a2b" as hexadecimal; a bare "1a2b" is hexadecimal too, as lsusb shows ids.
    const bool prefixed = start[0] == '0' && (start[1] == 'x' || start[1] == 'X');
    const unsigned long value = std::strtoul(start, &end, prefixed ? 0 : 16);
    if (errno != 0 || end == start || *end != '\0' || value > 0xFFFF || start[0] == '-')
        return std::nullopt;
    return uint16_t(value);
}

uint16_t VendorId() {
    const uint16_t built = PANELFLASHER_USB_VENDOR_ID;
    const QString text = qEnvironmentVariable("SCREENIO_USB_VENDOR_ID");
    if (text.isEmpty()) return built;
    if (const std::optional<uint16_t> value = ParseVendorId(text)) return *value;
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true))
        std::fprintf(stderr,
                     "PanelFlasher: SCREENIO_USB_VENDOR_ID=%s is not a 16-bit USB vendor id; "
                     "using 0x%04x\n",
                     text.toLocal8Bit().constData(), unsigned(built));
    return built;
}
