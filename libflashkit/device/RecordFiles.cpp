// SPDX-License-Identifier: Apache-2.0
#include "device/RecordFiles.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "device/ReportBytes.h"
#include "device/Sleep.h"

namespace fwu::dev {
namespace {

constexpr size_t kNameLength = 6;
constexpr size_t kSelectLength = 10;
constexpr size_t kPropertyLength = 16;
constexpr size_t kPageReportLength = 522;
constexpr size_t kPageHeaderLength = 10;
constexpr size_t kCrcReportLength = 15;
constexpr int kPageAttempts = 20;
constexpr uint32_t kPageSize = RecordFiles::kPageSize;

bool ValidName(const char* name) { return name && strnlen(name, kNameLength) == kNameLength; }

// 1 to 20 ms, so that retries of several callers do not stay in step.
void SleepBeforeRetry() {
    thread_local std::minstd_rand generator{std::random_device{}()};
    internal::SleepMilliseconds(uint32_t(generator() % 20 + 1));
}

std::vector<uint8_t> PageReport(const char* name, uint16_t record, uint16_t page) {
    std::vector<uint8_t> bytes(kPageReportLength, 0);
    report::PutName(bytes, name);
    report::PutU16(bytes, 6, record);
    report::PutU16(bytes, 8, page);
    return bytes;
}

}  // namespace

KmError RecordFiles::getProperty(const char* name, Property* property) const {
    if (!ValidName(name) || !property) return KmErrorInvalidArgument;
    std::vector<uint8_t> select(kSelectLength, 0);
    report::PutName(select, name);
    KmError status = m_features.setData(usages::kPropertySelect, select);
    if (status < 0) return status;
    std::vector<uint8_t> reply(kPropertyLength, 0);
    status = m_features.getData(usages::kFileProperty, &reply);
    if (status < 0) return status;
    if (!report::NameMatches(reply, name)) return KmErrorFailed;
    property->recordSize = report::GetU16(reply, 6);
    property->recordCount = report::GetU16(reply, 8);
    return status;
}

uint16_t RecordFiles::deviceFileRecords() const {
    Property property;
    return getProperty("KFW000", &property) >= 0 ? property.recordCount : 0;
}

KmError RecordFiles::createTemporary(const char* name, const Property& property) const {
    if (!ValidName(name)) return KmErrorInvalidArgument;
    std::vector<uint8_t> request(kPropertyLength, 0);
    report::PutName(request, name);
    report::PutU16(request, 6, property.recordSize);
    report::PutU16(request, 8, property.recordCount);
    return m_features.setData(usages::kFileProperty, request);
}

KmError RecordFiles::writePage(const char* name, uint16_t record, uint16_t page,
                               const uint8_t* data, uint32_t length) const {
    if (!ValidName(name) || (!data && length)) return KmErrorInvalidArgument;
    std::vector<uint8_t> request = PageReport(name, record, page);
    std::copy_n(data, std::min(length, kPageSize), request.begin() + kPageHeaderLength);
    KmError status = 0;
    for (int attempt = 0; attempt < kPageAttempts; ++attempt) {
        status = m_features.setData(usages::kPageWrite, request);
        if (status >= 0) return status;
        SleepBeforeRetry();
    }
    return status;
}

KmError RecordFiles::writeRecord(const char* name, uint16_t record, const uint8_t* data,
                                 uint32_t length, const FWTransferProgress& progress,
                                 FWTransferProgressCallback callback, void* userData) const {
    if (!ValidName(name)) return KmErrorInvalidArgument;
    if (callback && callback(progress, userData) == 0) return KmErrorCancelled;
    // The page index travels in 16 bits; a record that needs more pages cannot be written.
    const uint16_t pages = uint16_t((uint64_t(length) + kPageSize - 1) / kPageSize);
    if (pages == 0) return KmErrorFailed;
    if (!data) return KmErrorInvalidArgument;
    KmError status = 0;
    uint32_t written = 0;
    for (uint16_t page = 0; page < pages; ++page) {
        const uint32_t chunk = std::min(length - written, kPageSize);
        status = writePage(name, record, page, data + written, chunk);
        if (status < 0) return status;
        written += chunk;
        if (callback) {
            FWTransferProgress step = progress;
            step.transferredBytes += written;
            if (callback(step, userData) == 0) return KmErrorCancelled;
        }
    }
    return status;
}

KmError RecordFiles::readPage(const char* name, uint16_t record, uint16_t page, uint8_t* buffer,
                              uint32_t length) const {
    if (!ValidName(name) || (!buffer && length)) return KmErrorInvalidArgument;
    const std::vector<uint8_t> request = PageReport(name, record, page);
    KmError status = 0;
    for (int attempt = 0; attempt < kPageAttempts; ++attempt) {
        status = m_features.setData(usages::kPageRead, request);
        if (status < 0) {
            SleepBeforeRetry();
            continue;
        }
        std::vector<uint8_t> reply(kPageReportLength, 0);
        status = m_features.getData(usages::kPageRead, &reply);
        if (status < 0 ||
            !std::equal(request.begin(), request.begin() + kPageHeaderLength, reply.begin())) {
            status = KmErrorReadFailed;
            continue;
        }
        std::copy_n(reply.begin() + kPageHeaderLength, std::min(length, kPageSize), buffer);
        return status;
    }
    return status;
}

KmError RecordFiles::readRecord(const char* name, uint16_t record,
                                std::vector<uint8_t>* bytes) const {
    if (!bytes) return KmErrorInvalidArgument;
    Property property;
    KmError status = getProperty(name, &property);
    if (status < 0) return status;
    if (property.recordSize == 0) return KmErrorNotSupported;
    bytes->assign(property.recordSize, 0);
    const uint32_t size = property.recordSize;
    for (uint32_t offset = 0, page = 0; offset < size; offset += kPageSize, ++page) {
        status = readPage(name, record, uint16_t(page), bytes->data() + offset,
                          std::min(size - offset, kPageSize));
        if (status < 0) return status;
    }
    return status;
}

KmError RecordFiles::readRecord(const char* name, uint16_t record, std::string* text) const {
    if (!text) return KmErrorInvalidArgument;
    std::vector<uint8_t> bytes;
    KmError status = readRecord(name, record, &bytes);
    if (status < 0) return status;
    bytes.push_back(0);
    *text = reinterpret_cast<const char*>(bytes.data());
    return status;
}

KmError RecordFiles::readRecord(const char* name, uint16_t record, uint32_t* value) const {
    if (!value) return KmErrorInvalidArgument;
    std::vector<uint8_t> bytes;
    KmError status = readRecord(name, record, &bytes);
    if (status < 0) return status;
    // Records shorter than four bytes replace only the low bytes of the caller's value.
    for (size_t i = 0; i < std::min<size_t>(bytes.size(), 4); ++i) {
        *value &= ~(uint32_t(0xFF) << (8 * i));
        *value |= uint32_t(bytes[i]) << (8 * i);
    }
    return status;
}

KmError RecordFiles::triggerCrc32(const char* name, uint32_t initial) const {
    if (!ValidName(name)) return KmErrorInvalidArgument;
    std::vector<uint8_t> request(kCrcReportLength, 0);
    report::PutName(request, name);
    report::PutU32(request, 6, initial);
    return m_features.setData(usages::kCrc32, request);
}

KmError RecordFiles::getCrc32Result(const char* name, Crc32Result* result) const {
    if (!ValidName(name) || !result) return KmErrorInvalidArgument;
    std::vector<uint8_t> reply(kCrcReportLength, 0);
    KmError status = m_features.getData(usages::kCrc32, &reply);
    if (status < 0) return status;
    if (!report::NameMatches(reply, name)) return KmErrorFailed;
    result->value = report::GetU32(reply, 6);
    result->busy = reply[10] != 0;
    result->crc = report::GetU32(reply, 11);
    return status;
}

}  // namespace fwu::dev
