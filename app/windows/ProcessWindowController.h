// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QList>

#include <memory>

#include "windows/WindowController.h"

class KORUProcess;

namespace Ui {
class ProcessWindow;
}

// Lists the maker's visible applications that run now and will be closed when the update
// starts. It only informs: OK goes on to the monitor selection, Cancel quits.
class ProcessWindowController : public WindowController {
    Q_OBJECT
public:
    explicit ProcessWindowController(QWidget* parent = nullptr);
    ~ProcessWindowController() override;

protected:
    void windowDidLoad() override;
    void windowWillClose() override;

private:
    void okButtonClicked();
    void cancelButtonClicked();

    std::unique_ptr<Ui::ProcessWindow> m_ui;
    QList<std::shared_ptr<KORUProcess>> m_visibleProcesses;
};
