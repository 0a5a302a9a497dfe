// SPDX-License-Identifier: Apache-2.0
// Locale and time zone as the C library sees them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ksys {

class LocaleFacts {
public:
    // The locale name the environment selects for messages: LC_ALL, else LC_MESSAGES, else
    // LANG; "C" when none is set.
    static std::string localeName();
    // Decimal and grouping separators of the environment's numeric locale; those of "C" when
    // that locale is not installed.
    static std::string decimalSeparator();
    static std::string thousandSeparator();
    // $LANGUAGE's languages, else the locale's language alone.
    static std::vector<std::string> preferredLanguages();
    static std::string timeZoneName();
    // Seconds east of GMT now; none when local time cannot be computed.
    static std::optional<long> timeZoneOffsetSeconds();
};

}  // namespace ksys
