// SPDX-License-Identifier: Apache-2.0
// The desktop's MIME database, given the MIME type file PanelFlasher installs, recognises
// packages the library writes: by their extension and, under any name, by their first bytes.
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include "support/TestPackage.h"

namespace {

const char* const kType = "application/x-kfw2";

}  // namespace

class DesktopFilesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The database reads the data folders once, at its first use: only ours and the system's.
        QVERIFY(m_data.isValid());
        QVERIFY(QDir(m_data.path()).mkpath("mime/packages"));
        QVERIFY(QFile::copy(PANELFLASHER_SOURCE_DIR
                            "/app/desktop/org.flashkit.PanelFlasher.mime.xml",
                            m_data.filePath("mime/packages/org.flashkit.PanelFlasher.mime.xml")));
        qputenv("XDG_DATA_DIRS", (m_data.path() + ":/usr/share").toUtf8());
        qputenv("XDG_DATA_HOME", m_data.filePath("home").toUtf8());
    }

    void packagesAreRecognised_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("realPackage");
        QTest::addColumn<bool>("expected");
        QTest::newRow("package") << "firmware.kfw2" << true << true;
        QTest::newRow("package, upper-case extension") << "FIRMWARE.KFW2" << true << true;
        QTest::newRow("package without extension") << "firmware" << true << true;
        QTest::newRow("package with another extension") << "firmware.bin" << true << true;
        QTest::newRow("other bytes named like a package") << "notes.kfw2" << false << true;
        QTest::newRow("other bytes") << "notes" << false << false;
    }

    void packagesAreRecognised() {
        QFETCH(QString, name);
        QFETCH(bool, realPackage);
        QFETCH(bool, expected);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        if (realPackage) {
            apptest::TestPackage package;
            package.products({"Demo V27Q"}).target(0, 110);
            QVERIFY2(package.save(path), package.errors());
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("plain text, not a package\n");
        }
        const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
        QCOMPARE(type.name() == kType, expected);
    }

private:
    QTemporaryDir m_data;
};

QTEST_GUILESS_MAIN(DesktopFilesTest)
#include "DesktopFilesTest.moc"
