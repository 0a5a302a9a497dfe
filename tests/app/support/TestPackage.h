// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

#include "flashkit/flashkit.h"

namespace apptest {

// Builds a package through the exported JSON editing functions, as a firmware engineer's tool
// does, and writes it where the test wants it. Failures are collected, not thrown, so a test
// checks ok() and shows errors().
class TestPackage {
public:
    explicit TestPackage(bool legacy = false) : m_file(FWKfwFileCreateEmpty(legacy)) {}
    ~TestPackage() { FWKfwFileRelease(m_file); }
    TestPackage(const TestPackage&) = delete;
    TestPackage& operator=(const TestPackage&) = delete;

    FWKfwFile* get() const { return m_file; }
    bool ok() const { return m_errors.isEmpty(); }
    QByteArray errors() const { return m_errors.join("; ").toUtf8(); }

    TestPackage& products(const QStringList& names) {
        QStringList quoted;
        for (const QString& name : names) quoted << '"' + name + '"';
        check(FWKfwFileUpdateMonitorProducts(m_file, ('[' + quoted.join(',') + ']').toUtf8()),
              "products");
        return *this;
    }
    TestPackage& target(uint32_t device, uint32_t version) {
        m_targets << QStringLiteral("{\"device\":%1,\"version\":%2}").arg(device).arg(version);
        check(FWKfwFileUpdateTargetVersion(m_file, ('[' + m_targets.join(',') + ']').toUtf8()),
              "target versions");
        return *this;
    }
    // Seconds added to every estimate; 0 makes the estimate the actions' own times.
    TestPackage& margin(uint32_t seconds) {
        check(FWKfwFileUpdateOptions(
                  m_file, QStringLiteral("{\"estimatedTimeMargin\":%1}").arg(seconds).toUtf8()),
              "options");
        return *this;
    }
    // An image for the record file `fileName` that a simulated monitor installs as `version`,
    // and the action that transfers it.
    TestPackage& transfer(const QString& fileName, uint32_t version, int size,
                          uint32_t seconds = 0) {
        return addTransfer(fileName, version, size,
                           QStringLiteral("\"type\":\"TransferData\",\"estimatedTime\":%1,"
                                          "\"fileName\":\"%2\"")
                               .arg(seconds)
                               .arg(fileName));
    }
    // The same for the flash of a ZV monitor at `address`.
    TestPackage& zvTransfer(uint32_t address, uint32_t version, int size, uint32_t seconds = 0) {
        return addTransfer(QStringLiteral("ZV%1").arg(address, 8, 16, QLatin1Char('0')), version,
                           size,
                           QStringLiteral("\"type\":\"TransferZVData\",\"estimatedTime\":%1,"
                                          "\"address\":%2")
                               .arg(seconds)
                               .arg(address));
    }
    // One bundle of every transfer so far; `conditions` is the JSON array's inside, such as
    // {"device":0,"version":110,"comparison":"lt"}.
    TestPackage& bundle(const QString& conditions = QString()) {
        FWUuid id{};
        check(FWKfwFileRegisterBundle(
                  m_file,
                  QStringLiteral("{\"actions\":[%1],\"conditions\":[%2],\"estimatedTime\":0}")
                      .arg(m_actions.join(','), conditions)
                      .toUtf8(),
                  &id),
              "bundle");
        return *this;
    }
    bool save(const QString& path, unsigned int options = 0) {
        check(FWKfwFileSerializeToUtf8Path(m_file, QFile::encodeName(path).constData(), options),
              "write " + path);
        return ok();
    }

    // "SIMV", the version (little-endian), then a pattern: what the simulator installs.
    static QByteArray Image(uint32_t version, int size) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) bytes[i] = char(uint8_t(1 + i * 13 + (i >> 9)));
        const char head[8] = {'S',
                              'I',
                              'M',
                              'V',
                              char(version & 0xFF),
                              char((version >> 8) & 0xFF),
                              char((version >> 16) & 0xFF),
                              char((version >> 24) & 0xFF)};
        for (int i = 0; i < 8 && i < size; ++i) bytes[i] = head[i];
        return bytes;
    }

private:
    // Writes the image, registers it as a blob named `name` and adds an action of the given
    // members that transfers it.
    TestPackage& addTransfer(const QString& name, uint32_t version, int size,
                             const QString& members) {
        const QString path = m_images.filePath(name + ".bin");
        QFile image(path);
        check(image.open(QIODevice::WriteOnly) && image.write(Image(version, size)) == size,
              "image " + name);
        image.close();
        FWUuid blob{};
        check(FWKfwFileRegisterBlob(
                  m_file,
                  QStringLiteral("{\"name\":\"%1\",\"path\":\"%2\"}").arg(name, path).toUtf8(),
                  &blob),
              "blob " + name);
        FWUuid action{};
        check(FWKfwFileRegisterAction(
                  m_file, QStringLiteral("{%1,\"blob\":\"%2\"}").arg(members, Text(blob)).toUtf8(),
                  &action),
              "action " + name);
        m_actions << '"' + Text(action) + '"';
        return *this;
    }
    static QString Text(FWUuid id) {
        char text[37];
        FWUuidGetString(id, text);
        return QString::fromLatin1(text);
    }
    void check(bool done, const QString& what) {
        if (done) return;
        const char* reason = nullptr;
        FWGetLastError(&reason);
        m_errors << what + ": " + QString::fromUtf8(reason ? reason : "");
    }

    FWKfwFile* m_file;
    QTemporaryDir m_images;
    QStringList m_targets;
    QStringList m_actions;
    QStringList m_errors;
};

// Writes a simulator description and selects it for this process. Must run before the first
// call of the monitor-control library, which reads the choice once.
inline bool UseSimulatedMonitors(const QTemporaryDir& folder, const QByteArray& json) {
    const QString path = folder.filePath("monitors.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size()) return false;
    file.close();
    return qputenv("SCREENIO_SIM", QFile::encodeName(path));
}

}  // namespace apptest
