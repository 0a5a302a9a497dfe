// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <mutex>

// One of the maker's other applications, which must not run while firmware is transferred.
// The table of them is fixed; detection fills in where a running one was started from.
class KORUProcess {
public:
    // `bundleIdentifier` empty: a plain background process found by `name` as its executable
    // name. Otherwise the application is found by `executableName`.
    KORUProcess(QString name, QString bundleIdentifier, QString executableName, bool hidden,
                bool relaunch, QString wicketProcess);
    KORUProcess(const KORUProcess&) = delete;
    KORUProcess& operator=(const KORUProcess&) = delete;

    static std::shared_ptr<KORUProcess> processWithName(const QString& name,
                                                        const QString& bundleIdentifier,
                                                        const QString& executableName, bool hidden,
                                                        bool relaunch,
                                                        const QString& wicketProcess);
    // The table, built once; the same objects for the life of the process.
    static const QList<std::shared_ptr<KORUProcess>>& allKoruProcesses();
    // The entries running now, in table order; records where each was started from.
    static QList<std::shared_ptr<KORUProcess>> runningKoruProcesses();
    // The list found before the monitor selection, relaunched from after every update run.
    static void registerProcesses(const QList<std::shared_ptr<KORUProcess>>& processes);
    static QList<std::shared_ptr<KORUProcess>> registeredProcesses();

    QString name() const;
    QString bundleIdentifier() const;
    QString executableName() const;
    bool hidden() const { return m_hidden; }
    bool relaunch() const { return m_relaunch; }
    // The executable the running application was found at; empty until detected.
    QString bundleURL() const;
    void setBundleURL(const QString& path);
    QString wicketProcess() const;

    bool isProcessRunning() const;
    // Asks the background service to quit, then kills whatever still runs.
    void killAllRunningProcesses();
    // Starts the application again from where it was found, when it is marked for that.
    void relaunchProcessIfNeeded();
    // Sends the quit message to every instance of the background service and waits a while
    // for the application to end.
    void quitWicketProcess();
    // Sends the quit message to the local socket `socketName`, when something listens there.
    void quitWicketProcessWithName(const QString& socketName);

    // The one message the background service understands: quit.
    static QByteArray quitMessage();
    // The endpoint of the background service inside the message's "uri".
    static constexpr const char* kServiceEndpoint = "huemaster7.service.local";

private:
    mutable std::mutex m_mutex;
    QString m_name;
    QString m_bundleIdentifier;
    QString m_executableName;
    bool m_hidden;
    bool m_relaunch;
    QString m_bundleURL;
    QString m_wicketProcess;
};
