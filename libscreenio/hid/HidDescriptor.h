// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "hid/HidField.h"

namespace screenio::hid {

enum class ReportType : uint8_t { Input, Output, Feature };

// A device's HID report descriptor reduced to what the updater needs: where each feature usage
// sits in its report, how long each report is, and which vendor pages the device exposes at top
// level. The descriptor comes from the device, so every byte is treated as hostile input.
class HidDescriptor {
public:
    // Bounds that keep a hostile descriptor from costing much time or memory. None is tighter
    // than the kernel's own: a descriptor the kernel binds must not hide a monitor from us.
    static constexpr size_t kMaxDescriptorBytes = 64 * 1024;
    static constexpr size_t kMaxReportBytes = 16383;    // the kernel's report buffer, less the ID
    static constexpr uint32_t kMaxReportSize = 256;     // bits per element
    static constexpr uint32_t kMaxReportCount = 12288;  // elements per item
    static constexpr size_t kMaxPushDepth = 16;
    // Usages before one main item; a range is cut at this many, a single Usage beyond it fails.
    static constexpr uint32_t kMaxUsages = 12288;
    static constexpr size_t kMaxFeatureUsages = 32768;  // feature usages declared, repeats included

    // Throws std::invalid_argument naming the fault and its byte offset.
    static HidDescriptor parse(const uint8_t* data, size_t size);

    // Null when the usage is not in any feature report. The first declaration of a usage wins.
    // Fields that do not cover every data bit of their report have `sharesReport` set.
    const HidField* feature(uint16_t page, uint16_t usage) const;
    // Keyed by (page << 16) | usage.
    const std::map<uint32_t, HidField>& features() const { return m_features; }

    bool hasTopLevelCollectionOnPage(uint16_t page) const;

    // Bytes without the ID byte; empty when the descriptor declares no such report.
    std::optional<size_t> reportLength(ReportType type, uint8_t reportId) const;
    bool usesReportIds() const { return m_usesReportIds; }

private:
    std::map<uint32_t, HidField> m_features;
    std::map<std::pair<ReportType, uint8_t>, uint32_t> m_reportBits;
    std::set<uint16_t> m_topLevelPages;
    bool m_usesReportIds = false;
};

}  // namespace screenio::hid
