// SPDX-License-Identifier: Apache-2.0
#include "model/TargetMonitor.h"

#include <array>
#include <memory>

namespace {

struct ProfileRelease {
    void operator()(FWDeviceProfile* profile) const { FWDeviceProfileRelease(profile); }
};
using Profile = std::unique_ptr<FWDeviceProfile, ProfileRelease>;

}  // namespace

unsigned int GetDeviceIDs(FWDeviceProfile* profile, unsigned int* ids) {
    unsigned int count = 0;
    if (!FWDeviceProfileGetDeviceID(profile, FWDeviceVersionKindDisplayDevices, nullptr, &count) ||
        count > kMaxDeviceIds)
        return 0;
    if (!FWDeviceProfileGetDeviceID(profile, FWDeviceVersionKindDisplayDevices, ids, &count))
        return 0;
    return count;
}

std::optional<QString> GetVersionString(FWDeviceProfile* profile, FWDeviceVersion version) {
    unsigned int size = 0;
    if (!FWDeviceProfileGetVersionString(profile, version, nullptr, &size) ||
        size > kMaxVersionStringSize)
        return std::nullopt;
    std::array<char, kMaxVersionStringSize> text{};
    if (!FWDeviceProfileGetVersionString(profile, version, text.data(), &size)) return std::nullopt;
    // The library terminates the text; the last byte of the zero-filled buffer stays zero anyway.
    return QString::fromUtf8(text.data(), int(qstrnlen(text.data(), text.size())));
}

QString GetDeviceName(FWDeviceProfile* profile, unsigned int deviceID) {
    unsigned int size = 0;
    if (!FWDeviceProfileGetDeviceName(profile, deviceID, nullptr, &size) || size == 0)
        return QString();
    QByteArray text(int(size), '\0');
    if (!FWDeviceProfileGetDeviceName(profile, deviceID, text.data(), &size)) return QString();
    return QString::fromUtf8(text.constData(), int(qstrnlen(text.constData(), size))).trimmed();
}

std::shared_ptr<TargetMonitor> TargetMonitor::initWithHandle(void* handle) {
    char serial[9] = {};
    char product[17] = {};
    if (FWMonitorGetSerialProduct(handle, serial, product) < 0) return nullptr;
    return std::make_shared<TargetMonitor>(handle, QString::fromUtf8(product),
                                           QString::fromUtf8(serial));
}

// The version texts of the shown devices and their names, or nothing when a version read
// fails.
static std::optional<Version> ReadVersionTexts(void* monitor, bool afterUpdate,
                                               FWKfwFile* package) {
    FWDeviceProfile* raw = nullptr;
    if (FWDeviceProfileCreateFromMonitor(monitor, &raw) < 0) return std::nullopt;
    const Profile profile(raw);

    std::array<unsigned int, kMaxDeviceIds> ids{};
    const unsigned int count = GetDeviceIDs(profile.get(), ids.data());
    if (count == 0) return std::nullopt;

    QStringList versions;
    QStringList names;
    for (unsigned int i = 0; i < count; ++i) {
        FWDeviceVersion version{};
        const KmError read =
            afterUpdate ? FWMonitorGetDeviceVersionAfterUpdate(monitor, package, ids[i], &version)
                        : FWMonitorGetDeviceVersion(monitor, ids[i], &version);
        if (read < 0) return std::nullopt;
        const std::optional<QString> text = GetVersionString(profile.get(), version);
        if (!text) return std::nullopt;
        versions.append(*text);
        names.append(GetDeviceName(profile.get(), ids[i]));
    }
    return Version(versions, names);
}

bool TargetMonitor::readVersions(Source source, FWKfwFile* package) {
    std::optional<Version> versions =
        ReadVersionTexts(handle(), source == Source::AfterUpdate, package);
    // Only the boot loader of a monitor in ISP mode answers: it has no devices to show, and the
    // package's check decides whether it can be recovered.
    if (!versions && needsRecovery()) versions = Version(QStringList());
    if (!versions) return false;
    const std::lock_guard<std::mutex> lock(m_mutex);
    (source == Source::Current ? m_version : m_updatedVersion) = *versions;
    return true;
}

bool TargetMonitor::getVersionFromMonitor() { return readVersions(Source::Current, nullptr); }

bool TargetMonitor::getUpdatedVersionFromMonitor(FWKfwFile* package) {
    return readVersions(Source::AfterUpdate, package);
}

bool TargetMonitor::updateMonitorHandle() {
    const QString ownProduct = product();
    const QString ownSerial = serial();
    for (const std::shared_ptr<Monitor>& found : Monitor::find()) {
        if (found->isTargetMonitor(ownProduct, ownSerial)) {
            setHandle(found->handle());
            return true;
        }
    }
    return false;
}

bool TargetMonitor::supportsV3UpdateSystem() const {
    return FWMonitorSupportsFirmwareUpdate(handle());
}

std::optional<Version> TargetMonitor::version() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_version;
}

std::optional<Version> TargetMonitor::updatedVersion() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_updatedVersion;
}
