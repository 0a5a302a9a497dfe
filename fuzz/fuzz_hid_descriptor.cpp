// SPDX-License-Identifier: Apache-2.0
// HID report descriptors come from the device: parse arbitrary bytes, and for any descriptor that
// is accepted check that every feature it maps fits inside the report it names. Refusals are
// exceptions; anything else is a finding.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "hid/HidDescriptor.h"

using screenio::hid::HidDescriptor;
using screenio::hid::ReportType;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const HidDescriptor d = HidDescriptor::parse(data, size);
        for (const auto& entry : d.features()) {
            const auto& field = entry.second;
            const auto length = d.reportLength(ReportType::Feature, field.reportId);
            if (!length || *length != field.reportLength) std::abort();
            if (*length > HidDescriptor::kMaxReportBytes) std::abort();
            const uint64_t end = field.bitOffset + uint64_t(field.bitSize) * field.count;
            if (field.bitSize == 0 || field.count == 0 || end > uint64_t(*length) * 8) std::abort();
            if (field.reportId != 0 && !d.usesReportIds()) std::abort();
            // A field that covers its whole report's data shares it with nothing.
            if (field.sharesReport && end - field.bitOffset >= uint64_t(*length) * 8) std::abort();
            const auto page = static_cast<uint16_t>(entry.first >> 16);
            if (d.feature(page, static_cast<uint16_t>(entry.first)) != &field) std::abort();
        }
        for (uint16_t page : {0xFF00, 0xFF01, 0xFF02, 0xFF30})
            (void)d.hasTopLevelCollectionOnPage(page);
    } catch (const std::invalid_argument&) {}
    return 0;
}
