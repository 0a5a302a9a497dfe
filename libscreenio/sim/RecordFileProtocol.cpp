// SPDX-License-Identifier: Apache-2.0
#include "sim/RecordFileProtocol.h"

#include <algorithm>
#include <cctype>

#include "LittleEndian.h"
#include "sim/SimClock.h"
#include "sim/SimImage.h"

namespace screenio::sim {
namespace {

constexpr uint32_t kNameLength = 6;

std::string NameAt(const uint8_t* bytes) { return std::string(bytes, bytes + kNameLength); }

void PutText(uint8_t* out, size_t room, const std::string& text) {
    std::fill_n(out, room, 0);
    std::copy_n(text.begin(), std::min(room, text.size()), out);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A name that differs from `name` in its last character, for replies that must echo wrongly.
std::string OtherName(std::string name) {
    name.back() = static_cast<char>(name.back() ^ 0x01);
    return name;
}

}  // namespace

RecordFileProtocol::RecordFileProtocol(const MonitorDescription& description,
                                       SimMonitorState& state)
    : m_description(description), m_state(state) {}

void RecordFileProtocol::build() {
    RecordFileSystem& files = m_state.files;
    files.clear();
    for (const DeviceDescription& d : m_state.devices)
        if (!files.find(d.fileName))
            files.addPermanent(d.fileName, d.recordSize, d.recordCount, {}, false);
    for (const FileDescription& f : m_description.files)
        files.addPermanent(f.name, f.recordSize, f.recordCount, f.content, false);
    regenerateDeviceFiles();
}

void RecordFileProtocol::regenerateDeviceFiles() {
    if (m_description.kind != MonitorKind::Files) return;
    const std::vector<DeviceDescription>& devices = m_state.devices;
    const size_t n = devices.size();
    const uint16_t count = static_cast<uint16_t>(n);
    const uint16_t nameSize = static_cast<uint16_t>(m_description.deviceNameRecordSize);
    std::vector<uint8_t> names(n * nameSize, 0), fileNames(n * 8, 0), versions(n * 4, 0),
        orders(n * 4, 0);
    for (size_t i = 0; i < n; ++i) {
        PutText(&names[i * nameSize], nameSize, devices[i].name);
        PutText(&fileNames[i * 8], 8, devices[i].fileName);
        common::le::Put32(&versions[i * 4], devices[i].version);
        common::le::Put32(&orders[i * 4], devices[i].displayOrder);
    }
    m_state.files.addPermanent("KFW000", nameSize, count, names, true);
    m_state.files.addPermanent("KFW001", 8, count, fileNames, true);
    m_state.files.addPermanent("KFW002", 4, count, versions, true);
    m_state.files.addPermanent("KFW003", 4, count, orders, true);
}

void RecordFileProtocol::selectProperty(const uint8_t* in) { m_state.selection.file = NameAt(in); }

KmError RecordFileProtocol::property(uint8_t* out, bool wrongEcho) const {
    if (!m_state.selection.file) return SCREENIO_ERROR_REJECTED;
    std::fill_n(out, 16, 0);
    const std::string& name = *m_state.selection.file;
    PutText(out, kNameLength, wrongEcho ? OtherName(name) : name);
    if (const RecordFile* file = m_state.files.find(name)) {
        common::le::Put16(out + 6, file->recordSize);
        common::le::Put16(out + 8, file->recordCount);
    }
    return 0;
}

KmError RecordFileProtocol::createTemporary(const uint8_t* in) {
    const std::string name = NameAt(in);
    const uint16_t recordSize = common::le::Get16(in + 6);
    const uint16_t recordCount = common::le::Get16(in + 8);
    // The monitor reserves the copy next to the firmware it replaces and has no room for more:
    // refusing now tells the host at once, where a file too large to install would only show
    // as a version unchanged after the restart.
    const RecordFile* firmware = m_state.files.find(Upper(name));
    if (firmware && !firmware->temporary && firmware->name != name &&
        uint32_t(recordSize) * recordCount > firmware->byteSize())
        return SCREENIO_ERROR_REJECTED;
    return m_state.files.createTemporary(name, recordSize, recordCount);
}

KmError RecordFileProtocol::writePage(const uint8_t* in) {
    return m_state.files.writePage(NameAt(in), common::le::Get16(in + 6), common::le::Get16(in + 8),
                                   in + 10);
}

KmError RecordFileProtocol::requestPage(const uint8_t* in) {
    if (KmError status = m_state.files.checkPage(NameAt(in), common::le::Get16(in + 6),
                                                 common::le::Get16(in + 8));
        status < 0)
        return status;
    std::array<uint8_t, 10> head{};
    std::copy_n(in, head.size(), head.begin());
    m_state.selection.pageRead = head;
    return 0;
}

KmError RecordFileProtocol::readPage(uint8_t* out, bool wrongEcho) const {
    if (!m_state.selection.pageRead) return SCREENIO_ERROR_REJECTED;
    const std::array<uint8_t, 10>& head = *m_state.selection.pageRead;
    std::fill_n(out, kReportLength, 0);
    KmError status = m_state.files.readPage(NameAt(head.data()), common::le::Get16(&head[6]),
                                            common::le::Get16(&head[8]), out + 10);
    if (status < 0) return status;
    std::copy(head.begin(), head.end(), out);
    if (wrongEcho)
        common::le::Put16(out + 8, static_cast<uint16_t>(common::le::Get16(&head[8]) + 1));
    return 0;
}

KmError RecordFileProtocol::startCrc(const uint8_t* in) {
    const std::string name = NameAt(in);
    KmError status = m_state.files.startCrc(name, common::le::Get32(in + 6), SimClock::nowUs(),
                                            static_cast<int64_t>(m_description.crcBusyMs) * 1000);
    if (status >= 0) m_state.selection.crcFile = name;
    return status;
}

KmError RecordFileProtocol::crc(uint8_t* out, bool wrongEcho, bool stayBusy, bool corrupt) const {
    if (!m_state.selection.crcFile) return SCREENIO_ERROR_REJECTED;
    const RecordFile* file = m_state.files.find(*m_state.selection.crcFile);
    if (!file || !file->crcStarted) return SCREENIO_ERROR_REJECTED;
    std::fill_n(out, 15, 0);
    PutText(out, kNameLength, wrongEcho ? OtherName(file->name) : file->name);
    common::le::Put32(out + 6, file->byteSize());
    const bool busy = stayBusy || RecordFileSystem::crcBusy(*file, SimClock::nowUs());
    out[10] = busy ? 1 : 0;
    if (!busy) common::le::Put32(out + 11, corrupt ? file->crcValue ^ 1u : file->crcValue);
    return 0;
}

void RecordFileProtocol::install() {
    if (m_state.armed) {
        const int64_t now = SimClock::nowUs();
        std::vector<RecordFile> ready;
        for (const RecordFile* temp : m_state.files.files())
            if (temp->temporary && RecordFileSystem::completeAndVerified(*temp, now))
                ready.push_back(*temp);
        for (const RecordFile& temp : ready) installOne(temp);
    }
    m_state.files.removeTemporaries();
    m_state.armed = false;
    m_state.transferState = 0;
    regenerateDeviceFiles();
}

void RecordFileProtocol::installOne(const RecordFile& temp) {
    const std::string target = Upper(temp.name);
    const RecordFile* firmware = m_state.files.find(target);
    // An image larger than the device's firmware area cannot be taken.
    if (!firmware || firmware->temporary || temp.content.size() > firmware->content.size()) return;
    const SimImage::Check image = SimImage::inspect(temp.content.data(), temp.content.size());
    // The boot loader refuses an image that fails its own check: the old firmware stays.
    if (image.form == SimImage::Form::Checked && !image.valid) return;
    bool matched = false;
    for (DeviceDescription& d : m_state.devices) {
        if (d.fileName != target) continue;
        matched = true;
        if (image.form != SimImage::Form::None) d.version = image.version;
    }
    if (matched) m_state.files.setContent(target, temp.content);
}

}  // namespace screenio::sim
