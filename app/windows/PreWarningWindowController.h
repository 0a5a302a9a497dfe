// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>

#include "windows/WindowController.h"

namespace Ui {
class PreWarningWindow;
}

// The first window: what the update involves, with OK to go on and Cancel to quit.
class PreWarningWindowController : public WindowController {
    Q_OBJECT
public:
    explicit PreWarningWindowController(QWidget* parent = nullptr);
    ~PreWarningWindowController() override;

protected:
    void windowDidLoad() override;
    void windowWillClose() override;

private:
    void okButtonClicked();
    void cancelButtonClicked();

    std::unique_ptr<Ui::PreWarningWindow> m_ui;
};
