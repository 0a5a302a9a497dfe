// SPDX-License-Identifier: Apache-2.0
#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// SIGHUP too: the terminal that started the updater closing must not kill an update.
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
// Written by the constructor before the handlers exist, read only by the handlers.
volatile sig_atomic_t g_writeFd = -1;
struct sigaction g_previous[kSignalCount];

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (g_writeFd >= 0 || ::pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_writeFd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (size_t i = 0; i < kSignalCount; ++i)
        if (::sigaction(kSignals[i], &action, &g_previous[i]) != 0) m_installed = false;
}

TerminationSignals::~TerminationSignals() {
    if (m_pipe[0] < 0) return;
    for (size_t i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_writeFd = -1;
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::readPipe() {
    unsigned char bytes[16];
    ssize_t count;
    while ((count = ::read(m_pipe[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < count; ++i) emit requested(bytes[i]);
}
