// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QObject>

#include <array>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP as requests on the main thread: the handlers only write the signal
// number to a pipe, whose read end wakes the event loop. The previous handlers come back with the
// object. One object at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or the handlers could not be set up (the default handlers then stay).
    bool installed() const { return m_installed; }

signals:
    void requested(int signalNumber);

private:
    void readPipe();

    std::array<int, 2> m_pipe{{-1, -1}};
    QSocketNotifier* m_notifier = nullptr;  // child of this object
    bool m_installed = false;
};
