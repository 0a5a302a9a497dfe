// SPDX-License-Identifier: Apache-2.0
// Whether a package fits a monitor, what the update would take, and what the devices will
// report afterwards.
#include <gtest/gtest.h>

#include "api/PackageHandle.h"
#include "device/Monitor.h"
#include "engine/Compatibility.h"
#include "support/MonitorDescriptions.h"
#include "support/PackageBuilder.h"
#include "support/SimulatedMonitors.h"

namespace fwu {
namespace {

using screenio::Access;
using screenio::sim::MonitorDescription;
using test::PackageBuilder;

class Compatibility : public test::SimulatedMonitors {
protected:
    uint32_t check(const PackageBuilder& package, size_t monitor = 0) {
        dev::Monitor m(handle(monitor));
        return KfwFileCheckMonitor(api::AsPackage(package.get()), m);
    }
};

// The files monitor's devices 0 to 3 report 0x0102, 7, 21 and 4.
TEST_F(Compatibility, VerdictsOnAFilesMonitor) {
    install({test::FilesMonitorDescription()});
    struct Case {
        const char* name;
        std::vector<std::string> products;
        std::vector<std::pair<uint32_t, uint32_t>> targets;
        std::vector<const char*> actionFiles;
        std::vector<PackageBuilder::Condition> conditions;
        uint32_t expected;
    } cases[] = {
        {"fits", {"TESTPANEL 27"}, {{0, 0x200}}, {"PRG000"}, {}, CheckResultApplies},
        {"prefix product",
         {"OTHER", "TESTPANEL*"},
         {{0, 0x200}},
         {"PRG000"},
         {},
         CheckResultApplies},
        {"other model", {"TESTPANEL 24"}, {{0, 0x200}}, {"PRG000"}, {}, CheckResultDifferentModel},
        {"all at target",
         {"TESTPANEL 27"},
         {{0, 0x102}, {1, 7}},
         {"PRG000"},
         {},
         CheckResultAlreadyUpdated},
        {"no targets", {"TESTPANEL 27"}, {}, {"PRG000"}, {}, CheckResultAlreadyUpdated},
        {"target device missing",
         {"TESTPANEL 27"},
         {{9, 1}},
         {"PRG000"},
         {},
         CheckResultUnsupportedVersion},
        {"no bundle applies",
         {"TESTPANEL 27"},
         {{0, 0x200}},
         {"PRG000"},
         {{0, 0x100, "eq"}},
         CheckResultUnsupportedVersion},
        // Device 1 is behind, but the bundle only carries an image for device 0, which is not.
        {"nothing left in the bundle",
         {"TESTPANEL 27"},
         {{0, 0x102}, {1, 8}},
         {"PRG000"},
         {},
         CheckResultAlreadyUpdated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PackageBuilder package;
        package.products(c.products);
        for (const auto& t : c.targets) package.target(t.first, t.second);
        std::vector<FWUuid> actions;
        for (const char* file : c.actionFiles)
            actions.push_back(
                package.transfer(package.blob(file, PackageBuilder::Image(1, 2048)), file));
        package.bundle(actions, c.conditions);
        EXPECT_EQ(check(package), c.expected);
        dev::Monitor m(handle());
        EXPECT_EQ(KfwFileSupportsMonitor(api::AsPackage(package.get()), m),
                  c.expected == CheckResultApplies);
    }
}

TEST_F(Compatibility, FileVersionMustFitTheProtocol) {
    MonitorDescription legacy = test::LegacyMonitorDescription();
    install({test::FilesMonitorDescription(), test::ZvMonitorDescription(),
             test::MStarMonitorDescription(), legacy});
    auto scalerPackage = [](PackageBuilder& p, const char* product) {
        p.products({product}).target(0x100, 999);
        p.bundle({p.mstarTransfer(p.blob("s", PackageBuilder::Image(999, 100)), 0x20000, 0xF0000)});
    };
    auto zvPackage = [](PackageBuilder& p, const char* product) {
        p.products({product}).target(0x10, 999);
        p.bundle({p.zvTransfer(p.blob("z", PackageBuilder::Image(999, 100)), 0)});
    };
    PackageBuilder scalerForZv, zvForZv, zvForScaler, scalerForScaler;
    scalerPackage(scalerForZv, "ZVPANEL 32");
    zvPackage(zvForZv, "ZVPANEL 32");
    zvPackage(zvForScaler, "SCALERPANEL");
    scalerPackage(scalerForScaler, "SCALERPANEL");
    EXPECT_EQ(check(scalerForZv, 1), CheckResultWrongFileVersion);
    EXPECT_EQ(check(zvForZv, 1), CheckResultApplies);
    EXPECT_EQ(check(zvForScaler, 2), CheckResultWrongFileVersion);
    EXPECT_EQ(check(scalerForScaler, 2), CheckResultApplies);

    // The legacy format is refused by monitors with device files only.
    FWKfwFile* legacyPackage = FWKfwFileCreateEmpty(true);
    ASSERT_TRUE(FWKfwFileUpdateMonitorProducts(legacyPackage, R"(["TESTPANEL 27","OLDPANEL 24"])"));
    dev::Monitor files(handle(0)), old(handle(3));
    EXPECT_EQ(KfwFileCheckMonitor(api::AsPackage(legacyPackage), files),
              CheckResultWrongFileVersion);
    EXPECT_NE(KfwFileCheckMonitor(api::AsPackage(legacyPackage), old), CheckResultWrongFileVersion);
    FWKfwFileRelease(legacyPackage);
}

TEST_F(Compatibility, MonitorInIspModeFitsWithoutReadingDevices) {
    MonitorDescription description = test::FilesMonitorDescription();
    description.product = "MCU ISP MODE";
    install({description});
    record();
    PackageBuilder package;
    package.products({"MCU ISP MODE"}).target(0, 0x200);
    package.bundle(
        {package.transfer(package.blob("s", PackageBuilder::Image(0x200, 2048)), "PRG000")},
        {{0, 0x100, "eq"}});
    EXPECT_EQ(check(package), CheckResultApplies);
    // Only the protocol probe looks at the device files; no record is read.
    EXPECT_TRUE(test::Requests(recorded(), 0xFF02, 0xFD, Access::SetArray).empty());
}

TEST_F(Compatibility, EstimatedTimeFromTheBundleOrItsActionsPlusTheMargin) {
    install({test::FilesMonitorDescription()});
    struct Case {
        uint32_t bundleSeconds;
        uint32_t options;
        uint32_t expected;
    } cases[] = {{100, 0, 110}, {0, 0, 40 + 10}, {0, FWTransferOptionForce, 40 + 25 + 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        PackageBuilder package;
        package.products({"TESTPANEL 27"}).target(0, 0x200).target(1, 7);
        ASSERT_TRUE(FWKfwFileUpdateOptions(package.get(), R"({"estimatedTimeMargin":10})"));
        // Device 1 is at its target, so only the first image is needed unless forced.
        const FWUuid a =
            package.transfer(package.blob("a", PackageBuilder::Image(0x200, 2048)), "PRG000", 40);
        const FWUuid b =
            package.transfer(package.blob("b", PackageBuilder::Image(7, 1024)), "PRG001", 25);
        package.bundle({a, b}, {}, c.bundleSeconds);
        dev::Monitor m(handle());
        EXPECT_EQ(KfwFileGetEstimatedTime(api::AsPackage(package.get()), m, c.options), c.expected);
    }
    PackageBuilder otherModel;
    otherModel.products({"ELSE"});
    dev::Monitor m(handle());
    EXPECT_EQ(KfwFileGetEstimatedTime(api::AsPackage(otherModel.get()), m, 0), 0u);
}

TEST(VersionAfterUpdate, TargetWhenThePackageNamesOneElseCurrent) {
    PackageBuilder package;
    package.target(5, 0x300).target(6, 0);
    const kfw::KfwFile* file = api::AsPackage(package.get());
    struct Case {
        FWDeviceVersion current;
        uint32_t expected;
    } cases[] = {{{5, 0x100}, 0x300}, {{6, 0x100}, 0x100}, {{7, 0x100}, 0x100}};
    for (const Case& c : cases) {
        FWDeviceVersion after{99, 99};
        EXPECT_TRUE(KfwFileGetVersionAfterUpdate(file, c.current, &after));
        EXPECT_EQ(after.deviceID, c.current.deviceID);
        EXPECT_EQ(after.version, c.expected);
    }
}

}  // namespace
}  // namespace fwu
