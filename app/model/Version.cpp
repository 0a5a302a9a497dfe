// SPDX-License-Identifier: Apache-2.0
#include "model/Version.h"

#include <utility>

Version::Version(QStringList versions) : m_versions(std::move(versions)) {}

QString Version::upperLabelString() const { return m_versions.mid(0, 3).join('-'); }

QString Version::lowerLabelString() const {
    if (m_versions.size() < 4) return QString();
    // Versions after the sixth have no place in the window.
    return QLatin1Char('-') + m_versions.mid(3, 3).join('-');
}

QString Version::toString() const { return m_versions.join('-'); }
