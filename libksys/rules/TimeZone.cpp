// SPDX-License-Identifier: Apache-2.0
#include "rules/TimeZone.h"

#include <cmath>

namespace ksys {

long FoldOffsetMinutes(long minutes) {
    constexpr long kDay = 1440;
    while (minutes > 720) minutes -= kDay;
    while (minutes < -720) minutes += kDay;
    return minutes;
}

long OffsetMinutesFromSeconds(long seconds) {
    return FoldOffsetMinutes(std::lround(static_cast<double>(seconds) / 60.0));
}

std::string ZoneNameFromTzVariable(const std::string& value) {
    std::string zone = !value.empty() && value[0] == ':' ? value.substr(1) : value;
    const std::string fromLink = ZoneNameFromLinkTarget(zone);
    return fromLink.empty() ? zone : fromLink;
}

std::string ZoneNameFromLinkTarget(const std::string& target) {
    static const std::string kMarker = "zoneinfo/";
    const std::size_t at = target.rfind(kMarker);
    if (at == std::string::npos) return std::string();
    std::string zone = target.substr(at + kMarker.size());
    // The "posix/" and "right/" trees hold the same zones under another rule set.
    for (const char* prefix : {"posix/", "right/"}) {
        const std::string p(prefix);
        if (zone.compare(0, p.size(), p) == 0) zone.erase(0, p.size());
    }
    return zone;
}

}  // namespace ksys
