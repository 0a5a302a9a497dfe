// SPDX-License-Identifier: Apache-2.0
#include "rules/PciIds.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace ksys {

namespace {

std::string Hex4(unsigned int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xffffu);
    return text;
}

}  // namespace

std::string PciDeviceName(const std::string& database, unsigned int vendorId,
                          unsigned int deviceId) {
    const std::string vendor = Hex4(vendorId), device = "\t" + Hex4(deviceId);
    std::istringstream lines(database);
    std::string line;
    bool inVendor = false;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] != '\t') {
            // Vendor lines: "8086  Intel Corporation"; a new vendor ends the previous one.
            if (inVendor) return std::string();
            inVendor = line.compare(0, 4, vendor) == 0 && line.size() > 4 && line[4] == ' ';
            continue;
        }
        if (inVendor && line.compare(0, device.size(), device) == 0 && line.size() > 5 &&
            line[5] == ' ') {
            const std::size_t nameStart = line.find_first_not_of(' ', 5);
            return nameStart == std::string::npos ? std::string() : line.substr(nameStart);
        }
    }
    return std::string();
}

long ParseSysfsNumber(const std::string& text, int base) {
    if (text.empty()) return -1;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, base);
    if (errno != 0 || end == text.c_str() || value < 0) return -1;
    while (*end == '\n' || *end == ' ') ++end;
    // A NUL byte inside the text would otherwise end it early.
    return end == text.c_str() + text.size() ? value : -1;
}

}  // namespace ksys
