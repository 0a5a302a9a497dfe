// SPDX-License-Identifier: Apache-2.0
#include "windows/PreWarningWindowController.h"

#include "AppDelegate.h"
#include "model/LocalizedStrings.h"
#include "ui_PreWarningWindow.h"

PreWarningWindowController::PreWarningWindowController(QWidget* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::PreWarningWindow>()) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this,
            &PreWarningWindowController::okButtonClicked);
    connect(m_ui->cancelButton, &QPushButton::clicked, this,
            &PreWarningWindowController::cancelButtonClicked);
}

PreWarningWindowController::~PreWarningWindowController() = default;

void PreWarningWindowController::windowDidLoad() {
    m_ui->messageLabel->setText(LocalizedStrings::text("PreWarningDescription"));
    m_ui->messageText->setPlainText(LocalizedStrings::text("PreWarningMessage"));
    m_ui->okButton->setText(LocalizedStrings::text("OK"));
    m_ui->cancelButton->setText(LocalizedStrings::text("Cancel"));
    placeWindow(this);
    m_returnValue = 0;
}

void PreWarningWindowController::okButtonClicked() {
    m_returnValue = 1;
    close();
}

void PreWarningWindowController::cancelButtonClicked() {
    m_returnValue = 0;
    close();
}

void PreWarningWindowController::windowWillClose() {
    m_ui->messageText->clear();
    AppDelegate* delegate = AppDelegate::delegate();
    if (!delegate) return;
    if (m_returnValue == 1)
        delegate->showProcessWindowIfNeeded();
    else
        delegate->closeWindowWithCancel();
}
