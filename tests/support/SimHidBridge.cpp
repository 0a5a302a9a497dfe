// SPDX-License-Identifier: Apache-2.0
#include "support/SimHidBridge.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>

#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

// Item prefixes without their size bits.
constexpr uint8_t kUsagePage = 0x04;
constexpr uint8_t kUsage = 0x08;
constexpr uint8_t kLogicalMinimum = 0x14;
constexpr uint8_t kLogicalMaximum = 0x24;
constexpr uint8_t kReportSize = 0x74;
constexpr uint8_t kReportId = 0x84;
constexpr uint8_t kReportCount = 0x94;
constexpr uint8_t kCollection = 0xA0;
constexpr uint8_t kEndCollection = 0xC0;
constexpr uint8_t kFeature = 0xB0;

constexpr uint32_t kApplication = 0x01;
constexpr uint32_t kCollectionUsage = 0x01;
constexpr uint32_t kConstant = 0x01;      // Feature flags: Cnst,Var,Abs for the padding
constexpr uint32_t kDataVariable = 0x02;  // Data,Var,Abs
constexpr uint32_t kBufferedBytes = 0x0100;

const uint16_t kVendorPages[] = {0xFF00, 0xFF01, 0xFF02, 0xFF30};

// Values sit after one constant byte, so a host must honour the declared bit offset.
constexpr size_t kPaddingBytes = 1;

void EmitBytes(std::vector<uint8_t>& out, uint8_t prefix, uint32_t raw, uint8_t bytes) {
    out.push_back(static_cast<uint8_t>(prefix | (bytes == 4 ? 3 : bytes)));
    for (uint8_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(raw >> (8 * i)));
}

// Usages, pages, sizes, counts, IDs and flags: unsigned, in the fewest bytes (never 4 for a
// usage, which would make it an extended usage carrying its own page).
void Emit(std::vector<uint8_t>& out, uint8_t prefix, uint32_t value) {
    EmitBytes(out, prefix, value, value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 4);
}

// Logical limits: as many bytes as keep the number's sign in two's complement, so 255 is
// written 26 FF 00 as devices usually do.
void EmitSigned(std::vector<uint8_t>& out, uint8_t prefix, int64_t value) {
    uint8_t bytes = 4;
    if (value >= -0x80 && value <= 0x7F)
        bytes = 1;
    else if (value >= -0x8000 && value <= 0x7FFF)
        bytes = 2;
    EmitBytes(out, prefix, static_cast<uint32_t>(value), bytes);
}

struct ValueLayout {
    uint32_t bits = 16;
    int64_t minimum = 0;
    int64_t maximum = 0xFFFF;
};

// Widths and ranges as a monitor would declare them. The on-screen-display control is signed
// 24 bits: its commands (0x4000, 0x8000) exceed a signed 16-bit range, and a width that is not
// a whole number of 16-bit words tests sign extension properly.
ValueLayout ValueLayoutFor(uint16_t page, uint16_t usage) {
    if (page == 0xFF00 && usage == 0x0F) return {24, -0x800000, 0x7FFFFF};
    if (page == 0xFF02 && usage == 0xFB) return {32, 0, 0xFFFFFFFF};
    return {};
}

}  // namespace

struct SimHidBridge::Report {
    SimUsage usage;
    bool value = false;
    ValueLayout layout;
    size_t length = 0;  // data bytes without the report ID
};

SimHidBridge::SimHidBridge(std::shared_ptr<SimMonitor> monitor) : m_monitor(std::move(monitor)) {
    const std::vector<SimUsage> usages = m_monitor->usages();
    std::vector<uint8_t>& d = m_descriptor;
    for (uint16_t page : kVendorPages) {
        bool opened = false;
        for (const SimUsage& u : usages) {
            if (u.page != page) continue;
            auto report = std::make_shared<Report>();
            report->usage = u;
            report->value = u.count == 0;
            // A report without data cannot be declared; such a usage is simply not offered.
            if (report->value && !u.getValue && !u.setValue) continue;
            if (m_reports.size() == kMaxReports)
                throw std::length_error("monitor " + m_monitor->description().serial +
                                        " offers more than " + std::to_string(kMaxReports) +
                                        " usages");
            if (!opened) {
                Emit(d, kUsagePage, page);
                Emit(d, kUsage, kCollectionUsage);
                Emit(d, kCollection, kApplication);
                opened = true;
            }
            Emit(d, kReportId, static_cast<uint32_t>(m_reports.size() + 1));
            if (report->value) {
                report->layout = ValueLayoutFor(u.page, u.usage);
                report->length = kPaddingBytes + report->layout.bits / 8;
                Emit(d, kReportSize, static_cast<uint32_t>(8 * kPaddingBytes));
                Emit(d, kReportCount, 1);
                Emit(d, kFeature, kConstant | kDataVariable);
                Emit(d, kUsage, u.usage);
                EmitSigned(d, kLogicalMinimum, report->layout.minimum);
                EmitSigned(d, kLogicalMaximum, report->layout.maximum);
                Emit(d, kReportSize, report->layout.bits);
                Emit(d, kReportCount, 1);
                Emit(d, kFeature, kDataVariable);
            } else {
                report->length = u.count;
                Emit(d, kUsage, u.usage);
                EmitSigned(d, kLogicalMinimum, 0);
                EmitSigned(d, kLogicalMaximum, 0xFF);
                Emit(d, kReportSize, 8);
                Emit(d, kReportCount, u.count);
                Emit(d, kFeature, kDataVariable | kBufferedBytes);
            }
            m_reports.push_back(std::move(report));
        }
        if (opened) d.push_back(kEndCollection);
    }
}

int SimHidBridge::getFeature(uint64_t connection, uint8_t reportId, uint8_t* data, size_t length) {
    if (reportId == 0 || reportId > m_reports.size() || (!data && length > 0)) return -EINVAL;
    const Report& r = *m_reports[reportId - 1];
    std::vector<uint8_t> report(r.length, 0);
    KmError status = 0;
    if (r.value) {
        int64_t value = 0;
        status = m_monitor->getValue(connection, r.usage.page, r.usage.usage, &value);
        // Bits beyond the field's width are dropped, as a device's register would.
        const auto raw = static_cast<uint64_t>(value);
        for (uint32_t i = 0; i < r.layout.bits / 8; ++i)
            report[kPaddingBytes + i] = static_cast<uint8_t>(raw >> (8 * i));
    } else {
        status = m_monitor->getArray(connection, r.usage.page, r.usage.usage, report.data(),
                                     static_cast<uint32_t>(report.size()));
    }
    if (status < 0) return -ErrnoFor(status);
    const size_t moved = std::min(length, report.size());
    std::copy_n(report.begin(), moved, data);
    return static_cast<int>(moved);
}

int SimHidBridge::setFeature(uint64_t connection, uint8_t reportId, const uint8_t* data,
                             size_t length) {
    if (reportId == 0 || reportId > m_reports.size() || !data) return -EINVAL;
    const Report& r = *m_reports[reportId - 1];
    if (length != r.length) return -EINVAL;
    KmError status = 0;
    if (r.value) {
        const uint32_t bits = r.layout.bits;
        uint64_t raw = 0;
        for (uint32_t i = 0; i < bits / 8; ++i)
            raw |= static_cast<uint64_t>(data[kPaddingBytes + i]) << (8 * i);
        int64_t value = static_cast<int64_t>(raw);
        if (r.layout.minimum < 0 && bits < 64 && (raw >> (bits - 1)) != 0)
            value = static_cast<int64_t>(raw | (~uint64_t(0) << bits));
        status = m_monitor->setValue(connection, r.usage.page, r.usage.usage, value);
    } else {
        status = m_monitor->setArray(connection, r.usage.page, r.usage.usage, data,
                                     static_cast<uint32_t>(length));
    }
    return status < 0 ? -ErrnoFor(status) : static_cast<int>(length);
}

int SimHidBridge::ErrnoFor(KmError status) {
    switch (status) {
    case SCREENIO_ERROR_TIMEOUT: return ETIMEDOUT;
    case SCREENIO_ERROR_GONE: return ENODEV;
    case SCREENIO_ERROR_REJECTED: return EPIPE;
    default: return EIO;
    }
}

}  // namespace screenio::sim
