// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

#include <cstdint>

#include <memory>
#include <mutex>
#include <vector>

// One monitor of the monitor-control library's last search, with the product name and serial
// number read from it. The handle is not owned: every handle stays valid until the next search
// or KmRelease. The accessors may be called from any thread.
class Monitor {
public:
    // The product a monitor reports while only its boot loader answers (its firmware does not
    // start); a package that lists it recovers the monitor.
    static constexpr const char* kIspModeProduct = "MCU ISP MODE";

    Monitor(void* handle, QString product, QString serial);
    virtual ~Monitor() = default;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // A fresh search (the handles of every earlier search become invalid): every monitor whose
    // product and serial can be read, in the library's order.
    static std::vector<std::shared_ptr<Monitor>> find();
    // The same search; a monitor whose handle the library refuses (another program holds it, or
    // this user may not open it) adds its status to `unavailable` instead of being left out.
    static std::vector<std::shared_ptr<Monitor>> find(std::vector<int32_t>* unavailable);
    // Why a monitor with this refusal cannot be used and what the user can do about it.
    static QString unavailableReason(int32_t status);
    // Null when the product and serial cannot be read.
    static std::shared_ptr<Monitor> initWithHandle(void* handle);

    void* handle() const;
    QString product() const;
    QString serial() const;
    // "PRODUCT (S/N: SERIAL)"
    QString displayName() const;
    // Both equal, case-sensitively; for a monitor that was in ISP mode the serial number alone,
    // since a recovery brings it back under its own product name.
    bool isTargetMonitor(const QString& product, const QString& serial) const;
    // Its product is "MCU ISP MODE".
    bool needsRecovery() const;
    // Switches the monitor's on-screen identification; failures are ignored.
    void changeOSDStatus(bool enabled) const;

protected:
    void setHandle(void* handle);

    mutable std::mutex m_mutex;

private:
    void* m_handle;
    QString m_product;
    QString m_serial;
};
