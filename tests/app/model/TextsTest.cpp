// SPDX-License-Identifier: Apache-2.0
// The text tables and the error messages built from them.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSet>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>
#include <optional>

#include "model/ErrorMessage.h"
#include "model/LocalizedStrings.h"

namespace {

// The translations of a Linguist file by key (source text).
QMap<QString, QString> ReadTable(const QString& path) {
    QMap<QString, QString> table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return table;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation"))
            // A text with plural forms holds them as child elements: their text, joined.
            table.insert(source, xml.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    return table;
}

struct Expected {
    const char* what;
    std::function<std::optional<ErrorMessage>()> make;
    const char* titleKey;  // nullptr: empty title
    const char* messageKey;
    const char* code;  // inserted into the "ErrorCode" format, else nullptr
    double width;
};

}  // namespace

class TextsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { LocalizedStrings::load(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { ErrorMessage::setPresenterForTesting({}); }

    void everyKeyHasATextInBothLanguages_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    }
    void everyKeyHasATextInBothLanguages() {
        QFETCH(QLocale, locale);
        QVERIFY(LocalizedStrings::load(locale));
        for (const QString& key : LocalizedStrings::keys())
            QVERIFY2(!LocalizedStrings::text(key.toUtf8().constData()).trimmed().isEmpty(),
                     qPrintable(key));
        // A translation that loses a placeholder would show a format instead of the value.
        // Plural forms: one minute, several minutes, and less than a minute.
        QVERIFY(LocalizedStrings::plural("WarningUpdateTime", 1).contains(" 1 "));
        QVERIFY(LocalizedStrings::plural("WarningUpdateTime", 3).contains(" 3 "));
        QVERIFY(LocalizedStrings::plural("WarningUpdateTime", 1) !=
                LocalizedStrings::plural("WarningUpdateTime", 3).replace(" 3 ", " 1 "));
        QVERIFY(!LocalizedStrings::text("WarningUpdateTimeUnderAMinute").contains('%'));
        QVERIFY(LocalizedStrings::text("UpdateCompleteMessage").contains("%1"));
        QVERIFY(LocalizedStrings::text("UpdateCompleteMessage").contains("%2"));
        QVERIFY(LocalizedStrings::text("ErrorCode").contains("%1"));
    }

    void bothTablesHoldExactlyTheApplicationsKeys() {
        const QStringList keys = LocalizedStrings::keys();
        const QSet<QString> wanted(keys.begin(), keys.end());
        QCOMPARE(wanted.size(), keys.size());
        for (const char* language : {"en", "de"}) {
            const QMap<QString, QString> table = ReadTable(
                QStringLiteral(PANELFLASHER_SOURCE_DIR "/app/translations/PanelFlasher_%1.ts")
                    .arg(language));
            const QStringList sources = table.keys();
            QCOMPARE(QSet<QString>(sources.begin(), sources.end()), wanted);
        }
    }

    void aMissingKeyGivesAnEmptyText() {
        QVERIFY(LocalizedStrings::text("NoSuchKey").isEmpty());
        QVERIFY(!LocalizedStrings::text("FileError").isEmpty());
    }

    void theLocaleChoosesTheTable() {
        QVERIFY(LocalizedStrings::load(QLocale(QLocale::German, QLocale::Austria)));
        QCOMPARE(LocalizedStrings::text("Cancel"), QStringLiteral("Abbrechen"));
        QCOMPARE(LocalizedStrings::text("OK"), QStringLiteral("OK"));
        QVERIFY(LocalizedStrings::load(QLocale(QLocale::French, QLocale::France)));
        QCOMPARE(LocalizedStrings::text("Cancel"), QStringLiteral("Cancel"));
    }

    void theFactoriesBuildTheirMessages_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    }
    void theFactoriesBuildTheirMessages() {
        QFETCH(QLocale, locale);
        LocalizedStrings::load(locale);
        const Expected table[] = {
            {"communication", ErrorMessage::communicationError, "CommunicationError",
             "CommunicationErrorMessage", nullptr, 120.0},
            {"no package", [] { return ErrorMessage::kfwFileExistsError(0); }, "FileError",
             "KfwFileNotFoundErrorMessage", nullptr, 20.0},
            {"two packages", [] { return ErrorMessage::kfwFileExistsError(2); }, "FileError",
             "KfwFileMultipleFoundErrorMessage", nullptr, 20.0},
            {"many packages", [] { return ErrorMessage::kfwFileExistsError(4000000000u); },
             "FileError", "KfwFileMultipleFoundErrorMessage", nullptr, 20.0},
            {"open", ErrorMessage::kfwFileOpenError, "FileError", "FileOpenErrorMessage", nullptr,
             20.0},
            {"check 1", [] { return ErrorMessage::kfwFileCheckError(1); }, "FileError",
             "FileDiffrentModelErrorMessage", nullptr, 20.0},
            {"check 2", [] { return ErrorMessage::kfwFileCheckError(2); }, "FileError",
             "UnsupportVersionErrorMessage", nullptr, 20.0},
            {"check 3", [] { return ErrorMessage::kfwFileCheckError(3); }, nullptr,
             "AlreadyUpdatedMessage", nullptr, 20.0},
            {"check 4", [] { return ErrorMessage::kfwFileCheckError(4); }, "CommunicationError",
             "CommunicationErrorMessage", nullptr, 120.0},
            {"check -1", [] { return ErrorMessage::kfwFileCheckError(-1); }, "CommunicationError",
             "CommunicationErrorMessage", nullptr, 120.0},
            {"checksum", [] { return ErrorMessage::monitorError(int32_t(0x80010005u)); },
             "ErrorCodeTitle", nullptr, "0001010100", 20.0},
            {"not back", [] { return ErrorMessage::monitorError(int32_t(0x80000000u)); },
             "CommunicationError", "CommunicationErrorMessage", nullptr, 120.0},
            {"link failure", [] { return ErrorMessage::monitorError(-1); }, "CommunicationError",
             "CommunicationErrorMessage", nullptr, 120.0},
            {"verify failure", [] { return ErrorMessage::monitorError(int32_t(0x8000001Eu)); },
             "CommunicationError", "CommunicationErrorMessage", nullptr, 120.0},
            {"update version", ErrorMessage::updateVersionError, "ErrorCodeTitle", nullptr,
             "0002020000", 20.0},
        };
        for (const Expected& expected : table) {
            const std::optional<ErrorMessage> message = expected.make();
            QVERIFY2(message, expected.what);
            const QString title =
                expected.titleKey ? LocalizedStrings::text(expected.titleKey) : QString();
            QCOMPARE(message->title(), title);
            if (expected.code) {
                QCOMPARE(message->message(),
                         LocalizedStrings::text("ErrorCode").arg(QLatin1String(expected.code)));
                QVERIFY2(message->message().contains(QLatin1String(expected.code)), expected.what);
            } else {
                QCOMPARE(message->message(), LocalizedStrings::text(expected.messageKey));
            }
            QVERIFY2(!message->message().isEmpty(), expected.what);
            QCOMPARE(message->style(), int(ErrorMessage::Critical));
            QCOMPARE(message->wideWidth(), expected.width);
        }
    }

    // What a failed update left, per update kind and outcome: never "as before" once a
    // complete transfer is marked for installation.
    void theStateDetailTellsWhatTheUpdateLeft_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("key");
        const struct {
            const char* name;
            FWFirmwareUpdateType kind;
        } kinds[] = {{"record files", FWFirmwareUpdateTypeV3},
                     {"record files with device files", FWFirmwareUpdateTypeV4},
                     {"scaler", FWFirmwareUpdateTypeMStar},
                     {"ZV", FWFirmwareUpdateTypeZV}};
        const struct {
            const char* name;
            FWUpdateOutcome outcome;
            const char* key;
        } outcomes[] = {
            {"untouched", FWUpdateOutcomeUntouched, "UpdateStateUnchanged"},
            {"old firmware kept", FWUpdateOutcomeOldFirmwareKept, "UpdateStateUnchanged"},
            {"mixed", FWUpdateOutcomeMixed, "UpdateStateMixed"},
            {"needs recovery", FWUpdateOutcomeNeedsRecovery, "UpdateStateNeedsRecovery"},
            {"complete", FWUpdateOutcomeComplete, "UpdateStateMarked"}};
        for (const auto& kind : kinds)
            for (const auto& outcome : outcomes)
                QTest::addRow("%s, %s", kind.name, outcome.name)
                    << int(kind.kind) << int(outcome.outcome) << QString(outcome.key);
    }
    void theStateDetailTellsWhatTheUpdateLeft() {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        QFETCH(QString, key);
        QCOMPARE(
            ErrorMessage::updateStateDetail(FWFirmwareUpdateType(kind), FWUpdateOutcome(outcome)),
            LocalizedStrings::text(key.toUtf8().constData()));
    }

    void noMessageWhenNothingFailed() {
        QVERIFY(!ErrorMessage::kfwFileExistsError(1));
        QVERIFY(!ErrorMessage::kfwFileCheckError(0));
    }

    void showModalShowsTheAlertWiderByItsWidth_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("communication, 120 wider") << 0;
        QTest::newRow("checksum code, 20 wider") << 1;
        QTest::newRow("already updated, no title") << 2;
    }
    void showModalShowsTheAlertWiderByItsWidth() {
        QFETCH(int, which);
        const ErrorMessage message =
            which == 0   ? *ErrorMessage::communicationError()
            : which == 1 ? *ErrorMessage::monitorError(ErrorMessage::kChecksumMismatch)
                         : *ErrorMessage::kfwFileCheckError(3);

        // The same alert without the extra width, as Qt sizes it.
        int naturalWidth = 0;
        {
            QMessageBox plain;
            plain.setIcon(QMessageBox::Critical);
            plain.setText(message.title());
            plain.setInformativeText(message.message());
            plain.addButton(LocalizedStrings::text("OK"), QMessageBox::AcceptRole);
            plain.show();
            naturalWidth = plain.width();
        }
        QVERIFY(naturalWidth > 0);

        struct Seen {
            bool found = false;
            QString text, informative;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QStringList buttons;
            int width = 0;
            bool modal = false;
        } seen;
        QTimer probe;
        probe.setInterval(20);
        connect(&probe, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            probe.stop();
            seen.found = true;
            seen.text = box->text();
            seen.informative = box->informativeText();
            seen.icon = box->icon();
            for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
            seen.width = box->width();
            seen.modal = box->windowModality() == Qt::ApplicationModal;
            box->buttons().first()->click();
        });
        probe.start();
        QTimer::singleShot(5000, [] {
            if (QWidget* stuck = QApplication::activeModalWidget()) stuck->close();
        });
        message.showModal();

        QVERIFY(seen.found);
        QCOMPARE(seen.text, message.title());
        QCOMPARE(seen.informative, message.message());
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QStringList{LocalizedStrings::text("OK")});
        QVERIFY(seen.modal);
        QCOMPARE(seen.width, naturalWidth + int(message.wideWidth()));
    }

    void theTestPresenterReplacesTheAlert() {
        QStringList shown;
        ErrorMessage::setPresenterForTesting([&](const ErrorMessage& message) {
            shown << message.message();
            return 7;
        });
        QCOMPARE(ErrorMessage::kfwFileOpenError()->showModal(), 7);
        QCOMPARE(shown, QStringList{LocalizedStrings::text("FileOpenErrorMessage")});
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TextsTest)
#include "TextsTest.moc"
