// SPDX-License-Identifier: Apache-2.0
#include "sim/MStarBridge.h"

#include <cstring>

#include "LittleEndian.h"

namespace screenio::sim {
namespace {

constexpr uint32_t kAddressReportLength = 4;
constexpr uint8_t kIspKey[] = {'V', 'R', 'N', 'X'};
constexpr uint8_t kOpReadStatus = 0x05;
constexpr uint8_t kOpReadData = 0x03;

bool IsFlashTarget(uint16_t target) {
    return target == MStarBridge::kTargetFlashWrite || target == MStarBridge::kTargetFlashRead ||
           target == MStarBridge::kTargetFlashEnd;
}

bool IsKnownTarget(uint16_t target) {
    return IsFlashTarget(target) || target == MStarBridge::kTargetEnterIsp ||
           target == MStarBridge::kTargetLeaveIsp;
}

}  // namespace

MStarBridge::MStarBridge(SpiNorFlash& flash) : m_flash(flash) {}

KmError MStarBridge::setAddress(const uint8_t* report, uint32_t length) {
    if (report == nullptr) return SCREENIO_ERROR_INVALID_ARGUMENT;
    if (length != kAddressReportLength) return SCREENIO_ERROR_LENGTH;
    // Whatever happens next, an earlier target no longer applies.
    m_haveTarget = false;
    const uint16_t target = common::le::Get16(report);
    const uint16_t dataLength = common::le::Get16(report + 2);
    if (!IsKnownTarget(target)) return SCREENIO_ERROR_REJECTED;
    if (IsFlashTarget(target) && !m_isp) return SCREENIO_ERROR_REJECTED;
    // The address report takes any length; only a data report can be too long to carry it.
    m_target = target;
    m_length = dataLength;
    m_haveTarget = true;
    return 0;
}

KmError MStarBridge::writeData(const uint8_t* report, uint32_t length) {
    if (report == nullptr) return SCREENIO_ERROR_INVALID_ARGUMENT;
    if (length != kDataReportLength) return SCREENIO_ERROR_LENGTH;
    if (!m_haveTarget) return SCREENIO_ERROR_REJECTED;
    // ISP mode may have been left since the address report (reset, 0x2492).
    if (IsFlashTarget(m_target) && !m_isp) return SCREENIO_ERROR_REJECTED;
    if (m_length > kMaxDataLength) return SCREENIO_ERROR_LENGTH;
    const uint8_t* data = report + 2;
    switch (m_target) {
    case kTargetEnterIsp:
        if (m_length != sizeof(kIspKey) || std::memcmp(data, kIspKey, sizeof(kIspKey)) != 0) {
            return SCREENIO_ERROR_REJECTED;
        }
        m_isp = true;
        return 0;
    case kTargetFlashWrite:
        if (!m_commandOpen) {
            m_flash.select();
            m_commandOpen = true;
            m_commandReads = m_length > 0 && (data[0] == kOpReadStatus || data[0] == kOpReadData);
        }
        m_flash.write(data, m_length);
        return 0;
    case kTargetFlashEnd: endCommand(); return 0;
    case kTargetLeaveIsp:
        endCommand();
        m_isp = false;
        return 0;
    default:  // 0x1192 is read, not written
        return SCREENIO_ERROR_REJECTED;
    }
}

KmError MStarBridge::readData(uint8_t* report, uint32_t length) {
    if (report == nullptr) return SCREENIO_ERROR_INVALID_ARGUMENT;
    if (length != kDataReportLength) return SCREENIO_ERROR_LENGTH;
    if (!m_haveTarget || m_target != kTargetFlashRead) return SCREENIO_ERROR_REJECTED;
    if (!m_isp) return SCREENIO_ERROR_REJECTED;
    if (m_length > kMaxDataLength) return SCREENIO_ERROR_LENGTH;
    std::memset(report, 0, length);
    common::le::Put16(report, m_length);
    if (m_commandOpen) {
        m_flash.read(report + 2, m_length);
    } else {
        // No command open: the flash is deselected and does not drive the line.
        std::memset(report + 2, 0xFF, m_length);
    }
    return 0;
}

bool MStarBridge::changes(const uint8_t* report, uint32_t length) const {
    if (!m_haveTarget) return false;  // refused: nothing happens
    switch (m_target) {
    case kTargetEnterIsp:
    case kTargetLeaveIsp: return true;
    case kTargetFlashWrite:
        if (m_commandOpen) return !m_commandReads;
        if (report == nullptr || length < 3 || m_length == 0) return false;
        return report[2] != kOpReadStatus && report[2] != kOpReadData;
    default: return false;
    }
}

bool MStarBridge::ispMode() const { return m_isp; }

void MStarBridge::reset() {
    m_flash.powerCycle();
    m_commandOpen = false;
    m_isp = false;
    m_haveTarget = false;
    m_target = 0;
    m_length = 0;
}

void MStarBridge::endCommand() {
    if (!m_commandOpen) return;
    m_flash.deselect();
    m_commandOpen = false;
}

}  // namespace screenio::sim
