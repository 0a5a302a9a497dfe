// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>

#include "flashkit/flashkit.h"
#include "model/Monitor.h"
#include "model/Version.h"

// The monitor chosen for the update: its versions now and after the update, and the search
// that finds it again after its restart. Used from the main thread and the workers.
class TargetMonitor : public Monitor {
public:
    using Monitor::Monitor;

    // Null when the product and serial cannot be read.
    static std::shared_ptr<TargetMonitor> initWithHandle(void* handle);

    // Reads the displayed devices' versions into version(); false on any failure.
    bool getVersionFromMonitor();
    // The same for the versions the package leaves them with, into updatedVersion().
    bool getUpdatedVersionFromMonitor(FWKfwFile* package);
    // Searches again and takes the handle of the monitor with the same product and serial;
    // false (handle unchanged) when none is found.
    bool updateMonitorHandle();
    bool supportsV3UpdateSystem() const;

    std::optional<Version> version() const;
    std::optional<Version> updatedVersion() const;

private:
    enum class Source { Current, AfterUpdate };
    bool readVersions(Source source, FWKfwFile* package);

    std::optional<Version> m_version;
    std::optional<Version> m_updatedVersion;
};

// The most display-device ids a monitor may report.
constexpr unsigned int kMaxDeviceIds = 128;
// The longest version text, terminator included.
constexpr unsigned int kMaxVersionStringSize = 256;

// The profile's display-device ids written to `ids` (kMaxDeviceIds entries); the count, or 0
// when the profile cannot tell them or has more than kMaxDeviceIds.
unsigned int GetDeviceIDs(FWDeviceProfile* profile, unsigned int* ids);
// The version as the device shows it; nothing when the profile cannot format it or the text
// would not fit kMaxVersionStringSize bytes with its terminator.
std::optional<QString> GetVersionString(FWDeviceProfile* profile, FWDeviceVersion version);
// The device's name as the profile gives it; empty when it has none or it cannot be read.
QString GetDeviceName(FWDeviceProfile* profile, unsigned int deviceID);
