// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QPointer>
#include <QString>

#include <cstdint>

#include <memory>
#include <mutex>
#include <vector>

#include "windows/WindowController.h"

class Monitor;
class UsbHotplugMonitor;

namespace Ui {
class SelectMonitorWindow;
}

// The monitor selection: one entry per connected monitor, kept up to date while the window is
// open (a USB arrival or removal of the maker's devices triggers a delayed re-scan), with the
// selected monitor showing its on-screen identification.
class SelectMonitorWindowController : public WindowController {
    Q_OBJECT
public:
    // The only status the searches report; the delegate shows the window on it.
    static constexpr int kSearchDone = 2;

    explicit SelectMonitorWindowController(QWidget* parent = nullptr);
    ~SelectMonitorWindowController() override;

    // Before the window is shown: no monitors, no outcome, then the first search.
    int initialSearchMonitor();
    // A fresh search; the handles of the previous one become invalid.
    int findMonitor();

    std::vector<std::shared_ptr<Monitor>> monitors() const;
    // The refusals of the monitors the last search found but could not open.
    std::vector<int32_t> unavailableMonitors() const;
    // The USB events the list follows while the window is open (null otherwise).
    UsbHotplugMonitor* hotplugMonitor() const;

protected:
    void windowDidLoad() override;
    void windowWillClose() override;

private:
    void setMonitors(std::vector<std::shared_ptr<Monitor>> monitors,
                     std::vector<int32_t> unavailable = {});
    QString unavailableText() const;
    void updateMonitorComboBox();
    void monitorComboBoxSelected();
    void registerNotification();
    void unregisterNotification();
    void monitorChanged(const QString& action);
    void rescan();
    void releaseMonitor();
    void okButtonClicked();
    void cancelButtonClicked();

    std::unique_ptr<Ui::SelectMonitorWindow> m_ui;
    mutable std::mutex m_monitorsMutex;
    std::vector<std::shared_ptr<Monitor>> m_monitors;
    std::vector<int32_t> m_unavailable;
    QPointer<UsbHotplugMonitor> m_hotplug;
};
