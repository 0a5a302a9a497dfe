// SPDX-License-Identifier: Apache-2.0
#include "model/Version.h"

#include <algorithm>
#include <utility>

Version::Version(QStringList versions, QStringList names)
    : m_versions(std::move(versions)), m_names(std::move(names)) {}

bool Version::hasNames() const {
    const int count = std::min(m_names.size(), m_versions.size());
    for (int i = 0; i < count; ++i)
        if (!m_names[i].isEmpty()) return true;
    return false;
}

QString Version::named(int first, int count, const QString& separator) const {
    QStringList lines;
    for (int i = first; i < std::min(first + count, int(m_versions.size())); ++i) {
        const QString name = i < m_names.size() ? m_names[i] : QString();
        lines << (name.isEmpty() ? m_versions[i] : name + QStringLiteral(": ") + m_versions[i]);
    }
    return lines.join(separator);
}

QString Version::upperLabelString() const {
    if (hasNames()) return named(0, 3, QStringLiteral("\n"));
    return m_versions.mid(0, 3).join('-');
}

QString Version::lowerLabelString() const {
    // Versions after the sixth have no place in the window.
    if (hasNames()) return named(3, 3, QStringLiteral("\n"));
    if (m_versions.size() < 4) return QString();
    return QLatin1Char('-') + m_versions.mid(3, 3).join('-');
}

QString Version::upperInlineString() const {
    return hasNames() ? named(0, 3, QStringLiteral(", ")) : upperLabelString();
}

QString Version::lowerInlineString() const {
    if (!hasNames()) return lowerLabelString();
    const QString lower = named(3, 3, QStringLiteral(", "));
    return lower.isEmpty() ? lower : QStringLiteral(", ") + lower;
}

QString Version::toString() const { return m_versions.join('-'); }
