// SPDX-License-Identifier: Apache-2.0
#include "MonitorList.h"

#include <cstdio>
#include <optional>
#include <string>

#include "Failure.h"
#include "Handles.h"
#include "JsonOutput.h"
#include "MonitorState.h"
#include "screenio/screenio.h"

namespace flashkit {
namespace {

const char kConnectAdvice[] =
    "Connect the monitor with its USB cable and switch it on, then run the command again "
    "(to try the tool without a monitor, set SCREENIO_SIM=demo).";

// A profile text in the library's two calls: the size with the NUL, then the text.
template <typename Get> std::optional<std::string> ProfileText(Get get) {
    unsigned int size = 0;
    if (!get(nullptr, &size)) return std::nullopt;
    if (size == 0) return std::string();
    std::string text(size, '\0');
    if (!get(&text[0], &size)) return std::nullopt;
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
}

std::string VersionText(FWDeviceProfile* profile, uint32_t id, uint32_t version) {
    const FWDeviceVersion value{id, version};
    const std::optional<std::string> text = ProfileText([&](char* buffer, unsigned int* size) {
        return FWDeviceProfileGetVersionString(profile, value, buffer, size);
    });
    return text && !text->empty() ? *text : std::to_string(version);
}

std::string DeviceName(FWDeviceProfile* profile, uint32_t id) {
    const std::optional<std::string> name = ProfileText([&](char* buffer, unsigned int* size) {
        return FWDeviceProfileGetDeviceName(profile, id, buffer, size);
    });
    return name && !name->empty() ? *name : "Device " + std::to_string(id);
}

}  // namespace

std::string MonitorEntry::Title() const { return product + " (S/N " + serial + ")"; }

nlohmann::json MonitorEntry::Json() const {
    return {{"index", index},
            {"product", product},
            {"serial", serial},
            {"updateKind", MonitorList::KindName(kind)},
            {"needsRecovery", NeedsRecovery(product)}};
}

const char* MonitorList::KindName(FWFirmwareUpdateType kind) {
    switch (kind) {
    case FWFirmwareUpdateTypeV4: return "record files with device files";
    case FWFirmwareUpdateTypeV3: return "record files";
    case FWFirmwareUpdateTypeMStar: return "scaler";
    case FWFirmwareUpdateTypeZV: return "ZV";
    default: return "none";
    }
}

MonitorList MonitorList::Search() {
    MonitorList list;
    KmRelease();
    const KmError found = KmFind();
    if (found < 0) throw MonitorFailure("Searching for monitors", found);
    for (int32_t i = 0; i < found; ++i) {
        MonitorEntry entry;
        entry.index = int(i);
        const KmError claimed = KmRetrieve(i, &entry.handle);
        if (claimed < 0 || !entry.handle) {
            list.m_unavailable.emplace_back(int(i),
                                            claimed < 0 ? claimed : SCREENIO_ERROR_INTERNAL);
            continue;
        }
        char serial[9] = {}, product[17] = {};
        FWMonitorGetSerialProduct(entry.handle, serial, product);
        entry.serial = serial;
        entry.product = product;
        entry.kind = FWMonitorGetSupportedFirmwareUpdateType(entry.handle);
        list.m_monitors.push_back(entry);
    }
    return list;
}

std::string MonitorList::UnavailableReason(KmError status) {
    switch (status) {
    case SCREENIO_ERROR_BUSY:
        return "another program is using it; close the other updater and try again";
    case SCREENIO_ERROR_ACCESS:
        return "this user may not open it; install the udev rule (README, \"Real monitors on "
               "Linux\") and plug the monitor in again";
    case SCREENIO_ERROR_LOCK:
        return "its lock, which keeps two updaters apart, cannot be taken: the system refuses "
               "this program a local socket (a sandbox, or too many open files); run it outside "
               "the sandbox and try again";
    case SCREENIO_ERROR_GONE: return "it left the bus while it was being opened";
    default: return "it could not be opened (" + StatusName(status) + ")";
    }
}

void* MonitorList::FindAgain(const std::string& product, const std::string& serial,
                             std::string* foundProduct) {
    const MonitorList list = Search();
    for (const MonitorEntry& entry : list.m_monitors) {
        if (entry.serial != serial || (entry.product != product && !NeedsRecovery(product)))
            continue;
        if (foundProduct) *foundProduct = entry.product;
        return entry.handle;
    }
    return nullptr;
}

const MonitorEntry& MonitorList::Select(const std::string& selection) const {
    if (m_monitors.empty() && !m_unavailable.empty())
        throw Failure(ExitNoMonitor, "A monitor was found but cannot be used: " +
                                         UnavailableReason(m_unavailable.front().second) + ".");
    if (m_monitors.empty())
        throw Failure(ExitNoMonitor, std::string("No monitor found. ") + kConnectAdvice);
    if (selection.empty()) {
        if (m_monitors.size() == 1) return m_monitors.front();
        nlohmann::json listed = nlohmann::json::array();
        for (const MonitorEntry& entry : m_monitors) {
            listed.push_back(entry.Json());
            if (!JsonMode()) std::fprintf(stderr, "  %d  %s\n", entry.index, entry.Title().c_str());
        }
        SetFailureDetails({{"monitors", listed}});
        throw Failure(ExitNoMonitor, std::to_string(m_monitors.size()) +
                                         " monitors are connected; choose one with --monitor INDEX "
                                         "or --monitor SERIAL (see 'flashkit monitors').");
    }
    for (const MonitorEntry& entry : m_monitors)
        if (entry.serial == selection) return entry;
    if (selection.find_first_not_of("0123456789") == std::string::npos && selection.size() < 6) {
        const int index = std::stoi(selection);
        for (const MonitorEntry& entry : m_monitors)
            if (entry.index == index) return entry;
    }
    throw Failure(ExitNoMonitor, "No monitor has the index or serial number '" + selection +
                                     "'; run 'flashkit monitors' to see them.");
}

std::vector<ShownDevice> MonitorList::ShownDevices(const MonitorEntry& monitor,
                                                   FWKfwFile* package) {
    FWDeviceProfile* raw = nullptr;
    const KmError status = FWDeviceProfileCreateFromMonitor(monitor.handle, &raw);
    if (status < 0) throw MonitorFailure("Reading the devices of " + monitor.Title(), status);
    const Profile profile(raw);

    unsigned int count = 0;
    FWDeviceProfileGetDeviceID(profile.get(), FWDeviceVersionKindDisplayDevices, nullptr, &count);
    std::vector<unsigned int> ids(count);
    if (count > 0)
        FWDeviceProfileGetDeviceID(profile.get(), FWDeviceVersionKindDisplayDevices, ids.data(),
                                   &count);
    ids.resize(count);

    std::vector<ShownDevice> shown;
    for (unsigned int id : ids) {
        ShownDevice device;
        device.id = id;
        device.name = DeviceName(profile.get(), id);
        FWDeviceVersion version{};
        KmError read = FWMonitorGetDeviceVersion(monitor.handle, id, &version);
        if (read < 0)
            throw MonitorFailure("Reading the version of " + device.name + " on " + monitor.Title(),
                                 read);
        device.version = version.version;
        device.versionText = VersionText(profile.get(), id, version.version);
        device.after = device.version;
        device.afterText = device.versionText;
        if (package) {
            FWDeviceVersion after{};
            read = FWMonitorGetDeviceVersionAfterUpdate(monitor.handle, package, id, &after);
            if (read < 0)
                throw MonitorFailure(
                    "Working out the versions after the update of " + monitor.Title(), read);
            device.after = after.version;
            device.afterText = VersionText(profile.get(), id, after.version);
        }
        shown.push_back(device);
    }
    return shown;
}

}  // namespace flashkit
