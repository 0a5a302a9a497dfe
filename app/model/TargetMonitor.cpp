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
    if (!FWDeviceProfileGetVersionString(profile, version, text.data(), &size))
        return std::nullopt;
    // The library terminates the text; the last byte of the zero-filled buffer stays zero anyway.
    return QString::fromUtf8(text.data(), int(qstrnlen(text.data(), text.size())));
}

std::shared_ptr<TargetMonitor> TargetMonitor::initWithHandle(void* handle) {
    char serial[9] = {};
    char product[17] = {};
    if (FWMonitorGetSerialProduct(handle, serial, product) < 0) return nullptr;
    return std::make_shared<TargetMonitor>(handle, QString::fromUtf8(product),
                                           QString::fromUtf8(serial));
}

bool TargetMonitor::readVersions(Source source, FWKfwFile* package) {
    void* monitor = handle();
    FWDeviceProfile* raw = nullptr;
    if (FWDeviceProfileCreateFromMonitor(monitor, &raw) < 0) return false;
    const Profile profile(raw);

    std::array<unsigned int, kMaxDeviceIds> ids{};
    const unsigned int count = GetDeviceIDs(profile.get(), ids.data());
    if (count == 0) return false;

    QStringList versions;
    for (unsigned int i = 0; i < count; ++i) {
        FWDeviceVersion version{};
        const KmError read =
            source == Source::Current
                ? FWMonitorGetDeviceVersion(monitor, ids[i], &version)
                : FWMonitorGetDeviceVersionAfterUpdate(monitor, package, ids[i], &version);
        if (read < 0) return false;
        const std::optional<QString> text = GetVersionString(profile.get(), version);
        if (!text) return false;
        versions.append(*text);
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    (source == Source::Current ? m_version : m_updatedVersion) = Version(versions);
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
