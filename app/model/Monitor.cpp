// SPDX-License-Identifier: Apache-2.0
#include "model/Monitor.h"

#include <utility>

#include "flashkit/flashkit.h"
#include "model/LocalizedStrings.h"
#include "screenio/screenio.h"

Monitor::Monitor(void* handle, QString product, QString serial)
    : m_handle(handle), m_product(std::move(product)), m_serial(std::move(serial)) {}

std::vector<std::shared_ptr<Monitor>> Monitor::find() { return find(nullptr); }

std::vector<std::shared_ptr<Monitor>> Monitor::find(std::vector<int32_t>* unavailable) {
    std::vector<std::shared_ptr<Monitor>> monitors;
    // Every handle of an earlier search becomes invalid here; only the new objects are usable.
    KmRelease();
    const KmError count = KmFind();
    for (int32_t i = 0; i < count; ++i) {
        void* handle = nullptr;
        const KmError claimed = KmRetrieve(i, &handle);
        if (claimed < 0 || !handle) {
            if (unavailable)
                unavailable->push_back(claimed < 0 ? claimed : SCREENIO_ERROR_INTERNAL);
            continue;
        }
        if (std::shared_ptr<Monitor> monitor = initWithHandle(handle))
            monitors.push_back(std::move(monitor));
    }
    return monitors;
}

std::shared_ptr<Monitor> Monitor::initWithHandle(void* handle) {
    char serial[9] = {};
    char product[17] = {};
    if (FWMonitorGetSerialProduct(handle, serial, product) < 0) return nullptr;
    return std::make_shared<Monitor>(handle, QString::fromUtf8(product), QString::fromUtf8(serial));
}

QString Monitor::unavailableReason(int32_t status) {
    switch (status) {
    case SCREENIO_ERROR_BUSY: return LocalizedStrings::text("MonitorBusyReason");
    case SCREENIO_ERROR_ACCESS: return LocalizedStrings::text("MonitorAccessReason");
    default: return LocalizedStrings::text("MonitorOtherReason").arg(status);
    }
}

void* Monitor::handle() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_handle;
}

QString Monitor::product() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_product;
}

QString Monitor::serial() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_serial;
}

QString Monitor::displayName() const {
    return QStringLiteral("%1 (S/N: %2)").arg(product(), serial());
}

bool Monitor::isTargetMonitor(const QString& product, const QString& serial) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    // A monitor recovered from ISP mode comes back under its own product name.
    return m_serial == serial &&
           (m_product == product || product == QLatin1String(kIspModeProduct));
}

bool Monitor::needsRecovery() const { return product() == QLatin1String(kIspModeProduct); }

void Monitor::changeOSDStatus(bool enabled) const {
    // The identification is a courtesy; a monitor that refuses it can still be updated.
    FWMonitorSetOSDStatus(handle(), enabled);
}

void Monitor::setHandle(void* handle) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_handle = handle;
}
