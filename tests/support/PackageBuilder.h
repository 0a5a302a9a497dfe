// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "flashkit/flashkit.h"

namespace fwu::test {

// Builds a package the way a firmware engineer's tool does: through the exported JSON editing
// functions, with images written to files first. Every step is asserted.
class PackageBuilder {
public:
    struct Condition {
        uint32_t device;
        uint32_t version;
        const char* comparison;  // "eq", "lt", ...
    };

    PackageBuilder() : m_file(FWKfwFileCreateEmpty(false)) {
        char pattern[] = "/tmp/flashkit-package-XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    ~PackageBuilder() {
        FWKfwFileRelease(m_file);
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    PackageBuilder(const PackageBuilder&) = delete;
    PackageBuilder& operator=(const PackageBuilder&) = delete;

    FWKfwFile* get() const { return m_file; }

    PackageBuilder& products(const std::vector<std::string>& names) {
        std::string json = "[";
        for (size_t i = 0; i < names.size(); ++i) json += (i ? ",\"" : "\"") + names[i] + "\"";
        EXPECT_TRUE(FWKfwFileUpdateMonitorProducts(m_file, (json + "]").c_str()));
        return *this;
    }

    PackageBuilder& target(uint32_t device, uint32_t version) {
        m_targets += (m_targets.empty() ? "" : ",") + std::string("{\"device\":") +
                     std::to_string(device) + ",\"version\":" + std::to_string(version) + "}";
        EXPECT_TRUE(FWKfwFileUpdateTargetVersion(m_file, ("[" + m_targets + "]").c_str()));
        return *this;
    }

    PackageBuilder& profile(const std::string& json) {
        EXPECT_TRUE(FWKfwFileUpdateDeviceProfile(m_file, json.c_str()));
        return *this;
    }

    FWUuid blob(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = m_dir + "/" + name + ".bin";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return add(FWKfwFileRegisterBlob, "{\"name\":\"" + name + "\",\"path\":\"" + path + "\"}");
    }

    FWUuid transfer(FWUuid blob, const std::string& fileName, uint32_t seconds = 0) {
        return add(FWKfwFileRegisterAction,
                   action("TransferData", blob, seconds) + ",\"fileName\":\"" + fileName + "\"}");
    }
    FWUuid zvTransfer(FWUuid blob, uint32_t address, uint32_t seconds = 0) {
        return add(FWKfwFileRegisterAction, action("TransferZVData", blob, seconds) +
                                                ",\"address\":" + std::to_string(address) + "}");
    }
    FWUuid mstarTransfer(FWUuid blob, uint32_t address, uint32_t flagAddress,
                         uint32_t seconds = 0) {
        return add(FWKfwFileRegisterAction,
                   action("TransferMStarData", blob, seconds) +
                       ",\"address\":" + std::to_string(address) +
                       ",\"updateFlagAddress\":" + std::to_string(flagAddress) + "}");
    }

    FWUuid bundle(const std::vector<FWUuid>& actions, const std::vector<Condition>& conditions = {},
                  uint32_t seconds = 0) {
        std::string json = "{\"actions\":[";
        for (size_t i = 0; i < actions.size(); ++i)
            json += (i ? ",\"" : "\"") + Text(actions[i]) + "\"";
        json += "],\"conditions\":[";
        for (size_t i = 0; i < conditions.size(); ++i)
            json += std::string(i ? "," : "") +
                    "{\"device\":" + std::to_string(conditions[i].device) +
                    ",\"version\":" + std::to_string(conditions[i].version) + ",\"comparison\":\"" +
                    conditions[i].comparison + "\"}";
        return add(FWKfwFileRegisterBundle,
                   json + "],\"estimatedTime\":" + std::to_string(seconds) + "}");
    }

    // An image the simulated monitors install as `version`: "SIMV", the version, then a
    // pattern up to `size` bytes.
    static std::vector<uint8_t> Image(uint32_t version, size_t size, uint8_t seed = 1) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 13 + (i >> 9));
        const uint8_t head[8] = {'S',
                                 'I',
                                 'M',
                                 'V',
                                 uint8_t(version),
                                 uint8_t(version >> 8),
                                 uint8_t(version >> 16),
                                 uint8_t(version >> 24)};
        for (size_t i = 0; i < 8 && i < size; ++i) bytes[i] = head[i];
        return bytes;
    }

    static std::string Text(FWUuid id) {
        char text[37];
        FWUuidGetString(id, text);
        return text;
    }

private:
    static std::string action(const char* type, FWUuid blob, uint32_t seconds) {
        return std::string("{\"type\":\"") + type +
               "\",\"estimatedTime\":" + std::to_string(seconds) + ",\"blob\":\"" + Text(blob) +
               "\"";
    }

    template <typename Register> FWUuid add(Register reg, const std::string& json) {
        FWUuid id{};
        EXPECT_TRUE(reg(m_file, json.c_str(), &id)) << json << ": " << LastError();
        return id;
    }

    static std::string LastError() {
        const char* message = nullptr;
        FWGetLastError(&message);
        return message ? message : "";
    }

    FWKfwFile* m_file;
    std::string m_dir;
    std::string m_targets;
};

}  // namespace fwu::test
