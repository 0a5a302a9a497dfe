// SPDX-License-Identifier: Apache-2.0
// Monitors as the application sees them, against simulated monitors: the search, names,
// on-screen identification, finding the monitor again, the version reads and the estimate.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "flashkit/flashkit.h"
#include "model/KfwFile.h"
#include "model/Monitor.h"
#include "model/TargetMonitor.h"
#include "screenio/screenio.h"
#include "support/TestPackage.h"

namespace {

// A record-file monitor with `count` displayed devices of small files; device i has the
// version 100 + i.
QByteArray ManyDevices(const char* product, const char* serial, int count) {
    QStringList devices;
    for (int i = 0; i < count; ++i)
        devices << QStringLiteral("{\"id\":%1,\"fileName\":\"D%2\",\"recordSize\":16,"
                                  "\"recordCount\":1,\"version\":%3,\"displayOrder\":%4}")
                       .arg(i)
                       .arg(i, 5, 10, QLatin1Char('0'))
                       .arg(100 + i)
                       .arg(i + 1);
    return QStringLiteral("{\"product\":\"%1\",\"serial\":\"%2\",\"kind\":\"files\","
                          "\"devices\":[%3]}")
        .arg(product, serial, devices.join(','))
        .toUtf8();
}

// Two monitors of one product with five displayed devices, a scaler monitor and two monitors at
// the edge of the device count.
QByteArray Description() {
    const QByteArray fiveDevices = R"("devices": [
        {"id": 0, "name": "Scaler", "fileName": "SCL000", "recordSize": 512, "recordCount": 4,
         "version": 105, "displayOrder": 1},
        {"id": 1, "name": "USB Hub", "fileName": "HUB000", "recordSize": 512, "recordCount": 2,
         "version": 212, "displayOrder": 2},
        {"id": 2, "name": "Power", "fileName": "PDC000", "recordSize": 512, "recordCount": 2,
         "version": 30, "displayOrder": 3},
        {"id": 3, "name": "Sensor", "fileName": "ALS000", "recordSize": 512, "recordCount": 2,
         "version": 7, "displayOrder": 4},
        {"id": 4, "name": "Hidden", "fileName": "BLD000", "recordSize": 512, "recordCount": 2,
         "version": 101, "displayOrder": 0},
        {"id": 5, "name": "Audio", "fileName": "AUD000", "recordSize": 512, "recordCount": 2,
         "version": 44, "displayOrder": 5}
    ])";
    return "{\"monitors\": [\n"
           "{\"product\": \"Panel A\", \"serial\": \"PNLA0001\", \"kind\": \"files\", " +
           fiveDevices + "},\n" +
           "{\"product\": \"Panel A\", \"serial\": \"PNLA0002\", \"kind\": \"files\", " +
           fiveDevices + "},\n" +
           R"({"product": "Scaler 32", "serial": "MST00001", "kind": "mstar",
               "devices": [{"id": 256, "name": "Scaler", "version": 118, "address": 0,
                            "flagAddress": 1040384}]},)"
           "\n" +
           ManyDevices("Wide 128", "WIDE0128", 128) + ",\n" +
           ManyDevices("Wide 129", "WIDE0129", 129) + "\n]}";
}

std::shared_ptr<Monitor> FindSerial(const std::vector<std::shared_ptr<Monitor>>& monitors,
                                    const QString& serial) {
    for (const std::shared_ptr<Monitor>& monitor : monitors)
        if (monitor->serial() == serial) return monitor;
    return nullptr;
}

std::shared_ptr<TargetMonitor> Target(const QString& serial) {
    const std::shared_ptr<Monitor> found = FindSerial(Monitor::find(), serial);
    return found ? TargetMonitor::initWithHandle(found->handle()) : nullptr;
}

}  // namespace

class MonitorsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(apptest::UseSimulatedMonitors(m_folder, Description()));
        m_trace = m_folder.filePath("trace.txt");
        qputenv("SCREENIO_TRACE", QFile::encodeName(m_trace));
    }
    void cleanupTestCase() { KmRelease(); }

    void theSearchListsEveryMonitorInOrder() {
        const std::vector<std::shared_ptr<Monitor>> monitors = Monitor::find();
        QStringList names;
        for (const std::shared_ptr<Monitor>& monitor : monitors) names << monitor->displayName();
        QCOMPARE(names, (QStringList{"Panel A (S/N: PNLA0001)", "Panel A (S/N: PNLA0002)",
                                     "Scaler 32 (S/N: MST00001)", "Wide 128 (S/N: WIDE0128)",
                                     "Wide 129 (S/N: WIDE0129)"}));
        QCOMPARE(monitors[1]->product(), QStringLiteral("Panel A"));
        QCOMPARE(monitors[1]->serial(), QStringLiteral("PNLA0002"));
    }

    void twoMonitorsOfOneProductAreToldApartBySerial() {
        const std::vector<std::shared_ptr<Monitor>> monitors = Monitor::find();
        QVERIFY(monitors.size() >= 2);
        QVERIFY(monitors[0]->handle() != monitors[1]->handle());
        QVERIFY(monitors[0]->isTargetMonitor("Panel A", "PNLA0001"));
        QVERIFY(!monitors[0]->isTargetMonitor("Panel A", "PNLA0002"));
        QVERIFY(monitors[1]->isTargetMonitor("Panel A", "PNLA0002"));
        QVERIFY(!monitors[1]->isTargetMonitor("panel a", "PNLA0002"));
        QVERIFY(!monitors[1]->isTargetMonitor("Panel A", "PNLA000"));

        // The target made from the second one's handle reads the second one.
        const std::shared_ptr<TargetMonitor> target =
            TargetMonitor::initWithHandle(monitors[1]->handle());
        QVERIFY(target);
        QCOMPARE(target->serial(), QStringLiteral("PNLA0002"));
        QVERIFY(!TargetMonitor::initWithHandle(nullptr));
        QVERIFY(!Monitor::initWithHandle(nullptr));
    }

    void theIdentificationGoesToTheChosenMonitor() {
        const std::vector<std::shared_ptr<Monitor>> monitors = Monitor::find();
        // The trace stays open for appending; only what these calls add counts.
        const qint64 start = QFileInfo(m_trace).size();
        monitors[1]->changeOSDStatus(true);
        monitors[0]->changeOSDStatus(false);
        QFile trace(m_trace);
        QVERIFY(trace.open(QIODevice::ReadOnly));
        QVERIFY(trace.seek(start));
        QStringList writes;
        for (const QByteArray& line : trace.readAll().split('\n'))
            if (line.contains("set-value FF00/000F"))
                writes << QString::fromLatin1(line.mid(line.indexOf(' ') + 1));
        // The protocol's OSD values: 0x8000 leaves the identification, 0x4000 enters it; switching
        // it on leaves first.
        QCOMPARE(writes,
                 (QStringList{"PNLA0002 set-value FF00/000F length=0 status=0 value=0x8000",
                              "PNLA0002 set-value FF00/000F length=0 status=0 value=0x4000",
                              "PNLA0001 set-value FF00/000F length=0 status=0 value=0x8000"}));
    }

    void theTargetFindsItsMonitorAgainAfterASearch() {
        const std::shared_ptr<TargetMonitor> target = Target("PNLA0002");
        QVERIFY(target);
        void* before = target->handle();
        Monitor::find();  // every earlier handle is invalid from here on
        char serial[9] = {}, product[17] = {};
        QVERIFY(FWMonitorGetSerialProduct(before, serial, product) < 0);

        QVERIFY(target->updateMonitorHandle());
        QVERIFY(FWMonitorGetSerialProduct(target->handle(), serial, product) >= 0);
        QCOMPARE(QString::fromLatin1(serial), QStringLiteral("PNLA0002"));
        QVERIFY(target->getVersionFromMonitor());
    }

    void aTargetThatIsGoneKeepsItsHandle() {
        TargetMonitor ghost(reinterpret_cast<void*>(0x1234), "Panel A", "GONE0001");
        QVERIFY(!ghost.updateMonitorHandle());
        QCOMPARE(ghost.handle(), reinterpret_cast<void*>(0x1234));
    }

    void theVersionsAreReadInDisplayOrder() {
        const std::shared_ptr<TargetMonitor> target = Target("PNLA0001");
        QVERIFY(target);
        QVERIFY(!target->version());
        QVERIFY(target->getVersionFromMonitor());
        QVERIFY(target->version());
        // The hidden device is not shown; five remain, two of them on the lower line.
        QCOMPARE(target->version()->versions(),
                 (QStringList{"00105", "00212", "00030", "00007", "00044"}));
        // Each labelled with the name the monitor's device files give it.
        QCOMPARE(target->version()->names(),
                 (QStringList{"Scaler", "USB Hub", "Power", "Sensor", "Audio"}));
        QCOMPARE(target->version()->upperLabelString(),
                 QStringLiteral("Scaler: 00105\nUSB Hub: 00212\nPower: 00030"));
        QCOMPARE(target->version()->lowerLabelString(),
                 QStringLiteral("Sensor: 00007\nAudio: 00044"));
    }

    void theVersionsAfterTheUpdateComeFromThePackage() {
        const std::shared_ptr<TargetMonitor> target = Target("PNLA0001");
        QVERIFY(target);
        apptest::TestPackage package;
        package.products({"Panel A"}).target(0, 110).target(3, 9);
        package.transfer("SCL000", 110, 2048).transfer("ALS000", 9, 1024).bundle();
        QVERIFY2(package.ok(), package.errors().constData());
        QVERIFY(target->getUpdatedVersionFromMonitor(package.get()));
        QCOMPARE(target->updatedVersion()->toString(),
                 QStringLiteral("00110-00212-00030-00009-00044"));
        QCOMPARE(target->updatedVersion()->lowerLabelString(),
                 QStringLiteral("Sensor: 00009\nAudio: 00044"));
        QVERIFY(!target->version());  // the current versions are a read of their own
    }

    void theDeviceCountIsLimited() {
        const std::shared_ptr<TargetMonitor> most = Target("WIDE0128");
        QVERIFY(most);
        QVERIFY(most->getVersionFromMonitor());
        QCOMPARE(most->version()->versions().size(), 128);
        QCOMPARE(most->version()->versions().last(), QStringLiteral("00227"));
        // Devices without names keep the plain label.
        QCOMPARE(most->version()->names(), QStringList(128, QString()));
        QCOMPARE(most->version()->upperLabelString(), QStringLiteral("00100-00101-00102"));

        const std::shared_ptr<TargetMonitor> tooMany = Target("WIDE0129");
        QVERIFY(tooMany);
        QVERIFY(!tooMany->getVersionFromMonitor());
        QVERIFY(!tooMany->version());
    }

    void aMonitorThatCannotBeReadGivesNoVersions() {
        const std::shared_ptr<TargetMonitor> target = Target("PNLA0001");
        QVERIFY(target);
        Monitor::find();  // the target's handle is now invalid
        QVERIFY(!target->getVersionFromMonitor());
        apptest::TestPackage package;
        package.products({"Panel A"}).target(0, 110).transfer("SCL000", 110, 2048).bundle();
        QVERIFY(!target->getUpdatedVersionFromMonitor(package.get()));
    }

    void onlyFileTransferMonitorsSupportTheUpdateSystem() {
        QVERIFY(Target("PNLA0001")->supportsV3UpdateSystem());
        QVERIFY(!Target("MST00001")->supportsV3UpdateSystem());
    }

    void theEstimateIsInWholeMinutesRoundedUp_data() {
        QTest::addColumn<uint>("seconds");
        QTest::addColumn<uint>("minutes");
        QTest::newRow("nothing") << 0u << 0u;
        QTest::newRow("one second") << 1u << 1u;
        QTest::newRow("a minute") << 60u << 1u;
        QTest::newRow("a minute and a second") << 61u << 2u;
        QTest::newRow("two minutes") << 120u << 2u;
    }
    void theEstimateIsInWholeMinutesRoundedUp() {
        QFETCH(uint, seconds);
        const std::shared_ptr<TargetMonitor> target = Target("PNLA0001");
        QVERIFY(target);
        apptest::TestPackage package;
        package.products({"Panel A"}).target(0, 110).margin(0);
        package.transfer("SCL000", 110, 2048, seconds).bundle();
        const QString path = m_folder.filePath("estimate.kfw2");
        QVERIFY2(package.save(path), package.errors().constData());

        const KfwFile file(FWKfwFileCreateWithUtf8Path(QFile::encodeName(path).constData()));
        QVERIFY(file.handle());
        QCOMPARE(FWKfwFileGetEstimatedTimeForMonitor(file.handle(), target->handle(), 0), seconds);
        QTEST(file.estimatedTimeWithMonitor(*target), "minutes");
    }

private:
    QTemporaryDir m_folder;
    QString m_trace;
};

QTEST_MAIN(MonitorsTest)
#include "MonitorsTest.moc"
