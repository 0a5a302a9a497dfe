// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>
#include <QStringList>

// The versions of a monitor's devices, one text per device in device id order, and the two
// lines the update window shows them on.
class Version {
public:
    explicit Version(QStringList versions);

    const QStringList& versions() const { return m_versions; }
    // The first three versions joined with "-".
    QString upperLabelString() const;
    // "-" and the fourth to sixth versions joined with "-"; empty with fewer than four.
    QString lowerLabelString() const;
    // All versions joined with "-".
    QString toString() const;

private:
    QStringList m_versions;
};
