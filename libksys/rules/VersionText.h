// SPDX-License-Identifier: Apache-2.0
// Operating-system name and version texts.
#pragma once

#include <map>
#include <string>

namespace ksys {

// The version cut to its first two parts when the major number is at most 10 (whole when it
// has no second "."), else cut to the major number. Text without a leading number is kept.
std::string ShortVersionText(const std::string& version);

// "NAME VERSION", or NAME alone when there is no version.
std::string OsLongName(const std::string& name, const std::string& version);
std::string OsShortName(const std::string& name, const std::string& version);

// KEY=VALUE lines of an os-release file; values may be quoted with " or ' and use \ escapes
// inside double quotes; comments and malformed lines are skipped.
std::map<std::string, std::string> ParseOsRelease(const std::string& text);

}  // namespace ksys
