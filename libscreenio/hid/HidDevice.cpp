// SPDX-License-Identifier: Apache-2.0
#include "hid/HidDevice.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

#include "hid/ReportBits.h"

namespace screenio::hid {
namespace {

// Bytes an array request moves: the field's bits, rounded up.
uint32_t FieldBytes(const HidField& field) {
    return static_cast<uint32_t>((static_cast<uint64_t>(field.bitSize) * field.count + 7) / 8);
}

// The errno value of a failed transport call; a result that is no errno value is an I/O error.
int ErrnoOf(int result) { return result < 0 && result > -4096 ? -result : EIO; }

bool IsValueField(const HidField& field) {
    return field.count == 1 && field.bitSize >= 1 && field.bitSize <= ReportBits::kMaxBits;
}

// Whole bytes can be copied; anything else goes bit by bit so neighbours stay intact.
bool ByteAligned(const HidField& field) {
    const uint64_t bits = static_cast<uint64_t>(field.bitSize) * field.count;
    return field.bitOffset % 8 == 0 && bits % 8 == 0;
}

bool CopyOut(const HidField& field, const std::vector<uint8_t>& report, uint8_t* out,
             uint32_t length) {
    if (ByteAligned(field)) {
        const size_t start = field.bitOffset / 8;
        if (start > report.size() || report.size() - start < length) return false;
        std::copy_n(report.begin() + static_cast<std::ptrdiff_t>(start), length, out);
        return true;
    }
    const uint64_t total = static_cast<uint64_t>(field.bitSize) * field.count;
    for (uint32_t i = 0; i < length; ++i) {
        const auto bits = static_cast<uint32_t>(std::min<uint64_t>(8, total - 8 * uint64_t(i)));
        uint64_t part = 0;
        if (!ReportBits::read(report.data(), report.size(), field.bitOffset + 8 * i, bits, &part))
            return false;
        out[i] = static_cast<uint8_t>(part);
    }
    return true;
}

bool CopyIn(const HidField& field, std::vector<uint8_t>& report, const uint8_t* in,
            uint32_t length) {
    if (ByteAligned(field)) {
        const size_t start = field.bitOffset / 8;
        if (start > report.size() || report.size() - start < length) return false;
        std::copy_n(in, length, report.begin() + static_cast<std::ptrdiff_t>(start));
        return true;
    }
    const uint64_t total = static_cast<uint64_t>(field.bitSize) * field.count;
    for (uint32_t i = 0; i < length; ++i) {
        const auto bits = static_cast<uint32_t>(std::min<uint64_t>(8, total - 8 * uint64_t(i)));
        if (!ReportBits::write(report.data(), report.size(), field.bitOffset + 8 * i, bits, in[i]))
            return false;
    }
    return true;
}

}  // namespace

HidDevice::HidDevice(std::shared_ptr<HidTransport> transport, std::vector<HidInterface> interfaces,
                     HidStallRetry retry)
    : m_transport(std::move(transport)), m_retry(std::move(retry)) {
    if (!m_retry.now) m_retry.now = [] { return std::chrono::steady_clock::now(); };
    if (!m_retry.sleep)
        m_retry.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    // The node's descriptor bytes stay: opening compares them with what the device declares.
    for (HidInterface& interface : interfaces)
        m_interfaces.push_back({std::move(interface.node), std::move(interface.descriptor), {}});
}

HidDevice::~HidDevice() = default;

KmError HidDevice::statusForErrno(int error, bool* gone) {
    switch (error) {
    case EPIPE: return SCREENIO_ERROR_REJECTED;
    case ETIMEDOUT: return SCREENIO_ERROR_TIMEOUT;
    case ENODEV:
    case ENOENT:
    case ESHUTDOWN:
        if (gone) *gone = true;
        return SCREENIO_ERROR_GONE;
    default: return SCREENIO_ERROR_IO;
    }
}

KmError HidDevice::statusForOpenErrno(int error) {
    switch (error) {
    case EBUSY: return SCREENIO_ERROR_BUSY;
    case EACCES:
    case EPERM: return SCREENIO_ERROR_ACCESS;
    case ENODEV:
    case ENOENT: return SCREENIO_ERROR_GONE;
    case ENOLCK: return SCREENIO_ERROR_LOCK;
    default: return SCREENIO_ERROR_IO;
    }
}

KmError HidDevice::fail(int error) {
    bool gone = false;
    const KmError status = statusForErrno(error, &gone);
    // The connection stays open until the search is dropped, like any other claim.
    if (gone) m_gone = true;
    return status;
}

KmError HidDevice::acquire() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return acquireLocked();
}

KmError HidDevice::acquireLocked() {
    if (m_gone) return SCREENIO_ERROR_GONE;
    if (m_claimed) return 0;
    std::vector<std::unique_ptr<HidConnection>> opened;
    for (size_t i = 0; i < m_interfaces.size(); ++i) {
        HidNodeInfo node = m_interfaces[i].node;
        // The monitor's lock comes with its first interface; the others are the same monitor.
        if (i > 0) node.lockName.clear();
        int error = 0;
        std::unique_ptr<HidConnection> connection = m_transport->open(node, &error);
        if (!connection) {
            const KmError status = statusForOpenErrno(error);
            if (status == SCREENIO_ERROR_GONE) m_gone = true;
            return status;  // what was opened closes here, so no half claim remains
        }
        opened.push_back(std::move(connection));
    }
    for (size_t i = 0; i < m_interfaces.size(); ++i)
        m_interfaces[i].connection = std::move(opened[i]);
    m_claimed = true;
    return 0;
}

HidDevice::Target HidDevice::find(uint16_t page, uint16_t usage) {
    for (Interface& interface : m_interfaces)
        if (const HidField* field = interface.descriptor.feature(page, usage))
            return {&interface, field};
    return {};
}

KmError HidDevice::targetFor(uint16_t page, uint16_t usage, Target* target) {
    if (m_gone) return SCREENIO_ERROR_GONE;
    *target = find(page, usage);
    return target->field ? 0 : SCREENIO_ERROR_NOT_OFFERED;
}

KmError HidDevice::arrayTargetFor(uint16_t page, uint16_t usage, bool hasBuffer, uint32_t length,
                                  Target* target) {
    if (KmError status = targetFor(page, usage, target); status < 0) return status;
    if (length != FieldBytes(*target->field)) return SCREENIO_ERROR_LENGTH;
    if (!hasBuffer && length > 0) return SCREENIO_ERROR_INVALID_ARGUMENT;
    return 0;
}

KmError HidDevice::readReport(const Target& target, std::vector<uint8_t>* report) {
    if (KmError status = acquireLocked(); status < 0) return status;
    const HidField& field = *target.field;
    // The descriptor's length, not a guess: the kernel cuts a read to the buffer silently.
    report->assign(field.reportLength, 0);
    const auto deadline = m_retry.now() + m_retry.budget;
    HidConnection& connection = *target.interface->connection;
    for (;;) {
        const int result = connection.getFeature(field.reportId, report->data(), report->size());
        if (result >= 0) {
            // A short report would leave the field's tail unknown; none of it is used.
            return static_cast<size_t>(result) == report->size() ? 0 : SCREENIO_ERROR_IO;
        }
        if (result == -EPIPE && m_retry.now() < deadline) {
            m_retry.sleep(m_retry.pause);
            continue;
        }
        return fail(ErrnoOf(result));
    }
}

KmError HidDevice::writeReport(const Target& target, const std::vector<uint8_t>& report) {
    if (KmError status = acquireLocked(); status < 0) return status;
    const int result = target.interface->connection->setFeature(target.field->reportId,
                                                                report.data(), report.size());
    if (result < 0) return fail(ErrnoOf(result));
    return static_cast<size_t>(result) < report.size() ? SCREENIO_ERROR_IO : 0;
}

KmError HidDevice::reportForWrite(const Target& target, std::vector<uint8_t>* report) {
    if (target.field->sharesReport) return readReport(target, report);
    report->assign(target.field->reportLength, 0);
    return 0;
}

KmError HidDevice::getFixedData(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) {
    if (!offered || !count) return SCREENIO_ERROR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_gone) return SCREENIO_ERROR_GONE;
    const HidField* field = find(page, usage).field;
    *offered = field != nullptr;
    *count = field && field->count > 1 ? FieldBytes(*field) : 0;
    return 0;
}

KmError HidDevice::getValue(uint16_t page, uint16_t usage, int64_t* value) {
    if (!value) return SCREENIO_ERROR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    Target target;
    if (KmError status = targetFor(page, usage, &target); status < 0) return status;
    const HidField* field = target.field;
    if (!IsValueField(*field)) return SCREENIO_ERROR_LENGTH;
    std::vector<uint8_t> report;
    if (KmError status = readReport(target, &report); status < 0) return status;
    uint64_t raw = 0;
    if (!ReportBits::read(report.data(), report.size(), field->bitOffset, field->bitSize, &raw))
        return SCREENIO_ERROR_IO;
    *value =
        field->isSigned ? ReportBits::signExtend(raw, field->bitSize) : static_cast<int64_t>(raw);
    return 0;
}

KmError HidDevice::setValue(uint16_t page, uint16_t usage, int64_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Target target;
    if (KmError status = targetFor(page, usage, &target); status < 0) return status;
    const HidField* field = target.field;
    if (!IsValueField(*field)) return SCREENIO_ERROR_LENGTH;
    bool inRange = ReportBits::fits(value, field->bitSize, field->isSigned);
    // A descriptor with the limits swapped declares no range; the width still applies.
    if (field->logicalMinimum <= field->logicalMaximum)
        inRange = inRange && value >= field->logicalMinimum && value <= field->logicalMaximum;
    if (!inRange) return SCREENIO_ERROR_INVALID_ARGUMENT;
    std::vector<uint8_t> report;
    if (KmError status = reportForWrite(target, &report); status < 0) return status;
    if (!ReportBits::write(report.data(), report.size(), field->bitOffset, field->bitSize,
                           static_cast<uint64_t>(value)))
        return SCREENIO_ERROR_IO;
    return writeReport(target, report);
}

KmError HidDevice::getArray(uint16_t page, uint16_t usage, uint8_t* buffer, uint32_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Target target;
    if (KmError status = arrayTargetFor(page, usage, buffer != nullptr, length, &target);
        status < 0)
        return status;
    const HidField* field = target.field;
    std::vector<uint8_t> report;
    if (KmError status = readReport(target, &report); status < 0) return status;
    // The caller's buffer changes only when the whole field has arrived.
    std::vector<uint8_t> bytes(length);
    if (!CopyOut(*field, report, bytes.data(), length)) return SCREENIO_ERROR_IO;
    std::copy(bytes.begin(), bytes.end(), buffer);
    return 0;
}

KmError HidDevice::setArray(uint16_t page, uint16_t usage, const uint8_t* buffer, uint32_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Target target;
    if (KmError status = arrayTargetFor(page, usage, buffer != nullptr, length, &target);
        status < 0)
        return status;
    const HidField* field = target.field;
    std::vector<uint8_t> report;
    if (KmError status = reportForWrite(target, &report); status < 0) return status;
    if (!CopyIn(*field, report, buffer, length)) return SCREENIO_ERROR_IO;
    return writeReport(target, report);
}

std::string HidDevice::describe() const {
    const HidNodeInfo& node = m_interfaces.front().node;
    if (!node.serial.empty()) return node.serial;
    return node.name.empty() ? node.node : node.name;
}

}  // namespace screenio::hid
