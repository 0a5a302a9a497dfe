// SPDX-License-Identifier: Apache-2.0
// Time-zone texts and offsets.
#pragma once

#include <string>

namespace ksys {

// Folds an offset beyond +-720 minutes into -720..720 by whole days of 1440 minutes.
long foldOffsetMinutes(long minutes);

// An offset in seconds east of GMT, rounded to the nearest minute, then folded.
long offsetMinutesFromSeconds(long seconds);

// The zone name of a TZ value (":Europe/Berlin" and "Europe/Berlin" name the same zone; a path
// into a zoneinfo folder names the zone below it).
std::string zoneNameFromTzVariable(const std::string& value);

// The zone a link to a zoneinfo file names: the part after "zoneinfo/"; "" when there is none.
std::string zoneNameFromLinkTarget(const std::string& target);

}  // namespace ksys
