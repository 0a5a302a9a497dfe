// SPDX-License-Identifier: Apache-2.0
// The record-file protocol against a simulated monitor: retries, echoes, records over several
// pages, name rules, properties, CRC, identity and registers.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "core/Crc32.h"
#include "device/Monitor.h"
#include "support/Faults.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

namespace fwu::dev {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::FileDescription;
using screenio::sim::MonitorDescription;
using test::FilesMonitorDescription;
using test::Requests;

FaultRule Rule(uint16_t usage, Access access, FaultEffect effect, uint32_t first, uint32_t count) {
    return test::MakeFault(0xFF02, usage, access, effect, first, count);
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 7 + (i >> 8));
    return bytes;
}

class MonitorFiles : public test::SimulatedMonitors {
protected:
    void installWith(std::vector<FaultRule> faults = {}, std::vector<FileDescription> files = {}) {
        MonitorDescription description = FilesMonitorDescription();
        description.faults = std::move(faults);
        description.files = std::move(files);
        install({description});
        record();
    }
    Monitor monitor() { return Monitor(handle()); }
};

TEST_F(MonitorFiles, PageWriteRetriesUntilSuccessOrTwentyAttempts) {
    struct Case {
        uint32_t failures;
        bool succeeds;
        size_t requests;
    } cases[] = {{0, true, 1}, {3, true, 4}, {19, true, 20}, {20, false, 20}, {25, false, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failures);
        std::vector<FaultRule> faults;
        if (c.failures)
            faults.push_back(Rule(0xFE, Access::SetArray, FaultEffect::Fail, 1, c.failures));
        installWith(faults);
        const std::vector<uint8_t> data = Pattern(512, 1);
        const KmError status =
            monitor().write_file_data_atomic_page("PRG000", 1, 0, data.data(), 512);
        if (c.succeeds) {
            EXPECT_GE(status, 0);
            const std::vector<uint8_t> file = sim().fileContent("PRG000").value();
            EXPECT_EQ(std::vector<uint8_t>(file.begin() + 1024, file.begin() + 1536), data);
        } else {
            EXPECT_EQ(status, SCREENIO_ERROR_IO);
        }
        EXPECT_EQ(Requests(recorded(), 0xFF02, 0xFE, Access::SetArray).size(), c.requests);
        // One pause after every failed attempt, the last one included, each 1 to 20 ms.
        const size_t failed = c.succeeds ? c.requests - 1 : c.requests;
        ASSERT_EQ(Sleeps().size(), failed);
        for (uint32_t ms : Sleeps()) {
            EXPECT_GE(ms, 1u);
            EXPECT_LE(ms, 20u);
        }
    }
}

TEST_F(MonitorFiles, PageReadRetriesBadEchoesWithoutPausingAndFailedRequestsWithPause) {
    struct Case {
        FaultRule fault;
        KmError expected;
        size_t sleeps;
    } cases[] = {
        {Rule(0xFD, Access::GetArray, FaultEffect::WrongEcho, 1, 3), 0, 0},
        {Rule(0xFD, Access::GetArray, FaultEffect::WrongEcho, 1, 20), KmErrorReadFailed, 0},
        {Rule(0xFD, Access::GetArray, FaultEffect::Fail, 1, 20), KmErrorReadFailed, 0},
        {Rule(0xFD, Access::SetArray, FaultEffect::Fail, 1, 2), 0, 2},
        {Rule(0xFD, Access::SetArray, FaultEffect::Fail, 1, 20), SCREENIO_ERROR_IO, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.fault.effect) * 100 + int(c.fault.count));
        const std::vector<uint8_t> content = Pattern(2048, 9);
        installWith({}, {FileDescription{"DATA01", 1024, 2, content}});
        sim().addFault(c.fault);
        std::vector<uint8_t> page(512, 0);
        const KmError status =
            monitor().read_file_data_atomic_page("DATA01", 1, 1, page.data(), 512);
        EXPECT_EQ(status >= 0 ? 0 : status, c.expected);
        if (status >= 0) {
            EXPECT_EQ(page, std::vector<uint8_t>(content.begin() + 1536, content.end()));
        }
        EXPECT_EQ(Sleeps().size(), c.sleeps);
    }
}

TEST_F(MonitorFiles, RecordsAreWrittenAndReadInPagesWithProgressAfterEachPage) {
    struct Case {
        uint16_t recordSize;
        std::vector<uint32_t> pageLengths;
    } cases[] = {{512, {512}}, {513, {512, 1}}, {1100, {512, 512, 76}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recordSize);
        installWith({}, {FileDescription{"DATA01", c.recordSize, 3, {}}});
        const std::vector<uint8_t> data = Pattern(c.recordSize, 3);
        std::vector<uint32_t> seen;
        auto callback = [](FWTransferProgress progress, void* user) -> int8_t {
            static_cast<std::vector<uint32_t>*>(user)->push_back(progress.transferredBytes);
            return 1;
        };
        const FWTransferProgress start{2, 5, 1000, 9000};
        ASSERT_GE(monitor().writeFileDataAtomic("DATA01", 2, data.data(), c.recordSize, start,
                                                callback, &seen),
                  0);

        std::vector<uint32_t> expected{1000};
        uint32_t sum = 0;
        for (uint32_t length : c.pageLengths) expected.push_back(1000 + (sum += length));
        EXPECT_EQ(seen, expected);

        const auto writes = Requests(recorded(), 0xFF02, 0xFE, Access::SetArray);
        ASSERT_EQ(writes.size(), c.pageLengths.size());
        for (size_t page = 0; page < writes.size(); ++page) {
            EXPECT_EQ(writes[page].data[6], 2);     // record
            EXPECT_EQ(writes[page].data[8], page);  // page
            // Past the chunk the page is zero.
            const auto& bytes = writes[page].data;
            EXPECT_TRUE(std::all_of(bytes.begin() + 10 + c.pageLengths[page], bytes.end(),
                                    [](uint8_t b) { return b == 0; }));
        }

        std::vector<uint8_t> back;
        ASSERT_GE(monitor().read_file_data_atomic("DATA01", 2, &back), 0);
        EXPECT_EQ(back, data);
    }
}

TEST_F(MonitorFiles, RecordWriteCallbackCanStopItAndEmptyRecordsAreRefused) {
    installWith();
    const std::vector<uint8_t> data = Pattern(1024, 5);
    int calls = 0;
    auto stopAt = [](FWTransferProgress, void* user) -> int8_t {
        int* remaining = static_cast<int*>(user);
        return --*remaining > 0 ? 1 : 0;
    };
    calls = 1;  // stops at the first call, before any page
    EXPECT_EQ(monitor().writeFileDataAtomic("PRG000", 0, data.data(), 1024, {}, stopAt, &calls),
              KmErrorCancelled);
    EXPECT_TRUE(Requests(recorded(), 0xFF02, 0xFE, Access::SetArray).empty());
    calls = 2;  // stops after the first page
    EXPECT_EQ(monitor().writeFileDataAtomic("PRG000", 0, data.data(), 1024, {}, stopAt, &calls),
              KmErrorCancelled);
    EXPECT_EQ(Requests(recorded(), 0xFF02, 0xFE, Access::SetArray).size(), 1u);

    int counted = 0;
    auto count = [](FWTransferProgress, void* user) -> int8_t {
        ++*static_cast<int*>(user);
        return 1;
    };
    EXPECT_EQ(monitor().writeFileDataAtomic("PRG000", 0, data.data(), 0, {}, count, &counted),
              KmErrorFailed);
    EXPECT_EQ(counted, 1);
}

TEST_F(MonitorFiles, ShortNamesAreRefusedBeforeAnythingIsSentAndLongNamesAreCut) {
    installWith();
    Monitor m = monitor();
    Monitor::FileProperty property;
    Monitor::Crc32Result crc;
    std::vector<uint8_t> bytes;
    uint8_t page[512] = {};
    for (const char* name : {"PRG00", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(m.getFileProperty(name, &property), KmErrorInvalidArgument);
        EXPECT_EQ(m.createTemporaryFile(name, {512, 1}), KmErrorInvalidArgument);
        EXPECT_EQ(m.writeFileDataAtomic(name, 0, page, 512, {}, nullptr, nullptr),
                  KmErrorInvalidArgument);
        EXPECT_EQ(m.read_file_data_atomic(name, 0, &bytes), KmErrorInvalidArgument);
        EXPECT_EQ(m.triggerCrc32Calculation(name, 0), KmErrorInvalidArgument);
        EXPECT_EQ(m.getCrc32Result(name, &crc), KmErrorInvalidArgument);
    }
    EXPECT_EQ(m.getFileProperty("PRG000", nullptr), KmErrorInvalidArgument);
    EXPECT_TRUE(recorded().empty());

    ASSERT_GE(m.getFileProperty("PRG001-and-more", &property), 0);
    EXPECT_EQ(property.recordSize, 1024);
    EXPECT_EQ(property.recordCount, 2);
}

TEST_F(MonitorFiles, PropertyReplyNamingAnotherFileIsAFailureAndChangesNothing) {
    installWith({Rule(0xC3, Access::GetArray, FaultEffect::WrongEcho, 1, 1)});
    Monitor::FileProperty property{7, 9};
    EXPECT_EQ(monitor().getFileProperty("PRG000", &property), KmErrorFailed);
    EXPECT_EQ(property.recordSize, 7);
    EXPECT_EQ(property.recordCount, 9);

    // A file the monitor does not have comes back with no records to write.
    EXPECT_GE(monitor().getFileProperty("NOFILE", &property), 0);
    EXPECT_EQ(property.recordSize, 0);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(monitor().read_file_data_atomic("NOFILE", 0, &bytes), KmErrorNotSupported);
    uint32_t count = 99;
    EXPECT_TRUE(monitor().supports_kfw_fs(&count));
    EXPECT_EQ(count, 4u);
}

TEST_F(MonitorFiles, MonitorCrcOfATemporaryFileMatchesTheLocalOneOnceNotBusy) {
    installWith();
    Monitor m = monitor();
    ASSERT_GE(m.createTemporaryFile("prg000", {1024, 2}), 0);
    const std::vector<uint8_t> data = Pattern(2048, 11);
    for (uint16_t record = 0; record < 2; ++record)
        ASSERT_GE(m.writeFileDataAtomic("prg000", record, data.data() + record * 1024, 1024, {},
                                        nullptr, nullptr),
                  0);
    ASSERT_GE(m.triggerCrc32Calculation("prg000", 0xFEEDBEEF), 0);
    Monitor::Crc32Result result;
    ASSERT_GE(m.getCrc32Result("prg000", &result), 0);
    EXPECT_TRUE(result.busy);
    screenio::sim::SimClock::advance(1000 * 1000);
    ASSERT_GE(m.getCrc32Result("prg000", &result), 0);
    EXPECT_FALSE(result.busy);
    EXPECT_EQ(result.crc, Crc32::calculate(0xFEEDBEEF, data));
    // A result about another file is not taken.
    EXPECT_EQ(m.getCrc32Result("prg001", &result), KmErrorFailed);
}

TEST_F(MonitorFiles, SerialReportRules) {
    struct Case {
        uint32_t length;
        std::string serial, product;
        KmError status;
        std::string wantSerial, wantProduct, wantFixedProduct;
    } cases[] = {
        {15, "F0000001", "PANEL", KmErrorFailed, "", "", ""},
        {16, "F0000001", "PANEL", 0, "F0000001", "PANEL", "PANEL"},
        {24, "AB12  ", "PANEL 27   ", 0, "AB12  ", "PANEL 27", "PANEL 27"},
        {40, "S1", "A PRODUCT NAME LONGER THAN 16", 0, "S1", "A PRODUCT NAME LONGER THAN 16",
         "A PRODUCT NAME L"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        MonitorDescription description = FilesMonitorDescription();
        description.serialReportLength = c.length;
        description.serial = c.serial;
        description.product = c.product;
        install({description});
        std::string serial = "x", product = "y";
        const KmError status = monitor().getSerialProduct(&serial, &product);
        EXPECT_EQ(status >= 0 ? 0 : status, c.status);
        char fixedSerial[9], fixedProduct[17];
        std::memset(fixedSerial, 'x', 9);
        std::memset(fixedProduct, 'y', 17);
        monitor().getSerialProduct(&fixedSerial, &fixedProduct);
        EXPECT_EQ(std::string(fixedSerial), c.wantSerial);
        EXPECT_EQ(std::string(fixedProduct), c.wantFixedProduct);
        if (status < 0) continue;
        EXPECT_EQ(serial, c.wantSerial);
        EXPECT_EQ(product, c.wantProduct);
    }
}

TEST_F(MonitorFiles, RegistersAndRestart) {
    installWith();
    Monitor m = monitor();
    uint32_t state = 99;
    ASSERT_GE(m.getTransferState(&state), 0);
    EXPECT_EQ(state, 0u);
    ASSERT_GE(m.setTransferState(2), 0);
    ASSERT_GE(m.getTransferState(&state), 0);
    EXPECT_EQ(state, 2u);
    EXPECT_EQ(m.getTransferState(nullptr), KmErrorInvalidArgument);

    ASSERT_GE(m.setOSDStatus(true), 0);
    EXPECT_EQ(sim().osdValue(), 0x4000);
    ASSERT_GE(m.setOSDStatus(false), 0);
    EXPECT_EQ(sim().osdValue(), 0x8000);
    std::vector<int64_t> values;
    for (const auto& r : Requests(recorded(), 0xFF00, 0x0F, Access::SetValue))
        values.push_back(r.value);
    EXPECT_EQ(values, (std::vector<int64_t>{0x8000, 0x4000, 0x8000}));

    // The monitor leaves the bus when it restarts; the handle of the old connection is dead.
    EXPECT_EQ(m.restartMPU(), 0);
    EXPECT_FALSE(sim().present());
    EXPECT_LT(m.getTransferState(&state), 0);
}

}  // namespace
}  // namespace fwu::dev
