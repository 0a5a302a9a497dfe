// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LegacyImage.h"
#include "core/OutputByteStream.h"
#include "libflashkit/package/TestPackage.h"
#include "package/v1/KfwFile.h"

namespace fwu::kfw::v1 {
namespace {

using namespace test::pkg;
using namespace test::v1img;

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
    size_t bundles;
    size_t actions;
};

std::vector<uint8_t> writeLegacy(KfwFile& file) {
    OutputByteStream out;
    file.serialize(&out, FWSerializeOptionLegacy);
    return out.bytes();
}

// Small legacy files of different shapes, written by the library. They start the legacy
// fuzzer off (FLASHKIT_V1_SEED_DIR names the folder to put them in) and, loaded back here,
// show that each shape survives a round trip.
std::vector<Seed> makeSeeds() {
    std::vector<Seed> seeds;
    {
        KfwFile file;
        file.products().push_back("EMPTY");
        seeds.push_back({"no-units", writeLegacy(file), 0, 0});
    }
    {
        KfwFile file;
        file.products().push_back("ONE");
        file.targetVersion() = makeVersions({{0x100, 2}});
        const Blob* blob = file.registerBlob(makeBlob({1, 2, 3}));
        const Action* action = file.registerAction(makeTransfer(blob->id(), "PRG000", 10));
        file.registerBundle(makeBundle({action->id()}, {{0x100, 1, Version::OperatorEqual}}));
        seeds.push_back({"one-item", writeLegacy(file), 1, 1});
    }
    {
        KfwFile file;
        file.products().push_back("EVERY-TAG-16CHAR");
        file.targetVersion() =
            makeVersions({{0x100, 11}, {0x101, 22}, {0x500, 33}, {0x400, 44}, {0x600, 55}});
        std::vector<Uuid> actions;
        const char* names[] = {"PRG000", "PRG001", "INP027", "AIC653", "AIC904"};
        for (uint8_t i = 0; i < 5; ++i) {
            const Blob* blob = file.registerBlob(makeBlob(std::vector<uint8_t>(17 * (i + 1), i)));
            actions.push_back(file.registerAction(makeTransfer(blob->id(), names[i], i))->id());
        }
        file.registerBundle(makeBundle(actions, {{0x100, 10, Version::OperatorEqual}}));
        file.registerBundle(
            makeBundle({actions[0], actions[4]}, {{0x600, 54, Version::OperatorEqual}}));
        file.registerBundle(makeBundle({}, {{0x101, 21, Version::OperatorEqual}}));
        seeds.push_back({"every-tag", writeLegacy(file), 3, 5});
    }
    {
        KfwFile file;
        file.products().push_back("FULL-UNIT");
        const Blob* blob = file.registerBlob(makeBlob({0xAB, 0xCD}));
        std::vector<Uuid> actions;
        for (uint32_t i = 0; i < 20; ++i)
            actions.push_back(file.registerAction(makeTransfer(blob->id(), "PRG001", i))->id());
        file.registerBundle(makeBundle(actions));
        seeds.push_back({"twenty-items", writeLegacy(file), 1, 20});
    }
    {
        ImageDescription description;
        description.fileTag = 0x0010;
        description.product = "OLD";
        description.targetVersions = "00001000020000300004"
                                     "00005";
        description.units = {unit("00001000000000000000"
                                  "00000",
                                  {item(4, 3, {9, 9, 9})})};
        seeds.push_back({"old-file-tag", seal(plainImage(description)), 1, 1});
    }
    return seeds;
}

TEST(V1FuzzSeeds, SeedsLoadBackAndAreWrittenOnRequest) {
    const char* folder = std::getenv("FLASHKIT_V1_SEED_DIR");
    for (const Seed& seed : makeSeeds()) {
        KfwFile loaded;
        ASSERT_NO_THROW(parse(loaded, seed.bytes)) << seed.name;
        EXPECT_EQ(loaded.size(), seed.bundles) << seed.name;
        EXPECT_EQ(loaded.actions().size(), seed.actions) << seed.name;
        if (!folder || !*folder) continue;
        // The fuzzer reads each input both as a file and as a plain image, so give it both.
        const std::pair<const char*, std::vector<uint8_t>> forms[] = {
            {".kfw", seed.bytes}, {".plain", unseal(seed.bytes)}};
        for (const auto& form : forms) {
            std::ofstream out(std::string(folder) + "/" + seed.name + form.first, std::ios::binary);
            out.write(reinterpret_cast<const char*>(form.second.data()),
                      static_cast<std::streamsize>(form.second.size()));
            EXPECT_TRUE(out.good()) << seed.name << form.first;
        }
    }
}

}  // namespace
}  // namespace fwu::kfw::v1
