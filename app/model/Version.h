// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>
#include <QStringList>

// The versions of a monitor's devices, one text per device in device id order, with the
// devices' names where the profile gives them, and the two lines the update window shows them
// on.
class Version {
public:
    // `names` runs parallel to `versions`; a missing or empty name leaves its device unnamed.
    explicit Version(QStringList versions, QStringList names = {});

    const QStringList& versions() const { return m_versions; }
    const QStringList& names() const { return m_names; }
    // Unnamed devices: the first three versions joined with "-". Once a device has a name: the
    // first three devices one per line, as "<name>: <version>" (a bare version when unnamed).
    QString upperLabelString() const;
    // The fourth to sixth devices: "-" and their versions joined with "-" (empty with fewer
    // than four), or one per line like the upper label once a device has a name.
    QString lowerLabelString() const;
    // The same two parts on one line, for a sentence: named devices are joined with ", " and
    // the lower part then starts with ", "; unnamed ones read as the labels.
    QString upperInlineString() const;
    QString lowerInlineString() const;
    // All versions joined with "-".
    QString toString() const;

private:
    bool hasNames() const;
    // Devices [first, first + count) in the named form, joined with `separator`.
    QString named(int first, int count, const QString& separator) const;

    QStringList m_versions;
    QStringList m_names;
};
