// SPDX-License-Identifier: Apache-2.0
// The flash array both flash models keep their contents in.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SparseMemory.h"

namespace screenio::sim {
namespace {

TEST(SparseMemory, ProgramsAcrossSectorsErasesPartlyAndSavesOnlyWhatIsNotErased) {
    SparseMemory memory(0x10000);
    const std::vector<uint8_t> bytes(0x30, 0x5A);
    memory.program(0x0FF0, bytes.data(), bytes.size());  // crosses into the second sector
    memory.program(0x0FF0, std::vector<uint8_t>(1, 0xF0).data(), 1);
    EXPECT_EQ(memory.at(0x0FF0), 0x50) << "programming only clears bits";
    EXPECT_EQ(memory.at(0x101F), 0x5A);
    EXPECT_EQ(memory.at(0x1020), 0xFF);
    EXPECT_EQ(memory.save().size(), 2u);
    EXPECT_EQ(memory.byteSum(0x0FF0, 0x31), 0x50u + 0x2Fu * 0x5Au + 0xFFu);

    memory.erase(0x0F00, 0x1000);
    EXPECT_EQ(memory.save().size(), 1u) << "an erased sector takes no room";
    EXPECT_EQ(memory.read(0x0FFE, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0x5A, 0x5A}));

    const SparseMemory copy = SparseMemory::restore(0x10000, memory.save());
    EXPECT_EQ(copy.read(0, 0x10000), memory.read(0, 0x10000));
    EXPECT_EQ(memory.read(0xFFFE, 4), std::vector<uint8_t>(4, 0xFF))
        << "beyond the end reads erased";
}

TEST(SparseMemory, RefusesBytesOutsideTheArray) {
    SparseMemory memory(0x2000);
    const std::vector<uint8_t> bytes(16, 0);
    EXPECT_THROW(memory.program(0x1FF8, bytes.data(), bytes.size()), std::out_of_range);
    EXPECT_THROW(memory.load(0xFFFFFFF8u, bytes.data(), bytes.size()), std::out_of_range);
    EXPECT_THROW(SparseMemory::restore(
                     0x2000, nlohmann::json::array({{{"address", 0x1FF0},
                                                     {"data", "AAAAAAAAAAAAAAAAAAAAAAAAAAAA"}}})),
                 std::runtime_error);
    memory.erase(0x1000, 0xFFFFFFFF);  // cut to the size
    EXPECT_EQ(memory.read(0x1FF8, 8), std::vector<uint8_t>(8, 0xFF));
}

}  // namespace
}  // namespace screenio::sim
