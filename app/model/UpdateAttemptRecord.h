// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>

#include "HistoryRecord.h"

class TargetMonitor;

// The history line of one update in the update window: begun when the user confirms, appended
// with the final alert. A history that cannot be written is logged and changes nothing else.
class UpdateAttemptRecord {
public:
    // The monitor, its versions now and the package (path and SHA-256).
    void begin(const TargetMonitor& monitor, const QString& packagePath);
    bool isBegun() const { return m_begun; }
    // status: "success" or "failure"; `outcome` is the text the user was shown.
    void finish(const char* status, int32_t errorCode, const QString& outcome,
                const QStringList& versionsAfter);

private:
    flashkit::HistoryRecord m_record;
    bool m_begun = false;
};
