// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

// A notification through the desktop's freedesktop notification service on the session bus,
// so that a user who looked away learns that a long update has ended.
class DesktopNotification {
public:
    // Sends without waiting for an answer; false, quietly, without a session bus.
    static bool send(const QString& summary, const QString& body);
};
