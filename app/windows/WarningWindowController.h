// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QDialog>

#include <memory>

namespace Ui {
class WarningWindow;
}

// The last confirmation before the update: both precautions must be ticked before Execute is
// possible; shows the estimated time. Runs application-modal.
class WarningWindowController : public QDialog {
    Q_OBJECT
public:
    explicit WarningWindowController(QWidget* parent = nullptr);
    ~WarningWindowController() override;

    // Runs the dialog's modal loop; 1 after Execute, 0 after Cancel or a close.
    int runModal();
    int returnValue() const { return m_returnValue; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void windowDidLoad();
    void checkBoxClicked();
    void executeButtonClicked();
    void cancelButtonClicked();

    std::unique_ptr<Ui::WarningWindow> m_ui;
    int m_returnValue = 0;
};
