// SPDX-License-Identifier: Apache-2.0
// Time-zone texts and offsets.
#pragma once

#include <string>

namespace ksys {

// Folds an offset beyond +-720 minutes into -720..720 by whole days of 1440 minutes.
long FoldOffsetMinutes(long minutes);

// An offset in seconds east of GMT, rounded to the nearest minute, then folded.
long OffsetMinutesFromSeconds(long seconds);

// The zone name of a TZ value (":Europe/Berlin" and "Europe/Berlin" name the same zone; a path
// into a zoneinfo folder names the zone below it).
std::string ZoneNameFromTzVariable(const std::string& value);

// The zone a link to a zoneinfo file names: the part after "zoneinfo/"; "" when there is none.
std::string ZoneNameFromLinkTarget(const std::string& target);

}  // namespace ksys
