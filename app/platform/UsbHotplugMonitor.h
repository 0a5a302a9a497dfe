// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Arrivals and removals of the maker's USB devices, delivered on the main thread. Without a
// udev event source (containers) it stays silent.
class UsbHotplugMonitor : public QObject {
    Q_OBJECT
public:
    explicit UsbHotplugMonitor(QObject* parent = nullptr);
    ~UsbHotplugMonitor() override;

    // Starts listening; false when no event source could be opened (no error otherwise).
    bool start();
    void stop();

    // The one entry point of events: emits changed(action) for "add" and "remove" of a device
    // with the maker's vendor id, nothing for anything else.
    void deliver(const QString& action, uint16_t vendorId);

    // The vendor of a udev PRODUCT property ("vvvv/pppp/bcd", hexadecimal).
    static std::optional<uint16_t> vendorFromProduct(const QString& product);

signals:
    void changed(const QString& action);

private:
    void readEvents();

    struct UdevRelease {
        void operator()(udev* context) const;
        void operator()(udev_monitor* monitor) const;
    };
    std::unique_ptr<udev, UdevRelease> m_udev;
    std::unique_ptr<udev_monitor, UdevRelease> m_monitor;
    QSocketNotifier* m_notifier = nullptr;  // child of this object
};
