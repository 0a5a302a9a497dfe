// SPDX-License-Identifier: Apache-2.0
#include "sim/RecordFileSystem.h"

#include <algorithm>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/Base64.h"
#include "sim/Crc32.h"
#include "sim/StateNumber.h"

namespace screenio::sim {
namespace {

bool PrintableName(const std::string& name) {
    return name.size() == 6 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::vector<uint8_t> PackBits(const std::vector<bool>& bits) {
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    return bytes;
}

}  // namespace

void RecordFileSystem::addPermanent(const std::string& name, uint16_t recordSize,
                                    uint16_t recordCount, const std::vector<uint8_t>& content,
                                    bool readOnly) {
    RecordFile file;
    file.name = name;
    file.recordSize = recordSize;
    file.recordCount = recordCount;
    file.readOnly = readOnly;
    file.content.assign(file.byteSize(), 0);
    std::copy_n(content.begin(), std::min<size_t>(content.size(), file.content.size()),
                file.content.begin());
    m_files[name] = std::move(file);
}

void RecordFileSystem::setContent(const std::string& name, const std::vector<uint8_t>& content) {
    RecordFile* file = findMutable(name);
    if (!file) throw std::logic_error("no file " + name);
    std::fill(file->content.begin(), file->content.end(), 0);
    std::copy_n(content.begin(), std::min(content.size(), file->content.size()),
                file->content.begin());
}

const RecordFile* RecordFileSystem::find(const std::string& name) const {
    auto it = m_files.find(name);
    return it == m_files.end() ? nullptr : &it->second;
}

RecordFile* RecordFileSystem::findMutable(const std::string& name) {
    auto it = m_files.find(name);
    return it == m_files.end() ? nullptr : &it->second;
}

std::vector<const RecordFile*> RecordFileSystem::files() const {
    std::vector<const RecordFile*> out;
    for (const auto& entry : m_files) out.push_back(&entry.second);
    return out;
}

KmError RecordFileSystem::createTemporary(const std::string& name, uint16_t recordSize,
                                          uint16_t recordCount) {
    if (recordSize == 0 || recordCount == 0 || !PrintableName(name)) return SCREENIO_ERROR_REJECTED;
    const RecordFile* existing = find(name);
    // The host only ever creates copies; overwriting a firmware or device file would brick it.
    if (existing && !existing->temporary) return SCREENIO_ERROR_REJECTED;
    RecordFile file;
    file.name = name;
    file.recordSize = recordSize;
    file.recordCount = recordCount;
    file.temporary = true;
    file.content.assign(file.byteSize(), 0);
    file.writtenPages.assign(static_cast<size_t>(file.pagesPerRecord()) * recordCount, false);
    m_files[name] = std::move(file);
    return 0;
}

KmError RecordFileSystem::checkPage(const std::string& name, uint16_t record, uint16_t page) const {
    const RecordFile* file = find(name);
    if (!file || record >= file->recordCount || page >= file->pagesPerRecord())
        return SCREENIO_ERROR_REJECTED;
    return 0;
}

KmError RecordFileSystem::writePage(const std::string& name, uint16_t record, uint16_t page,
                                    const uint8_t* data) {
    if (KmError status = checkPage(name, record, page); status < 0) return status;
    RecordFile& file = *findMutable(name);
    if (file.readOnly) return SCREENIO_ERROR_REJECTED;
    size_t offset =
        static_cast<size_t>(record) * file.recordSize + static_cast<size_t>(page) * kPageSize;
    size_t bytes =
        std::min<size_t>(kPageSize, file.recordSize - static_cast<size_t>(page) * kPageSize);
    std::copy_n(data, bytes, file.content.begin() + static_cast<std::ptrdiff_t>(offset));
    ++file.writeGeneration;
    if (file.temporary)
        file.writtenPages[static_cast<size_t>(record) * file.pagesPerRecord() + page] = true;
    return 0;
}

KmError RecordFileSystem::readPage(const std::string& name, uint16_t record, uint16_t page,
                                   uint8_t* out) const {
    if (KmError status = checkPage(name, record, page); status < 0) return status;
    const RecordFile& file = *find(name);
    std::fill_n(out, kPageSize, 0);
    size_t offset =
        static_cast<size_t>(record) * file.recordSize + static_cast<size_t>(page) * kPageSize;
    size_t bytes =
        std::min<size_t>(kPageSize, file.recordSize - static_cast<size_t>(page) * kPageSize);
    std::copy_n(file.content.begin() + static_cast<std::ptrdiff_t>(offset), bytes, out);
    return 0;
}

KmError RecordFileSystem::startCrc(const std::string& name, uint32_t initial, int64_t nowUs,
                                   int64_t busyUs) {
    RecordFile* file = findMutable(name);
    if (!file) return SCREENIO_ERROR_REJECTED;
    // The value is fixed by the content at the trigger; a write during the busy period makes
    // the CRC stale rather than changing it.
    file->crcStarted = true;
    file->crcGeneration = file->writeGeneration;
    file->crcBusyUntilUs = nowUs + busyUs;
    file->crcValue = Crc32::compute(initial, file->content.data(), file->content.size());
    return 0;
}

bool RecordFileSystem::crcBusy(const RecordFile& file, int64_t nowUs) {
    return file.crcStarted && nowUs < file.crcBusyUntilUs;
}

bool RecordFileSystem::completeAndVerified(const RecordFile& file, int64_t nowUs) {
    bool allWritten = std::all_of(file.writtenPages.begin(), file.writtenPages.end(),
                                  [](bool written) { return written; });
    return allWritten && file.crcStarted && file.crcGeneration == file.writeGeneration &&
           !crcBusy(file, nowUs);
}

void RecordFileSystem::removeTemporaries() {
    for (auto it = m_files.begin(); it != m_files.end();)
        it = it->second.temporary ? m_files.erase(it) : std::next(it);
}

void RecordFileSystem::clear() { m_files.clear(); }

void RecordFileSystem::put(RecordFile file) {
    std::string name = file.name;
    m_files[name] = std::move(file);
}

nlohmann::json RecordFileSystem::save(int64_t nowUs) const {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [name, file] : m_files) {
        if (file.readOnly) continue;  // regenerated from the devices on load
        nlohmann::json entry = {
            {"name", name},
            {"recordSize", file.recordSize},
            {"recordCount", file.recordCount},
            {"temporary", file.temporary},
            {"content", Base64::encode(file.content)},
            {"writeGeneration", file.writeGeneration},
        };
        if (file.temporary) entry["writtenPages"] = Base64::encode(PackBits(file.writtenPages));
        if (file.crcStarted) {
            entry["crc"] = {
                {"generation", file.crcGeneration},
                {"busyLeftUs", std::max<int64_t>(0, file.crcBusyUntilUs - nowUs)},
                {"value", file.crcValue},
            };
        }
        list.push_back(std::move(entry));
    }
    return list;
}

RecordFile RecordFileSystem::fileFromJson(const nlohmann::json& entry, int64_t nowUs) {
    RecordFile file;
    file.name = entry.at("name").get<std::string>();
    file.recordSize = StateNumber<uint16_t>(entry, "recordSize");
    file.recordCount = StateNumber<uint16_t>(entry, "recordCount");
    file.temporary = entry.at("temporary").get<bool>();
    file.content = Base64::decode(entry.at("content").get<std::string>());
    file.writeGeneration = StateNumber<uint64_t>(entry, "writeGeneration");
    if (!PrintableName(file.name))
        throw std::runtime_error("file name '" + file.name + "' is not six characters");
    if (file.content.size() != file.byteSize())
        throw std::runtime_error("file " + file.name + " holds " +
                                 std::to_string(file.content.size()) + " bytes instead of " +
                                 std::to_string(file.byteSize()));
    if (file.temporary) {
        std::vector<uint8_t> bits = Base64::decode(entry.at("writtenPages").get<std::string>());
        size_t pages = static_cast<size_t>(file.pagesPerRecord()) * file.recordCount;
        if (bits.size() != (pages + 7) / 8)
            throw std::runtime_error("file " + file.name +
                                     " has a written-page set of the wrong size");
        file.writtenPages.resize(pages);
        for (size_t i = 0; i < pages; ++i) file.writtenPages[i] = (bits[i / 8] >> (i % 8)) & 1u;
    }
    if (entry.contains("crc")) {
        const nlohmann::json& crc = entry.at("crc");
        file.crcStarted = true;
        file.crcGeneration = StateNumber<uint64_t>(crc, "generation");
        file.crcBusyUntilUs = StateDeadlineUs(crc, "busyLeftUs", nowUs);
        file.crcValue = StateNumber<uint32_t>(crc, "value");
    }
    return file;
}

}  // namespace screenio::sim
