// SPDX-License-Identifier: Apache-2.0
#include "hid/HidDescriptor.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace screenio::hid {
namespace {

[[noreturn]] void Reject(size_t offset, const std::string& what) {
    throw std::invalid_argument("HID report descriptor rejected: " + what + " (item at byte " +
                                std::to_string(offset) + ")");
}

// One short item: prefix byte plus 0, 1, 2 or 4 little-endian data bytes.
struct Item {
    size_t offset = 0;
    uint8_t type = 0;
    uint8_t tag = 0;
    uint8_t bytes = 0;
    uint32_t value = 0;
};

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

int32_t SignExtend(uint32_t value, uint8_t bytes) {
    if (bytes == 0) return 0;
    if (bytes == 4) return static_cast<int32_t>(value);
    const uint32_t sign = 1u << (bytes * 8 - 1);
    return static_cast<int32_t>((value ^ sign)) - static_cast<int32_t>(sign);
}

// State saved by Push and restored by Pop, the report ID included.
struct Globals {
    uint16_t usagePage = 0;
    int32_t logicalMinimum = 0;
    // Signed or not as the minimum was when the Maximum item came, which is what the kernel does.
    int64_t logicalMaximum = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// Ranges stay unexpanded so a wide Minimum..Maximum costs one entry, not thousands. A run of
// 4-byte usages carries its own page; the page of a shorter one may still change at the main
// item.
struct UsageRun {
    uint16_t page = 0;
    uint16_t first = 0;
    uint16_t last = 0;
    bool extended = false;
};

struct Locals {
    std::vector<UsageRun> usages;
    uint32_t usageTotal = 0;
    std::optional<uint32_t> minimum;  // (page << 16) | usage
    std::optional<uint32_t> maximum;
    bool boundExtended = false;  // either bound was a 4-byte usage
    int delimiterDepth = 0;
    int delimiterSets = 0;  // usage sets opened by Delimiter items; only the first counts
};

struct ParseState {
    Globals globals;
    std::vector<Globals> pushed;
    Locals locals;
    size_t collectionDepth = 0;
    bool sawReportId = false;
    std::map<std::pair<ReportType, uint8_t>, uint32_t> reportBits;
    std::map<uint8_t, uint32_t> featureDataBits;  // non-constant bits per feature report
    std::map<uint32_t, HidField> features;
    size_t featureUsagesDeclared = 0;
    std::set<uint16_t> topLevelPages;
};

bool InAlternativeUsageSet(const ParseState& s) { return s.locals.delimiterSets > 1; }

void AddUsage(ParseState& s, const Item& item) {
    if (InAlternativeUsageSet(s)) return;
    if (s.locals.usageTotal >= HidDescriptor::kMaxUsages)
        Reject(item.offset, "more than " + std::to_string(HidDescriptor::kMaxUsages) +
                                " usages before one main item");
    const bool extended = item.bytes == 4;
    const auto page = extended ? static_cast<uint16_t>(item.value >> 16) : s.globals.usagePage;
    const auto id = static_cast<uint16_t>(item.value & 0xFFFFu);
    s.locals.usages.push_back({page, id, id, extended});
    ++s.locals.usageTotal;
}

// A 4-byte usage carries its own page; shorter ones take the current Usage Page.
uint32_t FullUsage(const Item& item, uint16_t page) {
    if (item.bytes == 4) return item.value;
    return (static_cast<uint32_t>(page) << 16) | (item.value & 0xFFFFu);
}

// A Usage Minimum..Maximum pair, in either order, cut at the usage cap. A Maximum below its
// Minimum names no usage, and a lone Minimum or Maximum is dropped at the main item: the
// kernel accepts both, and guessing a range from them could name a usage the device never
// meant.
void AddUsageRange(ParseState& s, uint32_t first, uint32_t last, bool extended) {
    Locals& l = s.locals;
    if (last < first) return;
    const uint64_t wanted = uint64_t(last) - first + 1;
    uint64_t left = std::min<uint64_t>(wanted, HidDescriptor::kMaxUsages - l.usageTotal);
    l.usageTotal += static_cast<uint32_t>(left);
    uint32_t next = first;
    while (left > 0) {
        // A range of 4-byte usages may cross pages: one run per page.
        const uint32_t pageEnd = next | 0xFFFFu;
        const uint32_t runLast =
            static_cast<uint32_t>(std::min<uint64_t>(pageEnd, uint64_t(next) + left - 1));
        l.usages.push_back({static_cast<uint16_t>(next >> 16),
                            static_cast<uint16_t>(next & 0xFFFFu),
                            static_cast<uint16_t>(runLast & 0xFFFFu), extended});
        left -= uint64_t(runLast) - next + 1;
        next = runLast + 1;
    }
}

void UsageBound(ParseState& s, const Item& item) {
    if (InAlternativeUsageSet(s)) return;
    Locals& l = s.locals;
    (item.tag == 0x1 ? l.minimum : l.maximum) = FullUsage(item, s.globals.usagePage);
    l.boundExtended = l.boundExtended || item.bytes == 4;
    if (l.minimum && l.maximum) {
        AddUsageRange(s, *l.minimum, *l.maximum, l.boundExtended);
        l.minimum.reset();
        l.maximum.reset();
        l.boundExtended = false;
    }
}

// The kernel gives the short usages at the end of the list the last Usage Page, up to the
// first one that already has it: a page written after its usage still applies to it.
void ApplyLastUsagePage(ParseState& s) {
    const uint16_t page = s.globals.usagePage;
    for (auto it = s.locals.usages.rbegin(); it != s.locals.usages.rend(); ++it) {
        if (it->extended) continue;
        if (it->page == page) break;
        it->page = page;
    }
}

void AddFeatureUsage(ParseState& s, const Item& item, uint32_t key, const HidField& field) {
    // Repeats count too: they cost lookups, and a descriptor could repeat a wide range forever.
    if (++s.featureUsagesDeclared > HidDescriptor::kMaxFeatureUsages)
        Reject(item.offset,
               "more than " + std::to_string(HidDescriptor::kMaxFeatureUsages) + " feature usages");
    s.features.emplace(key, field);
}

void MapFeatureUsages(ParseState& s, const Item& item, const HidField& base) {
    const Locals& locals = s.locals;
    if (locals.usageTotal == 0) return;
    if (base.isArray) {
        // Every selectable usage shares the one array field.
        for (const UsageRun& run : locals.usages)
            for (uint32_t u = run.first; u <= run.last; ++u)
                AddFeatureUsage(s, item, (static_cast<uint32_t>(run.page) << 16) | u, base);
        return;
    }
    // Element i takes usage i; the last usage takes every remaining element, so one usage over
    // a Report Count of N describes an N-element buffer. Usages beyond the count are unused.
    const uint32_t reportCount = base.count;
    uint32_t element = 0;
    for (const UsageRun& run : locals.usages) {
        for (uint32_t u = run.first; u <= run.last && element < reportCount; ++u, ++element) {
            HidField field = base;
            field.bitOffset = base.bitOffset + element * base.bitSize;
            const bool lastUsage = (element + 1 == locals.usageTotal);
            field.count = lastUsage ? reportCount - element : 1;
            AddFeatureUsage(s, item, (static_cast<uint32_t>(run.page) << 16) | u, field);
        }
    }
}

void AddDataItem(ParseState& s, const Item& item, ReportType type) {
    const Globals& g = s.globals;
    uint32_t& reportBits = s.reportBits[{type, g.reportId}];
    const uint64_t start = reportBits;
    const uint64_t bits = static_cast<uint64_t>(g.reportSize) * g.reportCount;
    const uint64_t end = start + bits;
    if (end > HidDescriptor::kMaxReportBytes * 8)
        Reject(item.offset, "report " + std::to_string(g.reportId) + " longer than " +
                                std::to_string(HidDescriptor::kMaxReportBytes) + " bytes");
    reportBits = static_cast<uint32_t>(end);
    if (type != ReportType::Feature || bits == 0) return;
    const bool constant = (item.value & 0x01u) != 0;
    if (!constant) s.featureDataBits[g.reportId] += static_cast<uint32_t>(bits);

    HidField base;
    base.reportId = g.reportId;
    base.bitOffset = static_cast<uint32_t>(start);
    base.bitSize = g.reportSize;
    base.count = g.reportCount;
    base.isSigned = g.logicalMinimum < 0;
    base.logicalMinimum = g.logicalMinimum;
    base.logicalMaximum = g.logicalMaximum;
    base.isArray = (item.value & 0x02u) == 0;
    MapFeatureUsages(s, item, base);
}

void MainItem(ParseState& s, const Item& item) {
    ApplyLastUsagePage(s);
    switch (item.tag) {
    case 0x8: AddDataItem(s, item, ReportType::Input); break;
    case 0x9: AddDataItem(s, item, ReportType::Output); break;
    case 0xB: AddDataItem(s, item, ReportType::Feature); break;
    case 0xA:  // Collection
        if (s.collectionDepth == 0 && (item.value & 0xFFu) == 0x01 && !s.locals.usages.empty())
            s.topLevelPages.insert(s.locals.usages.front().page);
        ++s.collectionDepth;
        break;
    case 0xC:
        if (s.collectionDepth == 0) Reject(item.offset, "End Collection without open Collection");
        --s.collectionDepth;
        break;
    default: break;  // the kernel passes over unknown main items too
    }
    s.locals = Locals{};
}

void GlobalItem(ParseState& s, const Item& item) {
    Globals& g = s.globals;
    switch (item.tag) {
    case 0x0: g.usagePage = static_cast<uint16_t>(item.value & 0xFFFFu); break;
    case 0x1: g.logicalMinimum = SignExtend(item.value, item.bytes); break;
    case 0x2:
        // Devices commonly write 0..255 as 15 00 25 FF: unsigned unless the minimum is negative.
        g.logicalMaximum = g.logicalMinimum < 0 ? int64_t(SignExtend(item.value, item.bytes))
                                                : int64_t(item.value);
        break;
    case 0x3:
    case 0x4:
    case 0x5:
    case 0x6: break;  // physical range and units: not needed
    case 0x7:
        if (item.value > HidDescriptor::kMaxReportSize)
            Reject(item.offset, "Report Size " + std::to_string(item.value) + " above " +
                                    std::to_string(HidDescriptor::kMaxReportSize) + " bits");
        g.reportSize = item.value;
        break;
    case 0x8:
        if (item.value == 0) Reject(item.offset, "report ID 0");
        if (item.value > 0xFF)
            Reject(item.offset, "report ID " + std::to_string(item.value) + " above 255");
        s.sawReportId = true;
        g.reportId = static_cast<uint8_t>(item.value);
        break;
    case 0x9:
        if (item.value > HidDescriptor::kMaxReportCount)
            Reject(item.offset, "Report Count " + std::to_string(item.value) + " above " +
                                    std::to_string(HidDescriptor::kMaxReportCount));
        g.reportCount = item.value;
        break;
    case 0xA:
        if (s.pushed.size() >= HidDescriptor::kMaxPushDepth)
            Reject(item.offset,
                   "Push nested deeper than " + std::to_string(HidDescriptor::kMaxPushDepth));
        s.pushed.push_back(g);
        break;
    case 0xB:
        if (s.pushed.empty()) Reject(item.offset, "Pop without Push");
        g = s.pushed.back();
        s.pushed.pop_back();
        break;
    default: Reject(item.offset, "unknown global item tag " + std::to_string(item.tag));
    }
}

void Delimiter(ParseState& s, const Item& item) {
    Locals& l = s.locals;
    if (item.value != 0) {
        if (l.delimiterDepth != 0) Reject(item.offset, "nested Delimiter");
        ++l.delimiterDepth;
        ++l.delimiterSets;
    } else {
        if (l.delimiterDepth == 0) Reject(item.offset, "Delimiter close without open");
        --l.delimiterDepth;
    }
}

void LocalItem(ParseState& s, const Item& item) {
    switch (item.tag) {
    case 0x0: AddUsage(s, item); break;
    case 0x1:
    case 0x2: UsageBound(s, item); break;
    case 0xA: Delimiter(s, item); break;
    default: break;  // designators, strings and unknown tags do not affect report layout
    }
}

}  // namespace

HidDescriptor HidDescriptor::parse(const uint8_t* data, size_t size) {
    if (size == 0) throw std::invalid_argument("HID report descriptor rejected: empty");
    if (data == nullptr) throw std::invalid_argument("HID report descriptor rejected: no data");
    if (size > kMaxDescriptorBytes)
        throw std::invalid_argument("HID report descriptor rejected: " + std::to_string(size) +
                                    " bytes exceeds the 64 KiB limit");

    ParseState s;
    size_t pos = 0;
    while (pos < size) {
        Item item;
        item.offset = pos;
        const uint8_t prefix = data[pos++];
        // Tag 15 makes a long item, which the kernel refuses whatever its type and size bits.
        if ((prefix & 0xF0u) == 0xF0u) Reject(item.offset, "long item");
        const uint8_t sizeCode = prefix & 0x03u;
        item.bytes = sizeCode == 3 ? 4 : sizeCode;
        item.type = (prefix >> 2) & 0x03u;
        item.tag = prefix >> 4;
        if (item.bytes > size - pos)
            Reject(item.offset, "truncated item: " + std::to_string(item.bytes) +
                                    " data bytes declared, " + std::to_string(size - pos) +
                                    " left");
        for (uint8_t i = 0; i < item.bytes; ++i)
            item.value |= static_cast<uint32_t>(data[pos + i]) << (8 * i);
        pos += item.bytes;

        switch (item.type) {
        case kMain: MainItem(s, item); break;
        case kGlobal: GlobalItem(s, item); break;
        case kLocal: LocalItem(s, item); break;
        default: break;  // reserved type: skipped, as the kernel does
        }
    }
    if (s.collectionDepth != 0)
        throw std::invalid_argument(
            "HID report descriptor rejected: " + std::to_string(s.collectionDepth) +
            " collection(s) not closed");
    if (s.locals.delimiterDepth != 0)
        throw std::invalid_argument("HID report descriptor rejected: Delimiter not closed");

    HidDescriptor descriptor;
    descriptor.m_reportBits = std::move(s.reportBits);
    descriptor.m_features = std::move(s.features);
    descriptor.m_topLevelPages = std::move(s.topLevelPages);
    descriptor.m_usesReportIds = s.sawReportId;
    for (auto& entry : descriptor.m_features) {
        HidField& field = entry.second;
        field.reportLength = *descriptor.reportLength(ReportType::Feature, field.reportId);
        const uint64_t fieldBits = uint64_t(field.bitSize) * field.count;
        field.sharesReport = fieldBits < s.featureDataBits[field.reportId];
    }
    return descriptor;
}

const HidField* HidDescriptor::feature(uint16_t page, uint16_t usage) const {
    const auto it = m_features.find((static_cast<uint32_t>(page) << 16) | usage);
    return it == m_features.end() ? nullptr : &it->second;
}

bool HidDescriptor::hasTopLevelCollectionOnPage(uint16_t page) const {
    return m_topLevelPages.count(page) != 0;
}

std::optional<size_t> HidDescriptor::reportLength(ReportType type, uint8_t reportId) const {
    const auto it = m_reportBits.find({type, reportId});
    if (it == m_reportBits.end()) return std::nullopt;
    return (static_cast<size_t>(it->second) + 7) / 8;
}

}  // namespace screenio::hid
