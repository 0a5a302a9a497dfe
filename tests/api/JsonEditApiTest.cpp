// SPDX-License-Identifier: Apache-2.0
// Building and editing packages with JSON text through the exported functions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "flashkit/flashkit.h"

namespace {

struct Released {
    void operator()(FWKfwFile* file) const { FWKfwFileRelease(file); }
    void operator()(FWUtf8String* text) const { FWUtf8StringRelease(text); }
    void operator()(FWDeviceProfile* profile) const { FWDeviceProfileRelease(profile); }
};
using Package = std::unique_ptr<FWKfwFile, Released>;
using Text = std::unique_ptr<FWUtf8String, Released>;
using Profile = std::unique_ptr<FWDeviceProfile, Released>;

class JsonEditApi : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/flashkit-json-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_image = m_dir + "/image.bin";
        std::ofstream(m_image, std::ios::binary) << "IMAGE-BYTES";
        m_package.reset(FWKfwFileCreateEmpty(false));
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string blobJson(const std::string& name) const {
        return R"({"name":")" + name + R"(","path":")" + m_image + R"("})";
    }
    std::string packageJson() const {
        Text text(FWUtf8StringCreateKfwFileJsonString(m_package.get()));
        return text ? FWUtf8StringGetCString(text.get()) : std::string("<null>");
    }
    static std::string uuidText(const FWUuid& id) {
        char text[37];
        FWUuidGetString(id, text);
        return text;
    }

    std::string m_dir, m_image;
    Package m_package;
};

TEST_F(JsonEditApi, EmptyPackageText) {
    EXPECT_EQ(
        packageJson(),
        R"({"actions":[],"blobs":[],"bundles":[],"estimatedTimeMargin":60,"kfw":{"version":[2,0]},)"
        R"("products":[],"version":[]})");
}

TEST_F(JsonEditApi, BuildsAPackageThatSelectsItsBundle) {
    FWKfwFile* file = m_package.get();
    ASSERT_TRUE(FWKfwFileUpdateMonitorProducts(file, R"(["MON-27*"])"));
    ASSERT_TRUE(FWKfwFileUpdateTargetVersion(file, R"([{"device":256,"version":6}])"));
    FWUuid blob{}, again{}, action{}, bundle{};
    ASSERT_TRUE(FWKfwFileRegisterBlob(file, blobJson("main").c_str(), &blob));
    // Equal content collapses onto the blob already held.
    ASSERT_TRUE(FWKfwFileRegisterBlob(file, blobJson("main").c_str(), &again));
    EXPECT_EQ(uuidText(blob), uuidText(again));
    const std::string actionJson = R"({"type":"TransferData","blob":")" + uuidText(blob) +
                                   R"(","fileName":"PRG000","estimatedTime":30})";
    ASSERT_TRUE(FWKfwFileRegisterAction(file, actionJson.c_str(), &action));
    const std::string bundleJson =
        R"({"actions":[")" + uuidText(action) +
        R"("],"conditions":[{"device":256,"version":5,"comparison":"eq"}]})";
    ASSERT_TRUE(FWKfwFileRegisterBundle(file, bundleJson.c_str(), &bundle));

    const FWDeviceVersion current[] = {{256, 5}};
    FWUuid selected{};
    EXPECT_TRUE(FWKfwFileGetBundleForDeviceVersion(file, current, 1, &selected));
    EXPECT_EQ(uuidText(selected), uuidText(bundle));
    EXPECT_TRUE(FWKfwFileSupportsMonitorProduct(file, "MON-27Q"));
    const std::string text = packageJson();
    EXPECT_NE(text.find(R"("blobs":[{"byteSize":11,)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("fileName":"PRG000")"), std::string::npos) << text;
}

TEST_F(JsonEditApi, RefusedEditsReturnFalseAndSayWhy) {
    FWKfwFile* file = m_package.get();
    FWUuid id{};
    struct Case {
        const char* name;
        bool (*call)(FWKfwFile*, const char*, FWUuid*);
        std::string json;
        const char* message;
    };
    const Case cases[] = {
        {"action without type", FWKfwFileRegisterAction, R"({"blob":"x"})",
         "Invalid action type, 0x00040003"},
        {"blob without path", FWKfwFileRegisterBlob, R"({"name":"n"})",
         "Json key is not found, 0x00030000"},
        {"blob with missing file", FWKfwFileRegisterBlob,
         R"({"name":"n","path":"/nonexistent/x.bin"})", "open failed, 0x00010001"},
        {"bundle with conditions not an array", FWKfwFileRegisterBundle,
         R"({"actions":[],"conditions":{}})", "Invlaid json type, 0x00030001"},
        {"not JSON at all", FWKfwFileRegisterBundle, "nonsense", "Invlaid json type, 0x00030001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.call(file, c.json.c_str(), &id));
        const char* message = nullptr;
        FWGetLastError(&message);
        EXPECT_STREQ(message, c.message);
    }
    EXPECT_EQ(packageJson().find(R"("actions":[])") != std::string::npos, true);
    EXPECT_FALSE(FWKfwFileRegisterBlob(nullptr, blobJson("a").c_str(), &id));
    EXPECT_FALSE(FWKfwFileRegisterBlob(file, nullptr, &id));
}

TEST_F(JsonEditApi, UpdateActionKeepsItsKind) {
    FWKfwFile* file = m_package.get();
    FWUuid blob{}, action{};
    ASSERT_TRUE(FWKfwFileRegisterBlob(file, blobJson("b").c_str(), &blob));
    const std::string zv =
        R"({"type":"TransferZVData","blob":")" + uuidText(blob) + R"(","address":4096})";
    ASSERT_TRUE(FWKfwFileRegisterAction(file, zv.c_str(), &action));
    const std::string before = packageJson();

    const std::string other =
        R"({"type":"TransferData","blob":")" + uuidText(blob) + R"(","fileName":"PRG000"})";
    EXPECT_FALSE(FWKfwFileUpdateAction(file, action, other.c_str()));
    EXPECT_EQ(packageJson(), before);

    const std::string moved =
        R"({"type":"TransferZVData","blob":")" + uuidText(blob) + R"(","address":8192})";
    EXPECT_TRUE(FWKfwFileUpdateAction(file, action, moved.c_str()));
    EXPECT_NE(packageJson().find(R"("address":8192)"), std::string::npos);
    EXPECT_FALSE(FWKfwFileUpdateAction(file, FWUuid{}, moved.c_str()));
}

TEST_F(JsonEditApi, OptionsAndTolerantText) {
    FWKfwFile* file = m_package.get();
    struct Case {
        const char* json;
        const char* margin;
    };
    const Case cases[] = {
        {R"({"estimatedTimeMargin": 90})", R"("estimatedTimeMargin":90)"},
        {R"({"estimatedTimeMargin": "7"})", R"("estimatedTimeMargin":90)"},
        {R"({"estimatedTimeMargin": -5})", R"("estimatedTimeMargin":0)"},
        {R"({"estimatedTimeMargin": 4294967296})", R"("estimatedTimeMargin":0)"},
        {"\xEF\xBB\xBF{\"estimatedTimeMargin\": 42} and words after",
         R"("estimatedTimeMargin":42)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_TRUE(FWKfwFileUpdateOptions(file, c.json));
        EXPECT_NE(packageJson().find(c.margin), std::string::npos) << packageJson();
    }
    EXPECT_TRUE(FWKfwFileUpdateMonitorProducts(file, "\xEF\xBB\xBF[\"A\",\"B\"] trailing"));
    EXPECT_NE(packageJson().find(R"("products":["A","B"])"), std::string::npos);
}

TEST_F(JsonEditApi, DeviceProfileFromTextAndBack) {
    FWDeviceProfile* raw = nullptr;
    const char* json =
        R"({"devices":[{"name":"Scaler","fileName":"PRG000","device":1,"versionRepresentation":1}],)"
        R"("displayDevices":[1]})";
    ASSERT_TRUE(FWDeviceProfileCreateFromJsonString(json, &raw));
    Profile profile(raw);
    Text text(FWUtf8StringCreateDeviceProfileJsonString(profile.get()));
    ASSERT_NE(text, nullptr);
    const std::string written = FWUtf8StringGetCString(text.get());
    EXPECT_NE(written.find(R"("displayDevices":[1])"), std::string::npos) << written;
    EXPECT_NE(written.find(R"("name":"Scaler")"), std::string::npos) << written;

    FWDeviceProfile* none = nullptr;
    EXPECT_FALSE(FWDeviceProfileCreateFromJsonString(R"({"devices":[]})", &none));
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(FWUtf8StringCreateDeviceProfileJsonString(nullptr), nullptr);
    EXPECT_EQ(FWUtf8StringGetCString(nullptr), nullptr);
    FWUtf8StringRelease(nullptr);
    FWDeviceProfileRelease(nullptr);
}

}  // namespace

namespace {

TEST_F(JsonEditApi, BlobBytesComeBackInTwoCalls) {
    FWUuid id{};
    ASSERT_TRUE(FWKfwFileRegisterBlob(m_package.get(), blobJson("image").c_str(), &id));
    unsigned int size = 0;
    ASSERT_TRUE(FWKfwFileCopyBlobData(m_package.get(), id, nullptr, &size));
    ASSERT_EQ(size, 11u);
    std::string bytes(size, '\0');
    ASSERT_TRUE(FWKfwFileCopyBlobData(m_package.get(), id,
                                      reinterpret_cast<unsigned char*>(&bytes[0]), &size));
    EXPECT_EQ(bytes, "IMAGE-BYTES");
    // A short buffer gets what fits, and the size says so.
    unsigned char head[5];
    size = sizeof head;
    ASSERT_TRUE(FWKfwFileCopyBlobData(m_package.get(), id, head, &size));
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 5), "IMAGE");

    EXPECT_FALSE(FWKfwFileCopyBlobData(m_package.get(), FWUuid{}, nullptr, &size));
    EXPECT_FALSE(FWKfwFileCopyBlobData(m_package.get(), id, nullptr, nullptr));
    EXPECT_FALSE(FWKfwFileCopyBlobData(nullptr, id, nullptr, &size));
}

}  // namespace
