// SPDX-License-Identifier: Apache-2.0
#include "windows/SelectMonitorWindowController.h"

#include <QStandardItemModel>
#include <QTimer>

#include "AppDelegate.h"
#include "model/LocalizedStrings.h"
#include "model/Monitor.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"
#include "platform/UsbHotplugMonitor.h"
#include "ui_SelectMonitorWindow.h"

SelectMonitorWindowController::SelectMonitorWindowController(QWidget* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::SelectMonitorWindow>()) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this,
            &SelectMonitorWindowController::okButtonClicked);
    connect(m_ui->cancelButton, &QPushButton::clicked, this,
            &SelectMonitorWindowController::cancelButtonClicked);
    // Only the user's choice moves the identification; filling the list selects entry 0 itself.
    connect(m_ui->monitorComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &SelectMonitorWindowController::monitorComboBoxSelected);
}

SelectMonitorWindowController::~SelectMonitorWindowController() = default;

int SelectMonitorWindowController::initialSearchMonitor() {
    setMonitors({});
    m_returnValue = 0;
    return findMonitor();
}

int SelectMonitorWindowController::findMonitor() {
    std::vector<int32_t> unavailable;
    std::vector<std::shared_ptr<Monitor>> found = Monitor::find(&unavailable);
    setMonitors(std::move(found), std::move(unavailable));
    return kSearchDone;
}

std::vector<std::shared_ptr<Monitor>> SelectMonitorWindowController::monitors() const {
    const std::lock_guard<std::mutex> lock(m_monitorsMutex);
    return m_monitors;
}

UsbHotplugMonitor* SelectMonitorWindowController::hotplugMonitor() const { return m_hotplug; }

std::vector<int32_t> SelectMonitorWindowController::unavailableMonitors() const {
    const std::lock_guard<std::mutex> lock(m_monitorsMutex);
    return m_unavailable;
}

void SelectMonitorWindowController::setMonitors(std::vector<std::shared_ptr<Monitor>> monitors,
                                                std::vector<int32_t> unavailable) {
    const std::lock_guard<std::mutex> lock(m_monitorsMutex);
    m_monitors = std::move(monitors);
    m_unavailable = std::move(unavailable);
}

QString SelectMonitorWindowController::unavailableText() const {
    QStringList lines;
    const std::vector<int32_t> refused = unavailableMonitors();
    for (size_t i = 0; i < refused.size(); ++i)
        lines << LocalizedStrings::text("MonitorUnavailableLine")
                     .arg(int(i) + 1)
                     .arg(Monitor::unavailableReason(refused[i]));
    return lines.join(QLatin1Char('\n'));
}

void SelectMonitorWindowController::windowDidLoad() {
    m_ui->messageLabel->setText(QString());
    m_ui->okButton->setText(LocalizedStrings::text("OK"));
    m_ui->cancelButton->setText(LocalizedStrings::text("Cancel"));
    placeWindow(this);
    updateMonitorComboBox();
    monitorComboBoxSelected();
    registerNotification();
}

void SelectMonitorWindowController::updateMonitorComboBox() {
    const std::vector<std::shared_ptr<Monitor>> found = monitors();
    const size_t refused = unavailableMonitors().size();
    m_ui->monitorComboBox->clear();
    for (const std::shared_ptr<Monitor>& monitor : found)
        m_ui->monitorComboBox->addItem(monitor->displayName());
    // Monitors that cannot be opened are listed after the usable ones, and cannot be chosen:
    // the entries of usable monitors keep the indices of monitors().
    auto* model = qobject_cast<QStandardItemModel*>(m_ui->monitorComboBox->model());
    for (size_t i = 0; i < refused; ++i) {
        m_ui->monitorComboBox->addItem(
            LocalizedStrings::text("MonitorUnavailableEntry").arg(int(i) + 1));
        if (model) model->item(m_ui->monitorComboBox->count() - 1)->setEnabled(false);
    }
    m_ui->okButton->setEnabled(!found.empty());
    if (found.empty() && refused == 0) {
        m_ui->messageLabel->setText(LocalizedStrings::text("MonitorConnectMessage"));
        return;
    }
    // Nothing is selected when no entry can be chosen.
    m_ui->monitorComboBox->setCurrentIndex(found.empty() ? -1 : 0);
    const QString intro = LocalizedStrings::text(found.empty() ? "MonitorUnavailableMessage"
                                                               : "MonitorSelectMessage");
    m_ui->messageLabel->setText(refused == 0 ? intro
                                             : intro + QLatin1Char('\n') + unavailableText());
}

void SelectMonitorWindowController::monitorComboBoxSelected() {
    const std::vector<std::shared_ptr<Monitor>> found = monitors();
    if (found.empty()) return;
    const int selected = m_ui->monitorComboBox->currentIndex();
    // An entry of a monitor that cannot be opened changes nothing.
    if (selected < 0 || size_t(selected) >= found.size()) return;
    // The selected monitor identifies itself on its screen; every other one hides that.
    for (size_t i = 0; i < found.size(); ++i) found[i]->changeOSDStatus(int(i) == selected);
}

void SelectMonitorWindowController::registerNotification() {
    if (m_hotplug) return;
    m_hotplug = new UsbHotplugMonitor(this);
    connect(m_hotplug, &UsbHotplugMonitor::changed, this,
            &SelectMonitorWindowController::monitorChanged);
    // Without an event source the list is still complete when the window opens; the user can
    // cancel and start again after plugging a monitor in.
    m_hotplug->start();
}

void SelectMonitorWindowController::unregisterNotification() {
    delete m_hotplug;  // stops listening and drops the connection
}

void SelectMonitorWindowController::monitorChanged(const QString& action) {
    // A monitor that has just arrived needs time to enumerate all its interfaces.
    const Timings& timings = Timings::current();
    const int delay = action == QLatin1String("add") ? timings.rescanAfterArrivalMs
                                                     : timings.rescanAfterRemovalMs;
    // Every event schedules its own re-scan; nothing is merged.
    QTimer::singleShot(delay, this, &SelectMonitorWindowController::rescan);
}

void SelectMonitorWindowController::rescan() {
    // A re-scan still pending when the window has closed must not search again: a search
    // invalidates every handle, the chosen monitor's included.
    if (!m_hotplug) return;
    findMonitor();
    updateMonitorComboBox();
    if (monitors().empty()) {
        m_ui->monitorComboBox->setCurrentIndex(-1);
        return;
    }
    m_ui->monitorComboBox->setCurrentIndex(0);
    monitorComboBoxSelected();
}

void SelectMonitorWindowController::releaseMonitor() { setMonitors({}); }

void SelectMonitorWindowController::okButtonClicked() {
    m_returnValue = 1;
    close();
}

void SelectMonitorWindowController::cancelButtonClicked() {
    m_returnValue = 0;
    close();
}

void SelectMonitorWindowController::windowWillClose() {
    unregisterNotification();
    std::shared_ptr<Monitor> chosen;
    const std::vector<std::shared_ptr<Monitor>> found = monitors();
    const int selected = m_ui->monitorComboBox->currentIndex();
    if (m_ui->monitorComboBox->count() > 0 && selected >= 0 && size_t(selected) < found.size()) {
        chosen = found[size_t(selected)];
        chosen->changeOSDStatus(false);
    }
    releaseMonitor();

    AppDelegate* delegate = AppDelegate::delegate();
    if (!delegate) return;
    if (chosen && m_returnValue == 1) {
        // Product and serial are read again; an empty target counts as unsupported.
        delegate->setTargetMonitor(TargetMonitor::initWithHandle(chosen->handle()));
        delegate->showUpdateWindow();
    } else {
        delegate->closeWindowWithCancel();
    }
}
