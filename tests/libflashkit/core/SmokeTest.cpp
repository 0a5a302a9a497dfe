#include <gtest/gtest.h>
#include "core/Uuid.h"
TEST(Smoke, Uuid) { EXPECT_TRUE(fwu::Uuid().empty()); }
