// SPDX-License-Identifier: Apache-2.0
#include "windows/ProcessWindowController.h"

#include "AppDelegate.h"
#include "model/KORUProcess.h"
#include "model/LocalizedStrings.h"
#include "ui_ProcessWindow.h"

ProcessWindowController::ProcessWindowController(QWidget* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::ProcessWindow>()) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &ProcessWindowController::okButtonClicked);
    connect(m_ui->cancelButton, &QPushButton::clicked, this,
            &ProcessWindowController::cancelButtonClicked);
}

ProcessWindowController::~ProcessWindowController() = default;

void ProcessWindowController::windowDidLoad() {
    m_ui->descriptionLabel->setText(LocalizedStrings::text("ProcessDescription"));
    m_ui->okButton->setText(LocalizedStrings::text("OK"));
    m_ui->cancelButton->setText(LocalizedStrings::text("Cancel"));
    m_visibleProcesses.clear();
    for (const std::shared_ptr<KORUProcess>& process : KORUProcess::registeredProcesses())
        if (process && !process->hidden()) m_visibleProcesses.append(process);
    // One row per visible application, in the table's order.
    m_ui->listView->clear();
    for (const std::shared_ptr<KORUProcess>& process : m_visibleProcesses)
        m_ui->listView->addItem(process->name());
    placeWindow(this);
    m_returnValue = 0;
}

void ProcessWindowController::okButtonClicked() {
    m_returnValue = 1;
    close();
}

void ProcessWindowController::cancelButtonClicked() {
    m_returnValue = 0;
    close();
}

void ProcessWindowController::windowWillClose() {
    m_visibleProcesses.clear();
    AppDelegate* delegate = AppDelegate::delegate();
    if (!delegate) return;
    if (m_returnValue == 1)
        delegate->showSelectMonitorWindow();
    else
        delegate->closeWindowWithCancel();
}
