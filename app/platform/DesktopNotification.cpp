// SPDX-License-Identifier: Apache-2.0
#include "platform/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

bool DesktopNotification::send(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // No session (a terminal login, a container): the window's own alert is enough.
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("PanelFlasher") << quint32(0)
         << QStringLiteral("org.flashkit.PanelFlasher") << summary << body << QStringList()
         << QVariantMap() << qint32(-1);
    // Nobody waits for the answer: a bus without the service must not hold the window up.
    call.setAutoStartService(false);
    return bus.send(call);
}
