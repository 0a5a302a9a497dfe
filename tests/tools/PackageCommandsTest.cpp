// SPDX-License-Identifier: Apache-2.0
// info, pack and unpack, run as a user runs them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/ToolRunner.h"

namespace flashkit::test {
namespace {

using nlohmann::json;

constexpr int kExitPackage = 3;

// SHA-256 of the two fixture images, computed independently of the tool.
const char kScalerHash[] = "e8ca4bf83f56152c01649f88bd7c91b15ae8137d9a709572e04fae55894ea75e";
const char kHubHash[] = "9a5670771141349931d69d6eb982faa01def544dc17a161ef83b3277fb7c0c3c";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class PackageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/flashkit-pkg-XXXXXX";
        m_dir = mkdtemp(pattern);
        std::system(("mkdir -p '" + m_dir + "/src/images'").c_str());
        std::string scaler;
        for (int i = 0; i < 3000; ++i) scaler += char(i % 251);
        write("src/images/scaler.bin", scaler);
        write("src/images/hub.bin", std::string(1000, 'B'));
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    // Two images, three actions (one image sent twice) and two bundles with conditions.
    static json GoodManifest() {
        return json::parse(R"({
          "products": ["Demo V27Q", "Demo V27*"],
          "targetVersions": [{"device": 0, "version": 110}, {"device": "0x1", "version": "0xD7"}],
          "estimatedTimeMargin": 45,
          "blobs": [{"name": "scaler", "path": "images/scaler.bin"},
                    {"name": "hub", "path": "images/hub.bin"}],
          "actions": [
            {"name": "s", "type": "TransferData", "blob": "scaler", "fileName": "SCL000", "estimatedTime": 40},
            {"name": "h", "type": "TransferData", "blob": "hub", "fileName": "HUB000", "estimatedTime": 15},
            {"name": "h-again", "type": "TransferData", "blob": "hub", "fileName": "HUB001"}
          ],
          "bundles": [
            {"name": "full", "actions": ["s", "h"],
             "conditions": [{"device": 0, "version": 110, "comparison": "lt"}], "estimatedTime": 90},
            {"name": "hub-only", "actions": ["h", "h-again"],
             "conditions": [{"device": 0, "version": 110, "comparison": "ge"},
                            {"device": 1, "version": 215, "comparison": "<"}]}
          ]
        })");
    }

    // Flash-address actions, which take another package format.
    static json ZvManifest() {
        return json::parse(R"({
          "products": ["Demo V34W"],
          "targetVersions": [{"device": 256, "version": 121}],
          "blobs": [{"name": "scaler", "path": "images/scaler.bin"}],
          "actions": [{"name": "z", "type": "TransferZVData", "blob": "scaler", "address": "0x100000",
                       "estimatedTime": 12}],
          "bundles": [{"name": "b", "actions": ["z"], "conditions": []}]
        })");
    }

    std::string writeManifest(const json& manifest,
                              const std::string& name = "src/manifest.json") const {
        write(name, manifest.dump(2));
        return path(name);
    }

    std::string m_dir;
};

TEST_F(PackageCommands, UnpackThenPackGivesTheSameCanonicalBytes) {
    for (const json& manifest : {GoodManifest(), ZvManifest()}) {
        SCOPED_TRACE(manifest.dump());
        const std::string source = writeManifest(manifest);
        ASSERT_EQ(RunTool({"pack", source, "-o", path("first.kfw2"), "--canonical"}).exitCode, 0);
        // The canonical form is for comparison only; unpack reads the ordinary form.
        const ToolResult packed = RunTool({"pack", source, "-o", path("package.kfw2")});
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
        std::system(("rm -rf '" + path("out") + "'").c_str());
        const ToolResult unpacked = RunTool({"unpack", path("package.kfw2"), "-o", path("out")});
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
        const ToolResult repacked =
            RunTool({"pack", path("out/manifest.json"), "-o", path("second.kfw2"), "--canonical"});
        ASSERT_EQ(repacked.exitCode, 0) << repacked.err;

        const std::string first = ReadBytes(path("first.kfw2")),
                          second = ReadBytes(path("second.kfw2"));
        ASSERT_GT(first.size(), 3000u);
        EXPECT_TRUE(first == second) << "canonical packages differ after unpack and pack";
        EXPECT_TRUE(ReadBytes(path("out/images/scaler.bin")) ==
                    ReadBytes(path("src/images/scaler.bin")));
    }
}

TEST_F(PackageCommands, UnpackRefusesAFolderThatIsNotEmptyUnlessForced) {
    ASSERT_EQ(RunTool({"pack", writeManifest(GoodManifest()), "-o", path("p.kfw2")}).exitCode, 0);
    write("busy", "");  // m_dir itself now holds files
    const ToolResult refused = RunTool({"unpack", path("p.kfw2"), "-o", m_dir});
    EXPECT_EQ(refused.exitCode, kExitPackage);
    EXPECT_NE(refused.err.find("not empty"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;

    const ToolResult forced = RunTool({"unpack", path("p.kfw2"), "-o", m_dir, "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(ReadBytes(path("images/hub.bin")) == std::string(1000, 'B'));
}

TEST_F(PackageCommands, InfoShowsNamesSizesHashesAndBundles) {
    ASSERT_EQ(RunTool({"pack", writeManifest(GoodManifest()), "-o", path("p.kfw2")}).exitCode, 0);
    const ToolResult info = RunTool({"info", path("p.kfw2")});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const std::string& expected :
         {std::string("Demo V27Q, Demo V27*"), std::string("45 s"),
          "scaler        3000  " + std::string(kScalerHash),
          "hub           1000  " + std::string(kHubHash), std::string("scaler -> SCL000"),
          std::string("hub -> HUB001"), std::string("version 0xD7 (215)"),
          std::string("device 0x0 (0) >= 0x6E (110) and device 0x1 (1) < 0xD7 (215)")})
        EXPECT_NE(info.out.find(expected), std::string::npos) << "missing: " << expected << "\n"
                                                              << info.out;
}

TEST_F(PackageCommands, InfoJsonCarriesThePackageContent) {
    ASSERT_EQ(RunTool({"pack", writeManifest(GoodManifest()), "-o", path("p.kfw2")}).exitCode, 0);
    const ToolResult info = RunTool({"info", path("p.kfw2"), "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    ASSERT_EQ(std::count(info.out.begin(), info.out.end(), '\n'), 1) << info.out;
    const json result = json::parse(info.out);
    EXPECT_EQ(result["result"], "ok");
    const json& package = result["package"];
    EXPECT_EQ(package["products"], json({"Demo V27Q", "Demo V27*"}));
    EXPECT_EQ(package["estimatedTimeMargin"], 45);
    EXPECT_EQ(package["version"],
              json::parse(R"([{"device":0,"version":110},{"device":1,"version":215}])"));
    ASSERT_EQ(package["blobs"].size(), 2u);
    std::map<std::string, json> blobs;
    for (const json& blob : package["blobs"]) blobs[blob["id"]] = blob;
    ASSERT_EQ(package["actions"].size(), 3u);
    const json& hubAgain = package["actions"][2];
    EXPECT_EQ(hubAgain["fileName"], "HUB001");
    EXPECT_EQ(hubAgain["estimatedTime"], 0);
    const json& hub = blobs.at(hubAgain["blob"]);
    EXPECT_EQ(hub["name"], "hub");
    EXPECT_EQ(hub["byteSize"], 1000);
    EXPECT_EQ(hub["hash"], kHubHash);
    // Both bundles name the hub action: the same identifier, not two copies.
    ASSERT_EQ(package["bundles"].size(), 2u);
    EXPECT_EQ(package["bundles"][0]["actions"][1], package["actions"][1]["id"]);
    EXPECT_EQ(package["bundles"][1]["actions"][0], package["actions"][1]["id"]);
    EXPECT_EQ(package["bundles"][0]["estimatedTime"], 90);
    EXPECT_EQ(package["bundles"][1]["conditions"][1]["comparison"], "lt");
}

TEST_F(PackageCommands, BadManifestsAreRefusedByMember) {
    struct Case {
        const char* what;
        std::string manifest;  // written as text, so malformed JSON can be given
        std::vector<std::string> expected;
    };
    auto edited = [](auto edit) {
        json manifest = GoodManifest();
        edit(manifest);
        return manifest.dump();
    };
    const Case cases[] = {
        {"unknown blob name",
         edited([](json& m) { m["actions"][1]["blob"] = "hubb"; }),
         {"actions[1] \"h\".blob", "no blob is named \"hubb\""}},
        {"unknown action name",
         edited([](json& m) { m["bundles"][0]["actions"][1] = "x"; }),
         {"bundles[0] \"full\".actions[1]", "no action is named \"x\""}},
        {"missing image file",
         edited([](json& m) { m["blobs"][1]["path"] = "images/gone.bin"; }),
         {"blobs[1] \"hub\".path", "gone.bin does not exist"}},
        {"duplicate blob name",
         edited([](json& m) { m["blobs"][1]["name"] = "scaler"; }),
         {"blobs[1] \"scaler\"", "duplicate blob name (also blobs[0])"}},
        {"duplicate action name",
         edited([](json& m) { m["actions"][2]["name"] = "s"; }),
         {"actions[2] \"s\"", "duplicate action name"}},
        {"malformed JSON", R"({"products": ["Demo V27Q",]})", {"not valid JSON", "line 1"}},
        {"number beyond a double",
         R"({"estimatedTimeMargin": 1e999})",
         {"not valid JSON", "number overflow"}},
        {"unknown top-level member",
         edited([](json& m) { m["bundle"] = json::array(); }),
         {"the top level", "unknown member \"bundle\""}},
        {"unknown member of an action",
         edited([](json& m) { m["actions"][0]["adress"] = 1; }),
         {"actions[0] \"s\" (TransferData)", "unknown member \"adress\""}},
        {"unknown action type",
         edited([](json& m) { m["actions"][0]["type"] = "Transfer"; }),
         {"actions[0] \"s\".type", "unknown action type \"Transfer\""}},
        {"missing file name",
         edited([](json& m) { m["actions"][0].erase("fileName"); }),
         {"actions[0] \"s\"", "member \"fileName\" is missing"}},
        {"bad comparison",
         edited([](json& m) { m["bundles"][0]["conditions"][0]["comparison"] = "less"; }),
         {"bundles[0] \"full\".conditions[0].comparison", "unknown comparison \"less\""}},
        {"negative version",
         edited([](json& m) { m["targetVersions"][0]["version"] = -1; }),
         {"targetVersions[0].version", "unsigned 32-bit"}},
        {"hex text out of range",
         edited([](json& m) { m["targetVersions"][0]["device"] = "0x100000000"; }),
         {"targetVersions[0].device", "unsigned 32-bit"}},
        {"device profile the library refuses",
         edited([](json& m) {
             m["deviceProfile"] = {{"devices", 5}};
         }),
         {"deviceProfile", "the package refuses it"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("src/manifest.json", c.manifest);
        const ToolResult result =
            RunTool({"pack", path("src/manifest.json"), "-o", path("bad.kfw2")});
        EXPECT_EQ(result.exitCode, kExitPackage) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        for (const std::string& expected : c.expected)
            EXPECT_NE(result.err.find(expected), std::string::npos)
                << "missing: " << expected << "\n"
                << result.err;
        EXPECT_NE(access(path("bad.kfw2").c_str(), F_OK), 0) << "a refused manifest left a package";
    }
}

TEST_F(PackageCommands, MissingOrUnreadablePackagesFailAsPackageErrors) {
    write("junk.kfw2", "not a package at all, just text");
    ASSERT_EQ(RunTool({"pack", writeManifest(GoodManifest()), "-o", path("c.kfw2"), "--canonical"})
                  .exitCode,
              0);
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {{path("none.kfw2"), "no such file"},
                 {path("junk.kfw2"), "cannot open package"},
                 {path("c.kfw2"), "canonical (unencrypted) package"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"info", c.file}, {"unpack", c.file, "-o", path("u")}}) {
            const ToolResult result = RunTool(args);
            EXPECT_EQ(result.exitCode, kExitPackage);
            EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        }
    }
}

TEST_F(PackageCommands, LegacyPackagesOpenAsLegacy) {
    json manifest = json::parse(R"({
      "products": ["Demo V24F"],
      "targetVersions": [{"device": "0x100", "version": 106}],
      "blobs": [{"name": "main", "path": "images/scaler.bin"}],
      "actions": [{"name": "m", "type": "TransferData", "blob": "main", "fileName": "PRG000"}],
      "bundles": [{"name": "b", "actions": ["m"],
                   "conditions": [{"device": "0x100", "version": 105, "comparison": "eq"}]}]
    })");
    const std::string source = writeManifest(manifest);
    const ToolResult packed = RunTool({"pack", source, "-o", path("old.kfw"), "--legacy"});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    const ToolResult info = RunTool({"info", path("old.kfw")});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("(legacy)"), std::string::npos) << info.out;
    // The legacy format keeps no blob names; the bytes and the file name survive.
    EXPECT_NE(info.out.find("-> PRG000"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(std::string("3000  ") + kScalerHash), std::string::npos) << info.out;

    // Unpacking keeps the format, so packing the result needs no flag.
    ASSERT_EQ(RunTool({"unpack", path("old.kfw"), "-o", path("u")}).exitCode, 0);
    EXPECT_EQ(json::parse(ReadBytes(path("u/manifest.json")))["legacy"], true);
    ASSERT_EQ(RunTool({"pack", path("u/manifest.json"), "-o", path("again.kfw")}).exitCode, 0);
    EXPECT_NE(RunTool({"info", path("again.kfw")}).out.find("(legacy)"), std::string::npos);

    // The legacy format only knows the legacy devices' files.
    manifest["actions"][0]["fileName"] = "SCL000";
    const ToolResult refused =
        RunTool({"pack", writeManifest(manifest), "-o", path("x.kfw"), "--legacy"});
    EXPECT_EQ(refused.exitCode, kExitPackage);
    EXPECT_NE(refused.err.find("cannot write package"), std::string::npos) << refused.err;
    EXPECT_EQ(RunTool({"pack", source, "-o", path("x.kfw"), "--legacy", "--canonical"}).exitCode,
              2);
}

TEST_F(PackageCommands, DemoExamplePacks) {
    const std::string manifest = std::string(FLASHKIT_SOURCE_DIR) + "/examples/demo/manifest.json";
    const ToolResult packed = RunTool({"pack", manifest, "-o", path("demo.kfw2")});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    const ToolResult info = RunTool({"info", path("demo.kfw2"), "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const json package = json::parse(info.out)["package"];
    EXPECT_EQ(package["products"], json({"Demo V27Q"}));
    // Each image starts with the version the simulator installs, matching the target version.
    std::map<uint32_t, uint32_t> targets;
    for (const json& target : package["version"]) targets[target["device"]] = target["version"];
    const std::map<std::string, uint32_t> deviceOfFile = {
        {"SCL000", 0}, {"HUB000", 1}, {"PDC000", 2}};
    const std::map<std::string, size_t> recordOfFile = {
        {"SCL000", 4096}, {"HUB000", 1024}, {"PDC000", 2048}};
    ASSERT_EQ(package["actions"].size(), 3u);
    const json source = json::parse(ReadBytes(manifest));
    for (const json& blob : source["blobs"]) {
        const std::string bytes = ReadBytes(std::string(FLASHKIT_SOURCE_DIR) + "/examples/demo/" +
                                            blob["path"].get<std::string>());
        ASSERT_GE(bytes.size(), 8u);
        EXPECT_EQ(bytes.substr(0, 4), "SIMV");
        const uint32_t version = uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8 |
                                 uint8_t(bytes[6]) << 16 | uint32_t(uint8_t(bytes[7])) << 24;
        for (const json& action : source["actions"]) {
            if (action["blob"] != blob["name"]) continue;
            const std::string file = action["fileName"];
            EXPECT_EQ(version, targets.at(deviceOfFile.at(file))) << file;
            EXPECT_EQ(bytes.size() % recordOfFile.at(file), 0u) << file;
        }
    }
}

}  // namespace
}  // namespace flashkit::test
