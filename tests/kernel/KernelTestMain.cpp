// SPDX-License-Identifier: Apache-2.0
// The program the kernel test boots as the only process of its initramfs: the tests, then one
// result line that the host script looks for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const auto started = std::chrono::steady_clock::now();
    const int status = RUN_ALL_TESTS();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    if (status == 0 && unit.test_to_run_count() > 0) {
        std::printf("KERNEL-TEST PASS %d tests in %.1f s\n", unit.successful_test_count(), seconds);
        return 0;
    }
    std::string failed;
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        const ::testing::TestSuite& suite = *unit.GetTestSuite(i);
        for (int j = 0; j < suite.total_test_count(); ++j) {
            const ::testing::TestInfo& test = *suite.GetTestInfo(j);
            if (test.result()->Failed())
                failed +=
                    std::string(failed.empty() ? "" : ", ") + suite.name() + "." + test.name();
        }
    }
    std::printf("KERNEL-TEST FAIL %d of %d tests failed%s%s\n", unit.failed_test_count(),
                unit.test_to_run_count(), failed.empty() ? "" : ": ", failed.c_str());
    return 1;
}
