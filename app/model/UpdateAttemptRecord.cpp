// SPDX-License-Identifier: Apache-2.0
#include "model/UpdateAttemptRecord.h"

#include <QFileInfo>
#include <QtDebug>

#include "FileDigest.h"
#include "UpdateHistory.h"
#include "model/TargetMonitor.h"

namespace {

std::vector<std::string> Texts(const QStringList& list) {
    std::vector<std::string> texts;
    for (const QString& text : list) texts.push_back(text.toStdString());
    return texts;
}

}  // namespace

void UpdateAttemptRecord::begin(const TargetMonitor& monitor, const QString& packagePath) {
    m_record = flashkit::HistoryRecord();
    m_record.start = flashkit::HistoryRecord::now();
    m_record.tool = "PanelFlasher";
    m_record.product = monitor.product().toStdString();
    m_record.serial = monitor.serial().toStdString();
    const QString absolute = QFileInfo(packagePath).absoluteFilePath();
    m_record.package = QFile::encodeName(absolute).toStdString();
    m_record.packageSha256 = flashkit::FileSha256(m_record.package);
    if (const std::optional<Version> version = monitor.version())
        m_record.versionsBefore = Texts(version->versions());
    m_begun = true;
}

void UpdateAttemptRecord::finish(const char* status, int32_t errorCode, const QString& outcome,
                                 const QStringList& versionsAfter) {
    if (!m_begun) return;
    m_begun = false;
    m_record.end = flashkit::HistoryRecord::now();
    m_record.status = status;
    m_record.errorCode = errorCode;
    m_record.outcome = outcome.simplified().toStdString();
    m_record.versionsAfter = Texts(versionsAfter);
    std::string error;
    if (!flashkit::UpdateHistory().append(m_record, &error))
        qWarning("the update history was not written: %s", error.c_str());
}
