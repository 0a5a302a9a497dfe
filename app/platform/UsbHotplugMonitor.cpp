// SPDX-License-Identifier: Apache-2.0
#include "platform/UsbHotplugMonitor.h"

#include <QSocketNotifier>
#include <QStringList>

#include <libudev.h>

#include "platform/VendorId.h"

void UsbHotplugMonitor::UdevRelease::operator()(udev* context) const { udev_unref(context); }

void UsbHotplugMonitor::UdevRelease::operator()(udev_monitor* monitor) const {
    udev_monitor_unref(monitor);
}

UsbHotplugMonitor::UsbHotplugMonitor(QObject* parent) : QObject(parent) {}

UsbHotplugMonitor::~UsbHotplugMonitor() { stop(); }

bool UsbHotplugMonitor::start() {
    if (m_monitor) return true;
    std::unique_ptr<udev, UdevRelease> context(udev_new());
    if (!context) return false;
    // The "udev" source carries events after the rules ran, so the device nodes exist by then.
    std::unique_ptr<udev_monitor, UdevRelease> monitor(
        udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor) return false;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return false;
    const int fd = udev_monitor_get_fd(monitor.get());
    if (fd < 0) return false;
    m_udev = std::move(context);
    m_monitor = std::move(monitor);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UsbHotplugMonitor::readEvents);
    return true;
}

void UsbHotplugMonitor::stop() {
    delete m_notifier;
    m_notifier = nullptr;
    m_monitor.reset();
    m_udev.reset();
}

void UsbHotplugMonitor::readEvents() {
    if (!m_monitor) return;
    // Drain every pending event: the notifier fires once for several.
    while (udev_device* device = udev_monitor_receive_device(m_monitor.get())) {
        const char* action = udev_device_get_action(device);
        // PRODUCT is set on removals too, when the device's attributes are already gone.
        const char* product = udev_device_get_property_value(device, "PRODUCT");
        const std::optional<uint16_t> vendor =
            product ? vendorFromProduct(QString::fromLatin1(product)) : std::nullopt;
        const QString actionText = action ? QString::fromLatin1(action) : QString();
        udev_device_unref(device);
        if (vendor) deliver(actionText, *vendor);
    }
}

void UsbHotplugMonitor::deliver(const QString& action, uint16_t vendorId) {
    if (vendorId != VendorId()) return;
    if (action != QLatin1String("add") && action != QLatin1String("remove")) return;
    emit changed(action);
}

std::optional<uint16_t> UsbHotplugMonitor::vendorFromProduct(const QString& product) {
    const QStringList parts = product.split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[0].isEmpty() || parts[0].size() > 4) return std::nullopt;
    bool ok = false;
    const uint vendor = parts[0].toUInt(&ok, 16);
    if (!ok || vendor > 0xFFFF) return std::nullopt;
    return uint16_t(vendor);
}
