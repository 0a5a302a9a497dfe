// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QWidget>

// What every window of the updater shares: its contents are set up once, when it is first
// shown (after the delegate has prepared what it shows); it reports its outcome in
// returnValue (1 OK, 0 Cancel or closed by the window manager); and it hands over to the
// delegate exactly once, when it closes.
class WindowController : public QWidget {
    Q_OBJECT
public:
    int returnValue() const { return m_returnValue; }
    // Loads the contents on the first call, then shows and raises the window.
    void showWindow();
    bool isClosed() const { return m_closed; }

    // Grows the window to what its contents need, then places it (the rule of every window).
    static void placeWindow(QWidget* window);

protected:
    explicit WindowController(QWidget* parent = nullptr);

    // The window's contents: texts, placement, initial state.
    virtual void windowDidLoad() = 0;
    // Whether a close request (a button, the window manager) may close the window now.
    virtual bool windowShouldClose() { return true; }
    // The window is closing: hand over to the delegate.
    virtual void windowWillClose() = 0;

    void closeEvent(QCloseEvent* event) override;

    int m_returnValue = 0;

private:
    bool m_loaded = false;
    bool m_closed = false;
};
