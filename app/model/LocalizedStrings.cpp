// SPDX-License-Identifier: Apache-2.0
#include "model/LocalizedStrings.h"

#include <QCoreApplication>
#include <QTranslator>

#include <memory>
#include <mutex>

namespace {

constexpr const char* kContext = "Localizable";

struct Table {
    std::mutex mutex;
    std::shared_ptr<const QTranslator> translator;
};

Table& ActiveTable() {
    static Table table;
    return table;
}

std::shared_ptr<const QTranslator> Translator() {
    Table& table = ActiveTable();
    {
        const std::lock_guard<std::mutex> lock(table.mutex);
        if (table.translator) return table.translator;
    }
    LocalizedStrings::load(QLocale::system());
    const std::lock_guard<std::mutex> lock(table.mutex);
    return table.translator;
}

}  // namespace

QString LocalizedStrings::text(const char* key) {
    const std::shared_ptr<const QTranslator> translator = Translator();
    if (!translator || !key) return QString();
    return translator->translate(kContext, key);
}

QString LocalizedStrings::plural(const char* key, int count) {
    const std::shared_ptr<const QTranslator> translator = Translator();
    if (!translator || !key) return QString();
    QString text = translator->translate(kContext, key, nullptr, count);
    // QTranslator leaves %n to the caller.
    return text.replace(QLatin1String("%n"), QString::number(count));
}

bool LocalizedStrings::load(const QLocale& locale) {
    const bool german = locale.language() == QLocale::German;
    auto translator = std::make_shared<QTranslator>();
    const bool loaded =
        translator->load(QStringLiteral(":/i18n/PanelFlasher_%1.qm")
                             .arg(german ? QStringLiteral("de") : QStringLiteral("en")));
    Table& table = ActiveTable();
    const std::lock_guard<std::mutex> lock(table.mutex);
    // A reader that still holds the previous table keeps it alive until it is done.
    table.translator = std::move(translator);
    return loaded;
}

QStringList LocalizedStrings::keys() {
    // Marked for lupdate, so that updating the tables from the sources keeps every key.
    return {QT_TRANSLATE_NOOP("Localizable", "OK"),
            QT_TRANSLATE_NOOP("Localizable", "Cancel"),
            QT_TRANSLATE_NOOP("Localizable", "PreWarningDescription"),
            QT_TRANSLATE_NOOP("Localizable", "PreWarningMessage"),
            QT_TRANSLATE_NOOP("Localizable", "ProcessDescription"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorSelectMessage"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorConnectMessage"),
            QT_TRANSLATE_NOOP("Localizable", "CurrentVersion"),
            QT_TRANSLATE_NOOP("Localizable", "UpdatedVersion"),
            QT_TRANSLATE_NOOP("Localizable", "DoUpdate"),
            QT_TRANSLATE_NOOP("Localizable", "Warning"),
            QT_TRANSLATE_NOOP("Localizable", "WarningConfirm"),
            QT_TRANSLATE_NOOP("Localizable", "WarningPowerCheck"),
            QT_TRANSLATE_NOOP("Localizable", "WarningUSBCheck"),
            QT_TRANSLATE_NOOP("Localizable", "Execute"),
            QT_TRANSLATE_NOOP("Localizable", "WarningUpdateTime"),
            QT_TRANSLATE_NOOP("Localizable", "WarningUpdateTimeUnderAMinute"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateCompleteTitle"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateCompleteMessage"),
            QT_TRANSLATE_NOOP("Localizable", "CommunicationError"),
            QT_TRANSLATE_NOOP("Localizable", "CommunicationErrorMessage"),
            QT_TRANSLATE_NOOP("Localizable", "FileError"),
            QT_TRANSLATE_NOOP("Localizable", "KfwFileNotFoundErrorMessage"),
            QT_TRANSLATE_NOOP("Localizable", "KfwFileMultipleFoundErrorMessage"),
            QT_TRANSLATE_NOOP("Localizable", "FileOpenErrorMessage"),
            QT_TRANSLATE_NOOP("Localizable", "FileDiffrentModelErrorMessage"),
            QT_TRANSLATE_NOOP("Localizable", "UnsupportVersionErrorMessage"),
            QT_TRANSLATE_NOOP("Localizable", "AlreadyUpdatedMessage"),
            QT_TRANSLATE_NOOP("Localizable", "ErrorCodeTitle"),
            QT_TRANSLATE_NOOP("Localizable", "ErrorCode"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateStateUnchanged"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateStateMixed"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateStateMarked"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateStateNeedsRecovery"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateStateNotBack"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateStateVersionsNotReached"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorUnavailableEntry"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorUnavailableMessage"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorUnavailableLine"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorBusyReason"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorAccessReason"),
            QT_TRANSLATE_NOOP("Localizable", "MonitorOtherReason"),
            QT_TRANSLATE_NOOP("Localizable", "QuitRefusedMessage"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateCompleteNotFoundMessage"),
            QT_TRANSLATE_NOOP("Localizable", "SearchedFolder"),
            QT_TRANSLATE_NOOP("Localizable", "PhaseClosingApplications"),
            QT_TRANSLATE_NOOP("Localizable", "PhaseTransferring"),
            QT_TRANSLATE_NOOP("Localizable", "PhaseRestarting"),
            QT_TRANSLATE_NOOP("Localizable", "PhaseChecking"),
            QT_TRANSLATE_NOOP("Localizable", "PhaseRelaunching"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateRunCount"),
            QT_TRANSLATE_NOOP("Localizable", "ElapsedTime"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateCaution"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateFinishedNotification"),
            QT_TRANSLATE_NOOP("Localizable", "UpdateCompleteUsable")};
}
