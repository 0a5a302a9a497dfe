// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/DemoSet.h"
#include "sim/SimConfig.h"

namespace screenio::sim {
namespace {

using nlohmann::json;

// A small valid description; each bad case breaks one member of it.
json BaseDescription() {
    return json::parse(R"({
      "monitors": [
        { "product": "Files One", "serial": "S1", "kind": "files",
          "devices": [ { "id": 0, "name": "Scaler", "fileName": "SCL000", "version": 1 } ],
          "files": [ { "name": "LOG000", "recordSize": 4, "recordCount": 2, "content": "01" } ],
          "withoutUsages": [ "FF00/0F" ],
          "faults": [ { "usage": "FF02/FE", "effect": "fail" } ] },
        { "product": "ZV Two", "serial": "S2", "kind": "zv",
          "devices": [ { "id": 256, "name": "Scaler", "address": 0 } ] }
      ]
    })");
}

std::string ParseError(const std::string& text) {
    try {
        SimConfig::parse(text, "/base");
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(parsed without error)";
}

TEST(SimConfig, BaseDescriptionOfTheBadCasesIsValid) {
    SimConfig config = SimConfig::parse(BaseDescription().dump(), "/base");
    EXPECT_EQ(config.monitors.size(), 2u);
}

struct BadCase {
    const char* what;
    std::function<void(json&)> breakIt;
    const char* expected;  // the message must contain this
};

class SimConfigBadInput : public testing::TestWithParam<BadCase> {};

TEST_P(SimConfigBadInput, NamesTheOffendingMember) {
    json description = BaseDescription();
    GetParam().breakIt(description);
    EXPECT_NE(ParseError(description.dump()).find(GetParam().expected), std::string::npos)
        << GetParam().what << ": " << ParseError(description.dump());
}

json& Monitor(json& d, int i) { return d["monitors"][i]; }
json& Device(json& d, int m, int i) { return d["monitors"][m]["devices"][i]; }
json& Fault(json& d) { return d["monitors"][0]["faults"][0]; }

const BadCase kBadCases[] = {
    {"negative version", [](json& d) { Device(d, 0, 0)["version"] = -1; },
     "monitors[0].devices[0].version: expected an unsigned 32-bit integer"},
    {"version above 32 bits", [](json& d) { Device(d, 0, 0)["version"] = 4294967296ull; },
     "monitors[0].devices[0].version: expected an unsigned 32-bit integer"},
    {"fractional version", [](json& d) { Device(d, 0, 0)["version"] = 1.5; },
     "monitors[0].devices[0].version: expected an unsigned 32-bit integer"},
    {"version as text", [](json& d) { Device(d, 0, 0)["version"] = "1.05"; },
     "monitors[0].devices[0].version: expected an unsigned 32-bit integer"},
    {"typo in a monitor member", [](json& d) { Monitor(d, 1)["restartMS"] = 10; },
     "monitors[1].restartMS: unknown member"},
    {"typo in a device member", [](json& d) { Device(d, 0, 0)["displayorder"] = 1; },
     "monitors[0].devices[0].displayorder: unknown member"},
    {"unknown top-level member", [](json& d) { d["monitor"] = json::array(); },
     "monitor: unknown member"},
    {"monitors missing", [](json& d) { d.erase("monitors"); }, "monitors: missing"},
    {"monitors not an array", [](json& d) { d["monitors"] = json::object(); },
     "monitors: expected an array"},
    {"monitor not an object", [](json& d) { Monitor(d, 1) = 5; },
     "monitors[1]: expected an object"},
    {"duplicate serial", [](json& d) { Monitor(d, 1)["serial"] = "S1"; },
     "monitors[1].serial: \"S1\" is used by an earlier monitor"},
    {"serial too long", [](json& d) { Monitor(d, 0)["serial"] = "123456789"; },
     "monitors[0].serial: expected 1 to 8 characters"},
    {"serial not printable", [](json& d) { Monitor(d, 0)["serial"] = "A\tB"; },
     "monitors[0].serial: expected printable ASCII"},
    {"product missing", [](json& d) { Monitor(d, 0).erase("product"); },
     "monitors[0].product: missing"},
    {"product does not fit the serial report",
     [](json& d) { Monitor(d, 0)["serialReportLength"] = 12; },
     "monitors[0].product: expected 1 to 4 characters"},
    {"unknown kind", [](json& d) { Monitor(d, 0)["kind"] = "usb"; },
     "monitors[0].kind: \"usb\" is not one of files, legacy, mstar, zv"},
    {"file name of five characters", [](json& d) { Device(d, 0, 0)["fileName"] = "SCL00"; },
     "monitors[0].devices[0].fileName: expected exactly 6 characters"},
    {"files device without a file name", [](json& d) { Device(d, 0, 0).erase("fileName"); },
     "monitors[0].devices[0].fileName: missing"},
    {"file name on a zv device", [](json& d) { Device(d, 1, 0)["fileName"] = "SCL000"; },
     "monitors[1].devices[0].fileName: not used by zv monitors"},
    {"record size above 16 bits", [](json& d) { Device(d, 0, 0)["recordSize"] = 70000; },
     "monitors[0].devices[0].recordSize: expected an unsigned 16-bit integer"},
    {"update flag index above 8 bits", [](json& d) { Device(d, 1, 0)["updateFlagIndex"] = 256; },
     "monitors[1].devices[0].updateFlagIndex: expected an unsigned 8-bit integer"},
    {"update flag index beyond the flag word",
     [](json& d) { Device(d, 1, 0)["updateFlagIndex"] = 32; },
     "monitors[1].devices[0].updateFlagIndex: expected at most 31"},
    {"hexVersion not a boolean", [](json& d) { Device(d, 0, 0)["hexVersion"] = "yes"; },
     "monitors[0].devices[0].hexVersion: expected true or false"},
    {"device ID missing", [](json& d) { Device(d, 0, 0).erase("id"); },
     "monitors[0].devices[0].id: missing"},
    {"files device ID beyond the device count", [](json& d) { Device(d, 0, 0)["id"] = 3; },
     "monitors[0].devices[0].id: a files monitor numbers its devices 0 to 0"},
    {"device ID twice",
     [](json& d) {
         Monitor(d, 1)["devices"].push_back({{"id", 256}, {"address", 65536}});
     },
     "monitors[1].devices[1].id: device 256 appears twice"},
    {"zv device ID above 16 bits", [](json& d) { Device(d, 1, 0)["id"] = 65536; },
     "monitors[1].devices[0].id: expected at most 65535"},
    {"image address outside the flash", [](json& d) { Device(d, 1, 0)["address"] = 1048576; },
     "monitors[1].devices[0].address: outside the flash"},
    {"flash size not whole blocks", [](json& d) { Monitor(d, 1)["flashSize"] = 100000; },
     "monitors[1].flashSize: expected a multiple of 65536"},
    {"device name longer than its record",
     [](json& d) { Monitor(d, 0)["deviceNameRecordSize"] = 4; },
     "monitors[0].devices[0].name: longer than deviceNameRecordSize (4)"},
    {"odd number of hex digits", [](json& d) { Monitor(d, 0)["files"][0]["content"] = "012"; },
     "monitors[0].files[0].content: expected an even number of hexadecimal digits"},
    {"content that is not hex", [](json& d) { Monitor(d, 0)["files"][0]["content"] = "zz"; },
     "monitors[0].files[0].content: expected hexadecimal digits only"},
    {"content larger than the file",
     [](json& d) { Monitor(d, 0)["files"][0]["content"] = "000102030405060708"; },
     "monitors[0].files[0].content: 9 bytes do not fit recordSize * recordCount (8)"},
    {"file named like a device file", [](json& d) { Monitor(d, 0)["files"][0]["name"] = "KFW002"; },
     "monitors[0].files[0].name: \"KFW002\" already exists"},
    {"file named like a firmware file",
     [](json& d) { Monitor(d, 0)["files"][0]["name"] = "SCL000"; },
     "monitors[0].files[0].name: \"SCL000\" already exists"},
    {"files on a zv monitor",
     [](json& d) {
         Monitor(d, 1)["files"] = json::array({{{"name", "LOG000"}}});
     },
     "monitors[1].files: not used by zv monitors"},
    {"usage without a slash", [](json& d) { Monitor(d, 0)["withoutUsages"][0] = "FF02:FE"; },
     "monitors[0].withoutUsages[0]: expected a usage such as"},
    {"usage with five digits", [](json& d) { Monitor(d, 0)["withoutUsages"][0] = "FF02/12345"; },
     "monitors[0].withoutUsages[0]: expected a usage such as"},
    {"usage not hexadecimal", [](json& d) { Monitor(d, 0)["withoutUsages"][0] = "FG02/FE"; },
     "monitors[0].withoutUsages[0]: expected a usage such as"},
    {"fault without usage", [](json& d) { Fault(d).erase("usage"); },
     "monitors[0].faults[0].usage: missing"},
    {"unknown effect", [](json& d) { Fault(d)["effect"] = "explode"; },
     "monitors[0].faults[0].effect: \"explode\" is not one of fail, wrong-echo"},
    {"unknown access", [](json& d) { Fault(d)["access"] = "read"; },
     "monitors[0].faults[0].access: \"read\" is not one of fixed-data"},
    {"first request 0", [](json& d) { Fault(d)["first"] = 0; },
     "monitors[0].faults[0].first: expected 1 or more"},
    {"success status for a failure", [](json& d) { Fault(d)["status"] = 0; },
     "monitors[0].faults[0].status: expected a negative 32-bit status"},
    {"status below 32 bits", [](json& d) { Fault(d)["status"] = -2147483649ll; },
     "monitors[0].faults[0].status: expected a negative 32-bit status"},
    {"status with another effect",
     [](json& d) {
         Fault(d)["effect"] = "drop-off";
         Fault(d)["status"] = -1;
     },
     "monitors[0].faults[0].status: only used with effect \"fail\""},
    {"absence with another effect", [](json& d) { Fault(d)["absentMs"] = 100; },
     "monitors[0].faults[0].absentMs: only used with effect \"drop-off\""},
    {"boots on a files monitor", [](json& d) { Monitor(d, 0)["devices"][0]["boots"] = false; },
     "monitors[0].devices[0].boots: not used by files monitors"},
    {"boots not a boolean", [](json& d) { Monitor(d, 1)["devices"][0]["boots"] = 0; },
     "monitors[1].devices[0].boots: expected true or false"},
    {"usage star with more", [](json& d) { Fault(d)["usage"] = "*/FE"; },
     "monitors[0].faults[0].usage: expected a usage such as"},
    {"absence with a power cut",
     [](json& d) {
         Fault(d)["effect"] = "power-cut";
         Fault(d)["absentMs"] = 100;
     },
     "monitors[0].faults[0].absentMs: only used with effect \"drop-off\""},
    {"state file not a string", [](json& d) { d["stateFile"] = 5; },
     "stateFile: expected a non-empty path"},
};

INSTANTIATE_TEST_SUITE_P(SimConfig, SimConfigBadInput, testing::ValuesIn(kBadCases));

TEST(SimConfig, TextThatIsNotAUsableDocumentIsRefused) {
    EXPECT_NE(ParseError("{ \"monitors\": [ ").find("not valid JSON"), std::string::npos);
    EXPECT_NE(ParseError("[]").find("expected an object"), std::string::npos);
    // The JSON reader would keep the second value; a description saying a thing twice is a
    // mistake.
    EXPECT_NE(
        ParseError(R"({ "monitors": [ { "product": "A", "serial": "S1", "serial": "S2" } ] })")
            .find("serial: member given twice"),
        std::string::npos);
}

TEST(SimConfig, EveryJsonMemberIsReadIntoTheMonitor) {
    json description = json::parse(R"({
      "stateFile": "state/monitors.json",
      "monitors": [
        { "product": "Every Member", "serial": "ALL00001", "kind": "legacy",
          "serialReportLength": 30, "latencyUs": 11, "restartMs": 12, "crcBusyMs": 13,
          "deviceNameRecordSize": 14, "flashSize": 131072, "pageProgramUs": 15,
          "sectorEraseMs": 16, "blockEraseMs": 17, "statusWriteMs": 18, "zvEraseMs": 19,
          "zvChecksumMsPerBlock": 20, "zvInfoReportLength": 21, "mstarPowerCycleMs": 22,
          "devices": [ { "id": 1536, "name": "FPGA", "fileName": "AIC904", "recordSize": 4096,
                         "recordCount": 3, "version": 266, "displayOrder": 7,
                         "hexVersion": true, "versionText": "1.0A", "address": 65536,
                         "flagAddress": 4096, "updateFlagIndex": 5 } ],
          "files": [ { "name": "LOG000", "recordSize": 2, "recordCount": 3,
                       "content": "00fFa5" } ],
          "withoutUsages": [ "ff02/110", "FF00/0F" ],
          "faults": [
            { "usage": "FF02/FE", "access": "set-array", "first": 3, "count": 0,
              "effect": "fail", "status": -7 },
            { "usage": "FF01/122", "effect": "drop-off", "absentMs": 4000 },
            { "usage": "FF02/FC", "access": "get-array", "effect": "corrupt-crc" } ] }
      ]
    })");
    SimConfig config = SimConfig::parse(description.dump(), "/lab");
    EXPECT_EQ(config.stateFile, "/lab/state/monitors.json");
    ASSERT_EQ(config.monitors.size(), 1u);
    const MonitorDescription& m = config.monitors[0];
    EXPECT_EQ(m.product, "Every Member");
    EXPECT_EQ(m.serial, "ALL00001");
    EXPECT_EQ(m.kind, MonitorKind::Legacy);
    EXPECT_EQ(m.serialReportLength, 30u);
    EXPECT_EQ(m.latencyUs, 11u);
    EXPECT_EQ(m.restartMs, 12u);
    EXPECT_EQ(m.crcBusyMs, 13u);
    EXPECT_EQ(m.deviceNameRecordSize, 14u);
    EXPECT_EQ(m.flashSize, 131072u);
    EXPECT_EQ(m.pageProgramUs, 15u);
    EXPECT_EQ(m.sectorEraseMs, 16u);
    EXPECT_EQ(m.blockEraseMs, 17u);
    EXPECT_EQ(m.statusWriteMs, 18u);
    EXPECT_EQ(m.zvEraseMs, 19u);
    EXPECT_EQ(m.zvChecksumMsPerBlock, 20u);
    EXPECT_EQ(m.zvInfoReportLength, 21u);
    EXPECT_EQ(m.mstarPowerCycleMs, 22u);

    ASSERT_EQ(m.devices.size(), 1u);
    const DeviceDescription& d = m.devices[0];
    EXPECT_EQ(d.id, 1536u);
    EXPECT_EQ(d.name, "FPGA");
    EXPECT_EQ(d.fileName, "AIC904");
    EXPECT_EQ(d.recordSize, 4096);
    EXPECT_EQ(d.recordCount, 3);
    EXPECT_EQ(d.version, 266u);
    EXPECT_EQ(d.displayOrder, 7u);
    EXPECT_TRUE(d.hexVersion);
    EXPECT_EQ(d.versionText, "1.0A");
    EXPECT_EQ(d.address, 65536u);
    EXPECT_EQ(d.flagAddress, 4096u);
    EXPECT_EQ(d.updateFlagIndex, 5);

    ASSERT_EQ(m.files.size(), 1u);
    EXPECT_EQ(m.files[0].name, "LOG000");
    EXPECT_EQ(m.files[0].recordSize, 2);
    EXPECT_EQ(m.files[0].recordCount, 3);
    EXPECT_EQ(m.files[0].content, (std::vector<uint8_t>{0x00, 0xFF, 0xA5}));

    ASSERT_EQ(m.withoutUsages.size(), 2u);
    EXPECT_EQ(m.withoutUsages[0].page, 0xFF02);
    EXPECT_EQ(m.withoutUsages[0].usage, 0x110);
    EXPECT_EQ(m.withoutUsages[1].page, 0xFF00);
    EXPECT_EQ(m.withoutUsages[1].usage, 0x0F);

    ASSERT_EQ(m.faults.size(), 3u);
    const FaultRule& fail = m.faults[0];
    EXPECT_EQ(fail.page, 0xFF02);
    EXPECT_EQ(fail.usage, 0xFE);
    EXPECT_FALSE(fail.anyAccess);
    EXPECT_EQ(fail.access, Access::SetArray);
    EXPECT_EQ(fail.first, 3u);
    EXPECT_EQ(fail.count, 0u);
    EXPECT_EQ(fail.effect, FaultEffect::Fail);
    EXPECT_EQ(fail.status, -7);
    const FaultRule& drop = m.faults[1];
    EXPECT_EQ(drop.usage, 0x122);
    EXPECT_TRUE(drop.anyAccess);
    EXPECT_EQ(drop.effect, FaultEffect::DropOff);
    EXPECT_EQ(drop.absentMs, 4000u);
    EXPECT_EQ(drop.first, 1u);
    EXPECT_EQ(drop.count, 1u);
    EXPECT_EQ(m.faults[2].access, Access::GetArray);
    EXPECT_EQ(m.faults[2].effect, FaultEffect::CorruptCrc);
}

// A scaler that starts without bootable firmware, and a power cut counted over every request.
TEST(SimConfig, BootAndPowerCutMembersAreRead) {
    SimConfig config = SimConfig::parse(R"({ "monitors": [
        { "product": "Scaler", "serial": "S1", "kind": "mstar",
          "devices": [ { "id": 256, "address": 0, "flagAddress": 1040384, "boots": false },
                       { "id": 1024, "address": 524288 } ],
          "faults": [ { "usage": "*", "first": 700, "effect": "power-cut" } ] } ] })",
                                        "/lab");
    const MonitorDescription& m = config.monitors.at(0);
    EXPECT_FALSE(m.devices.at(0).boots);
    EXPECT_TRUE(m.devices.at(1).boots);
    ASSERT_EQ(m.faults.size(), 1u);
    EXPECT_TRUE(m.faults[0].anyUsage);
    EXPECT_EQ(m.faults[0].first, 700u);
    EXPECT_EQ(m.faults[0].effect, FaultEffect::PowerCut);
}

TEST(SimConfig, AbsentMembersTakeTheDefaultsOfAFreshDescription) {
    SimConfig config = SimConfig::parse(
        R"({ "monitors": [ { "product": "Minimal", "serial": "MIN1",
                             "devices": [ { "id": 0, "fileName": "SCL000" } ] } ] })",
        "/lab");
    EXPECT_TRUE(config.stateFile.empty());
    const MonitorDescription& m = config.monitors.at(0);
    const MonitorDescription defaults;
    EXPECT_EQ(m.kind, defaults.kind);
    EXPECT_EQ(m.serialReportLength, defaults.serialReportLength);
    EXPECT_EQ(m.restartMs, defaults.restartMs);
    EXPECT_EQ(m.flashSize, defaults.flashSize);
    EXPECT_EQ(m.mstarPowerCycleMs, defaults.mstarPowerCycleMs);
    EXPECT_EQ(m.zvInfoReportLength, defaults.zvInfoReportLength);
    const DeviceDescription device;
    EXPECT_EQ(m.devices.at(0).recordSize, device.recordSize);
    EXPECT_EQ(m.devices.at(0).recordCount, device.recordCount);
    EXPECT_EQ(m.devices.at(0).displayOrder, device.displayOrder);
    // An absolute state file is kept as it is.
    EXPECT_EQ(
        SimConfig::parse(R"({ "monitors": [], "stateFile": "/run/x.json" })", "/lab").stateFile,
        "/run/x.json");
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SimConfig, DocumentedExampleParsesAndIsTheOneInTheDocument) {
    const std::string docs = std::string(SCREENIO_SOURCE_DIR) + "/docs";
    std::string example = ReadText(docs + "/simulator-example.json");
    ASSERT_FALSE(example.empty());
    // The document shows the file verbatim, so readers copy what the tests check.
    EXPECT_NE(ReadText(docs + "/simulator.md").find("```json\n" + example + "```"),
              std::string::npos);

    SimConfig config = SimConfig::load(docs + "/simulator-example.json");
    EXPECT_EQ(config.stateFile, docs + "/lab-monitors.state.json");
    ASSERT_EQ(config.monitors.size(), 4u);
    std::set<MonitorKind> kinds;
    for (const MonitorDescription& monitor : config.monitors) kinds.insert(monitor.kind);
    EXPECT_EQ(kinds.size(), 4u);
}

TEST(SimConfig, LoadNamesTheFileItCannotUse) {
    std::string missing = testing::TempDir() + "/no-such-description.json";
    try {
        SimConfig::load(missing);
        FAIL() << "loaded a missing file";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
    }
    try {
        SimConfig::load(testing::TempDir());
        FAIL() << "loaded a folder";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("folder"), std::string::npos) << error.what();
    }
}

// The built-in set must offer one monitor of each update kind, with what an update needs.
TEST(SimConfigDemoSet, OffersOneUsableMonitorOfEachKind) {
    SimConfig config = DemoSet::config();
    ASSERT_GE(config.monitors.size(), 4u);
    std::set<std::string> products, serials;
    std::set<MonitorKind> kinds;
    for (const MonitorDescription& monitor : config.monitors) {
        SCOPED_TRACE(monitor.serial);
        products.insert(monitor.product);
        serials.insert(monitor.serial);
        kinds.insert(monitor.kind);
        EXPECT_LE(monitor.product.size(), 16u);
        EXPECT_EQ(monitor.serial.size(), 8u);
        EXPECT_GE(monitor.restartMs, 1000u);
        EXPECT_LE(monitor.restartMs, 10000u);
        EXPECT_FALSE(monitor.devices.empty());
        if (monitor.kind == MonitorKind::MStar || monitor.kind == MonitorKind::ZV) {
            EXPECT_GE(monitor.flashSize, 0x100000u);
            for (const DeviceDescription& device : monitor.devices) {
                EXPECT_EQ(device.address % 0x10000, 0u) << device.name;
                EXPECT_LT(device.address, monitor.flashSize) << device.name;
            }
        }
        if (monitor.kind == MonitorKind::MStar) {
            EXPECT_GT(monitor.mstarPowerCycleMs, 0u);
        }
        if (monitor.kind == MonitorKind::Files || monitor.kind == MonitorKind::Legacy) {
            for (const DeviceDescription& device : monitor.devices) {
                EXPECT_EQ(device.fileName.size(), 6u) << device.name;
                EXPECT_GE(device.recordSize, 512) << device.name;
                EXPECT_LE(device.recordSize, 4096) << device.name;
                EXPECT_GE(device.recordCount, 2) << device.name;
            }
        }
        if (monitor.kind == MonitorKind::Files) {
            size_t hidden = 0;
            for (size_t i = 0; i < monitor.devices.size(); ++i) {
                EXPECT_EQ(monitor.devices[i].id, i);  // the record index in the device files
                hidden += monitor.devices[i].displayOrder == 0;
            }
            EXPECT_GE(hidden, 1u);
            EXPECT_GE(monitor.devices.size() - hidden, 2u);
        }
    }
    EXPECT_EQ(products.size(), config.monitors.size());
    EXPECT_EQ(serials.size(), config.monitors.size());
    EXPECT_EQ(kinds, (std::set<MonitorKind>{MonitorKind::Files, MonitorKind::Legacy,
                                            MonitorKind::MStar, MonitorKind::ZV}));
}

TEST(SimConfigDemoSet, KeepsItsStateInTheUsersRuntimeFolder) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string restore = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(DemoSet::stateFilePath(), "/run/user/4242/screenio-demo.json");
    EXPECT_EQ(DemoSet::config().stateFile, "/run/user/4242/screenio-demo.json");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(DemoSet::stateFilePath(), "/tmp/screenio-demo-" + std::to_string(getuid()) + ".json");
    if (saved) setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

}  // namespace
}  // namespace screenio::sim
