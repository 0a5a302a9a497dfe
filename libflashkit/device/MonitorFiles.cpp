// SPDX-License-Identifier: Apache-2.0
// The record-file system on the monitor: properties, temporary files, page and record access,
// and the monitor's CRC-32.
#include <algorithm>
#include <cstring>
#include <random>

#include "device/Monitor.h"
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

KmError Monitor::getFileProperty(const char* name, FileProperty* property) {
    if (!ValidName(name) || !property) return KmErrorInvalidArgument;
    std::vector<uint8_t> select(kSelectLength, 0);
    report::PutName(select, name);
    KmError status = set_data(usages::kPropertySelect, select);
    if (status < 0) return status;
    std::vector<uint8_t> reply(kPropertyLength, 0);
    status = get_data(usages::kFileProperty, &reply);
    if (status < 0) return status;
    if (!report::NameMatches(reply, name)) return KmErrorFailed;
    property->recordSize = report::GetU16(reply, 6);
    property->recordCount = report::GetU16(reply, 8);
    return status;
}

KmError Monitor::createTemporaryFile(const char* name, const FileProperty& property) {
    if (!ValidName(name)) return KmErrorInvalidArgument;
    std::vector<uint8_t> request(kPropertyLength, 0);
    report::PutName(request, name);
    report::PutU16(request, 6, property.recordSize);
    report::PutU16(request, 8, property.recordCount);
    return set_data(usages::kFileProperty, request);
}

KmError Monitor::write_file_data_atomic_page(const char* name, uint16_t record, uint16_t page,
                                             const uint8_t* data, uint32_t length) {
    if (!ValidName(name) || (!data && length)) return KmErrorInvalidArgument;
    std::vector<uint8_t> request = PageReport(name, record, page);
    std::copy_n(data, std::min(length, kPageSize), request.begin() + kPageHeaderLength);
    KmError status = 0;
    for (int attempt = 0; attempt < kPageAttempts; ++attempt) {
        status = set_data(usages::kPageWrite, request);
        if (status >= 0) return status;
        SleepBeforeRetry();
    }
    return status;
}

KmError Monitor::writeFileDataAtomic(const char* name, uint16_t record, const uint8_t* data,
                                     uint32_t length, const FWTransferProgress& progress,
                                     FWTransferProgressCallback callback, void* userData) {
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
        status = write_file_data_atomic_page(name, record, page, data + written, chunk);
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

KmError Monitor::read_file_data_atomic_page(const char* name, uint16_t record, uint16_t page,
                                            uint8_t* buffer, uint32_t length) {
    if (!ValidName(name) || (!buffer && length)) return KmErrorInvalidArgument;
    const std::vector<uint8_t> request = PageReport(name, record, page);
    KmError status = 0;
    for (int attempt = 0; attempt < kPageAttempts; ++attempt) {
        status = set_data(usages::kPageRead, request);
        if (status < 0) {
            SleepBeforeRetry();
            continue;
        }
        std::vector<uint8_t> reply(kPageReportLength, 0);
        status = get_data(usages::kPageRead, &reply);
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

KmError Monitor::read_file_data_atomic(const char* name, uint16_t record,
                                       std::vector<uint8_t>* bytes) {
    if (!bytes) return KmErrorInvalidArgument;
    FileProperty property;
    KmError status = getFileProperty(name, &property);
    if (status < 0) return status;
    if (property.recordSize == 0) return KmErrorNotSupported;
    bytes->assign(property.recordSize, 0);
    const uint32_t size = property.recordSize;
    for (uint32_t offset = 0, page = 0; offset < size; offset += kPageSize, ++page) {
        status = read_file_data_atomic_page(name, record, uint16_t(page), bytes->data() + offset,
                                            std::min(size - offset, kPageSize));
        if (status < 0) return status;
    }
    return status;
}

KmError Monitor::read_file_data_atomic(const char* name, uint16_t record, std::string* text) {
    if (!text) return KmErrorInvalidArgument;
    std::vector<uint8_t> bytes;
    KmError status = read_file_data_atomic(name, record, &bytes);
    if (status < 0) return status;
    bytes.push_back(0);
    *text = reinterpret_cast<const char*>(bytes.data());
    return status;
}

KmError Monitor::read_file_data_atomic(const char* name, uint16_t record, uint32_t* value) {
    if (!value) return KmErrorInvalidArgument;
    std::vector<uint8_t> bytes;
    KmError status = read_file_data_atomic(name, record, &bytes);
    if (status < 0) return status;
    // Records shorter than four bytes replace only the low bytes of the caller's value.
    for (size_t i = 0; i < std::min<size_t>(bytes.size(), 4); ++i) {
        *value &= ~(uint32_t(0xFF) << (8 * i));
        *value |= uint32_t(bytes[i]) << (8 * i);
    }
    return status;
}

KmError Monitor::triggerCrc32Calculation(const char* name, uint32_t initial) {
    if (!ValidName(name)) return KmErrorInvalidArgument;
    std::vector<uint8_t> request(kCrcReportLength, 0);
    report::PutName(request, name);
    report::PutU32(request, 6, initial);
    return set_data(usages::kCrc32, request);
}

KmError Monitor::getCrc32Result(const char* name, Crc32Result* result) {
    if (!ValidName(name) || !result) return KmErrorInvalidArgument;
    std::vector<uint8_t> reply(kCrcReportLength, 0);
    KmError status = get_data(usages::kCrc32, &reply);
    if (status < 0) return status;
    if (!report::NameMatches(reply, name)) return KmErrorFailed;
    result->value = report::GetU32(reply, 6);
    result->busy = reply[10] != 0;
    result->crc = report::GetU32(reply, 11);
    return status;
}

}  // namespace fwu::dev
