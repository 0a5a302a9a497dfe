// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "core/HandleTable.h"

namespace screenio {
namespace {

class NamedDevice : public Device {
public:
    explicit NamedDevice(std::string name) : m_name(std::move(name)) {}
    KmError getFixedData(uint16_t, uint16_t, bool*, uint32_t*) override { return 0; }
    KmError getValue(uint16_t, uint16_t, int64_t*) override { return 0; }
    KmError setValue(uint16_t, uint16_t, int64_t) override { return 0; }
    KmError getArray(uint16_t, uint16_t, uint8_t*, uint32_t) override { return 0; }
    KmError setArray(uint16_t, uint16_t, const uint8_t*, uint32_t) override { return 0; }
    std::string describe() const override { return m_name; }

private:
    std::string m_name;
};

TEST(HandleTable, HandlesOfAnEarlierSearchAreRefusedNotRedirected) {
    HandleTable table;
    table.replace({std::make_shared<NamedDevice>("A"), std::make_shared<NamedDevice>("B")});
    void* first = table.handleFor(0);
    void* second = table.handleFor(1);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(table.lookup(second)->describe(), "B");
    EXPECT_EQ(table.handleFor(2), nullptr);

    // The same index in a new search is another monitor: the old handle must not reach it.
    table.replace({std::make_shared<NamedDevice>("C"), std::make_shared<NamedDevice>("D")});
    EXPECT_EQ(table.lookup(first), nullptr);
    EXPECT_EQ(table.lookup(table.handleFor(0))->describe(), "C");
    table.clear();
    EXPECT_EQ(table.lookup(second), nullptr);

    for (const void* junk : {static_cast<const void*>(nullptr), reinterpret_cast<const void*>(1),
                             reinterpret_cast<const void*>(~uintptr_t(0))})
        EXPECT_EQ(table.lookup(junk), nullptr);
}

}  // namespace
}  // namespace screenio
