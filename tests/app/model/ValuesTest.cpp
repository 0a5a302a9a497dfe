// SPDX-License-Identifier: Apache-2.0
// Version labels, window placement and package discovery.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/PathUtils.h"
#include "model/UpdateThread.h"
#include "model/Version.h"
#include "model/WindowPlacement.h"

namespace {

bool Touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// The folder's entry names in the order the file system lists them.
QStringList ReaddirOrder(const QString& folder) {
    QStringList names;
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != "." && name != "..") names << name;
    }
    closedir(dir);
    return names;
}

}  // namespace

class ValuesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        PathUtils::setBundleDirectoryForTesting(QString());
        PathUtils::setPackageArgument(QString());
    }

    void versionLabels_data() {
        QTest::addColumn<QStringList>("versions");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("all");
        QTest::newRow("five") << QStringList{"1.02", "3.10", "0.05", "2.00", "1.01"}
                              << "1.02-3.10-0.05"
                              << "-2.00-1.01"
                              << "1.02-3.10-0.05-2.00-1.01";
        QTest::newRow("seven, the seventh shown nowhere")
            << QStringList{"1", "2", "3", "4", "5", "6", "7"} << "1-2-3"
            << "-4-5-6"
            << "1-2-3-4-5-6-7";
        QTest::newRow("four") << QStringList{"1", "2", "3", "4"} << "1-2-3"
                              << "-4"
                              << "1-2-3-4";
        QTest::newRow("three") << QStringList{"00105", "00212", "00030"} << "00105-00212-00030"
                               << ""
                               << "00105-00212-00030";
        QTest::newRow("one") << QStringList{"1.0A"} << "1.0A"
                             << ""
                             << "1.0A";
        QTest::newRow("none") << QStringList{} << ""
                              << ""
                              << "";
    }
    void versionLabels() {
        QFETCH(QStringList, versions);
        const Version version(versions);
        QTEST(version.upperLabelString(), "upper");
        QTEST(version.lowerLabelString(), "lower");
        QTEST(version.toString(), "all");
    }

    // Once the profile names a device, the devices go one per line with their names; the
    // plain form stays for monitors whose profile names none.
    void namedVersionLabels_data() {
        QTest::addColumn<QStringList>("versions");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("sentence");  // both parts as an alert's text puts them
        QTest::newRow("five named")
            << QStringList{"00105", "00030", "00212", "00007", "00012"}
            << QStringList{"Scaler", "Power Delivery", "USB Hub", "Light Sensor", "Audio"}
            << "Scaler: 00105\nPower Delivery: 00030\nUSB Hub: 00212"
            << "Light Sensor: 00007\nAudio: 00012"
            << "Scaler: 00105, Power Delivery: 00030, USB Hub: 00212, Light Sensor: 00007, "
               "Audio: 00012";
        QTest::newRow("seven named, the seventh shown nowhere")
            << QStringList{"1", "2", "3", "4", "5", "6", "7"}
            << QStringList{"a", "b", "c", "d", "e", "f", "g"} << "a: 1\nb: 2\nc: 3"
            << "d: 4\ne: 5\nf: 6"
            << "a: 1, b: 2, c: 3, d: 4, e: 5, f: 6";
        QTest::newRow("one unnamed among named")
            << QStringList{"00105", "00030"} << QStringList{"Scaler", ""} << "Scaler: 00105\n00030"
            << ""
            << "Scaler: 00105, 00030";
        QTest::newRow("fewer names than versions")
            << QStringList{"1", "2", "3", "4"} << QStringList{"Main"} << "Main: 1\n2\n3"
            << "4"
            << "Main: 1, 2, 3, 4";
        QTest::newRow("no name given")
            << QStringList{"1", "2", "3", "4"} << QStringList{"", "", "", ""} << "1-2-3"
            << "-4"
            << "1-2-3-4";
    }
    void namedVersionLabels() {
        QFETCH(QStringList, versions);
        QFETCH(QStringList, names);
        const Version version(versions, names);
        QTEST(version.upperLabelString(), "upper");
        QTEST(version.lowerLabelString(), "lower");
        QTEST(version.upperInlineString() + version.lowerInlineString(), "sentence");
        // The plain list of versions stays as it was: it goes into the update history.
        QCOMPARE(version.toString(), versions.join('-'));
    }

    // Which image the window names and how far its bar is, from the progress record (bytes
    // over the whole run) and the plan's image sizes.
    void currentImage_data() {
        QTest::addColumn<QList<quint64>>("sizes");
        QTest::addColumn<uint>("imagesDone");
        QTest::addColumn<uint>("images");  // totalCount of the record
        QTest::addColumn<uint>("bytesDone");
        QTest::addColumn<uint>("index");
        QTest::addColumn<uint>("count");
        QTest::addColumn<int>("percent");
        const QList<quint64> two{1024, 512};
        QTest::newRow("first image half out") << two << 0u << 2u << 512u << 1u << 2u << 50;
        QTest::newRow("first image out, being checked")
            << two << 0u << 2u << 1024u << 1u << 2u << 100;
        QTest::newRow("second image from none") << two << 1u << 2u << 1024u << 2u << 2u << 0;
        QTest::newRow("all out") << two << 2u << 2u << 1536u << 2u << 2u << 100;
        // Before the first progress call the record is still empty.
        QTest::newRow("nothing reported yet") << two << 0u << 0u << 0u << 1u << 2u << 0;
        // An action without its image is counted by the record but not planned.
        QTest::newRow("the plan counts the images") << two << 0u << 3u << 256u << 1u << 2u << 25;
        QTest::newRow("empty image") << QList<quint64>{0, 512} << 0u << 2u << 0u << 1u << 2u << 0;
        // Without the plan's sizes the bar cannot show one image: busy, and the record counts.
        QTest::newRow("no plan") << QList<quint64>{} << 1u << 3u << 700u << 2u << 3u << -1;
        QTest::newRow("no plan, nothing reported")
            << QList<quint64>{} << 0u << 0u << 0u << 1u << 1u << -1;
    }
    void currentImage() {
        QFETCH(QList<quint64>, sizes);
        UpdateThread::Progress progress;
        progress.phase = UpdateThread::Phase::Transferring;
        progress.imageBytes.assign(sizes.begin(), sizes.end());
        QFETCH(uint, imagesDone);
        QFETCH(uint, images);
        QFETCH(uint, bytesDone);
        progress.imagesDone = imagesDone;
        progress.images = images;
        progress.bytesDone = bytesDone;
        const UpdateThread::Progress::ImageStep step = progress.currentImage();
        QTEST(uint(step.index), "index");
        QTEST(uint(step.count), "count");
        QTEST(step.percent, "percent");
    }

    void windowOrigin_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("origin");
        // Bottom-left corner at (560, 320) counted from the bottom: top edge at 1080-320-600.
        QTest::newRow("full HD") << QRect(0, 0, 1920, 1080) << QSize(800, 600) << QPoint(560, 160);
        QTest::newRow("fills the screen")
            << QRect(0, 0, 800, 600) << QSize(800, 600) << QPoint(0, 0);
        QTest::newRow("larger than the screen")
            << QRect(0, 0, 800, 600) << QSize(1000, 900) << QPoint(-100, -100);
        QTest::newRow("no screen") << QRect() << QSize(300, 300) << QPoint(-150, -100);
        QTest::newRow("twice the space below")
            << QRect(0, 0, 1000, 1000) << QSize(400, 400) << QPoint(300, 200);
        // A primary screen right of or below another one does not start at (0, 0).
        QTest::newRow("right of another screen")
            << QRect(2560, 0, 1920, 1080) << QSize(800, 600) << QPoint(3120, 160);
        QTest::newRow("below another screen")
            << QRect(0, 1440, 1920, 1080) << QSize(800, 600) << QPoint(560, 1600);
        QTest::newRow("left of the origin")
            << QRect(-1920, -200, 1920, 1080) << QSize(800, 600) << QPoint(-1360, -40);
    }
    void windowOrigin() {
        QFETCH(QRect, screen);
        QFETCH(QSize, window);
        QTEST(WindowOrigin(screen, window), "origin");
    }

    void aWindowIsPlacedOnThePrimaryScreen() {
        QWidget window;
        window.resize(300, 240);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(screen.width() > 300 && screen.height() > 240);
        setWindowPositionToCenter(&window);
        QCOMPARE(window.pos(), WindowOrigin(screen, window.frameGeometry().size()));
        QVERIFY(screen.contains(QRect(window.pos(), window.frameGeometry().size())));
        QCOMPARE(window.size(), QSize(300, 240));
        // Null is tolerated: a window that is gone is not placed.
        setWindowPositionToCenter(nullptr);
    }

    void packagesAreFoundBesideTheApplication() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const char* name : {"monitor.kfw2", "OTHER.KFW2", "xkfw2", "notes.txt",
                                 "monitor.kfw2.txt", ".hidden.Kfw2"})
            QVERIFY(Touch(folder.filePath(name)));
        PathUtils::setBundleDirectoryForTesting(folder.path());

        QStringList expected;
        for (const QString& name : ReaddirOrder(folder.path()))
            if (name.toLower().endsWith(".kfw2")) expected << QDir(folder.path()).filePath(name);
        QCOMPARE(expected.size(), 3);
        QCOMPARE(PathUtils::kfw2FilePaths(), expected);
        QCOMPARE(PathUtils::kfw2FilePath(), std::optional<QString>(expected.first()));
        QCOMPARE(PathUtils::bundleFilePathWithName("a.kfw2"), folder.filePath("a.kfw2"));
    }

    void aFolderNamedLikeAPackageCountsButItsInsideIsNotSearched() {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("firmware.kfw2"));
        QVERIFY(QDir(folder.path()).mkpath("sub"));
        QVERIFY(Touch(folder.filePath("sub/inner.kfw2")));
        QVERIFY(Touch(folder.filePath("firmware.kfw2/inner.kfw2")));
        PathUtils::setBundleDirectoryForTesting(folder.path());
        QCOMPARE(PathUtils::kfw2FilePaths(), QStringList{folder.filePath("firmware.kfw2")});
    }

    // A package named on the command line wins over the folder rule, whatever its name and
    // however many packages lie beside the program; a name that is not a file gives none.
    void aNamedPackageIsTheOnlyOne() {
        QTemporaryDir beside, elsewhere;
        for (const char* name : {"a.kfw2", "b.kfw2"}) QVERIFY(Touch(beside.filePath(name)));
        QVERIFY(Touch(elsewhere.filePath("firmware.bin")));
        QVERIFY(QDir(elsewhere.path()).mkpath("folder.kfw2"));
        PathUtils::setBundleDirectoryForTesting(beside.path());

        // Relative to the working folder, as a shell passes it.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        PathUtils::setPackageArgument("firmware.bin");
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(PathUtils::kfw2FilePaths(), QStringList{elsewhere.filePath("firmware.bin")});
        QCOMPARE(PathUtils::searchedDirectory(), QFileInfo(elsewhere.path()).absoluteFilePath());

        for (const char* missing : {"missing.kfw2", "folder.kfw2"}) {
            PathUtils::setPackageArgument(elsewhere.filePath(missing));
            QVERIFY2(PathUtils::kfw2FilePaths().isEmpty(), missing);
        }
        PathUtils::setPackageArgument(QString());
        QCOMPARE(PathUtils::kfw2FilePaths().size(), 2);
        QCOMPARE(PathUtils::searchedDirectory(), beside.path());
    }

    void noPackageOrNoFolderGivesNothing() {
        QTemporaryDir folder;
        QVERIFY(Touch(folder.filePath("readme.txt")));
        PathUtils::setBundleDirectoryForTesting(folder.path());
        QVERIFY(PathUtils::kfw2FilePaths().isEmpty());
        QVERIFY(!PathUtils::kfw2FilePath());
        PathUtils::setBundleDirectoryForTesting(folder.filePath("missing"));
        QVERIFY(PathUtils::kfw2FilePaths().isEmpty());
    }

    void anUnreadableFolderGivesNothing() {
        if (geteuid() == 0) QSKIP("root reads every folder; the permission cannot be tested");
        QTemporaryDir folder;
        QVERIFY(Touch(folder.filePath("monitor.kfw2")));
        QVERIFY(chmod(QFile::encodeName(folder.path()).constData(), 0) == 0);
        PathUtils::setBundleDirectoryForTesting(folder.path());
        const QStringList found = PathUtils::kfw2FilePaths();
        chmod(QFile::encodeName(folder.path()).constData(), 0700);
        QVERIFY(found.isEmpty());
    }

    void theApplicationsFolderIsTheDefault() {
        QCOMPARE(PathUtils::bundleDirectory(), QCoreApplication::applicationDirPath());
        PathUtils::setBundleDirectoryForTesting("/somewhere");
        QCOMPARE(PathUtils::bundleDirectory(), QStringLiteral("/somewhere"));
    }
};

QTEST_MAIN(ValuesTest)
#include "ValuesTest.moc"
