// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "SleepInhibitor.h"

// Without a system bus (containers, systems without systemd) an update still runs: the inhibitor
// holds nothing and says why instead of failing.
TEST(SleepInhibitor, WithoutASystemBusItHoldsNothingAndSaysWhy) {
    const char* name = "DBUS_SYSTEM_BUS_ADDRESS";
    std::optional<std::string> old;
    if (const char* value = std::getenv(name)) old = value;
    ::setenv(name, "unix:path=/nonexistent/system_bus_socket", 1);
    {
        const flashkit::SleepInhibitor inhibitor;
        EXPECT_FALSE(inhibitor.held());
        EXPECT_NE(inhibitor.problem().find("the system bus is not reachable"), std::string::npos)
            << inhibitor.problem();
    }
    if (old)
        ::setenv(name, old->c_str(), 1);
    else
        ::unsetenv(name);
}
