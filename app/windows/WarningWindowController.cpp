// SPDX-License-Identifier: Apache-2.0
#include "windows/WarningWindowController.h"

#include <QCloseEvent>

#include "AppDelegate.h"
#include "model/KfwFile.h"
#include "model/LocalizedStrings.h"
#include "model/TargetMonitor.h"
#include "ui_WarningWindow.h"
#include "windows/WindowController.h"

WarningWindowController::WarningWindowController(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WarningWindow>()) {
    m_ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    connect(m_ui->powerCheckBox, &QCheckBox::clicked, this,
            &WarningWindowController::checkBoxClicked);
    connect(m_ui->usbCheckBox, &QCheckBox::clicked, this,
            &WarningWindowController::checkBoxClicked);
    connect(m_ui->executeButton, &QPushButton::clicked, this,
            &WarningWindowController::executeButtonClicked);
    connect(m_ui->cancelButton, &QPushButton::clicked, this,
            &WarningWindowController::cancelButtonClicked);
    windowDidLoad();
}

WarningWindowController::~WarningWindowController() = default;

void WarningWindowController::windowDidLoad() {
    m_ui->warningLabel->setText(LocalizedStrings::text("Warning"));
    m_ui->confirmLabel->setText(LocalizedStrings::text("WarningConfirm"));
    m_ui->powerCheckBox->setText(LocalizedStrings::text("WarningPowerCheck"));
    m_ui->usbCheckBox->setText(LocalizedStrings::text("WarningUSBCheck"));
    m_ui->executeButton->setText(LocalizedStrings::text("Execute"));
    m_ui->cancelButton->setText(LocalizedStrings::text("Cancel"));
    uint32_t minutes = 0;
    if (AppDelegate* delegate = AppDelegate::delegate()) {
        const std::shared_ptr<KfwFile> file = delegate->kfwFile();
        const std::shared_ptr<TargetMonitor> target = delegate->targetMonitor();
        if (file && target) minutes = file->estimatedTimeWithMonitor(*target);
    }
    // An estimate that rounds to zero minutes reads as less than a minute.
    m_ui->updateTimeLabel->setText(
        minutes == 0 ? LocalizedStrings::text("WarningUpdateTimeUnderAMinute")
                     : LocalizedStrings::plural("WarningUpdateTime", int(minutes)));
    WindowController::placeWindow(this);
    m_returnValue = 0;
}

int WarningWindowController::runModal() { return exec(); }

void WarningWindowController::checkBoxClicked() {
    m_ui->executeButton->setEnabled(m_ui->powerCheckBox->isChecked() &&
                                    m_ui->usbCheckBox->isChecked());
}

void WarningWindowController::executeButtonClicked() {
    m_returnValue = 1;
    close();
}

void WarningWindowController::cancelButtonClicked() {
    m_returnValue = 0;
    close();
}

void WarningWindowController::closeEvent(QCloseEvent* event) {
    // The modal loop ends with the dialog's outcome, whichever way it was closed.
    event->accept();
    done(m_returnValue);
}
