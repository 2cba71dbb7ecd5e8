// The main of the test executables. A skipped case would otherwise pass
// unseen: when no case failed but some were skipped, the executable names
// them and exits with QUILLDEX_SKIPPED_EXIT_CODE, which CTest reports as a
// skipped test.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
    if (result != 0 || unit.skipped_test_count() == 0)
        return result;
    for (int s = 0; s < unit.total_test_suite_count(); ++s) {
        const testing::TestSuite& suite = *unit.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t) {
            const testing::TestInfo& test = *suite.GetTestInfo(t);
            if (!test.result()->Skipped())
                continue;
            std::printf("skipped: %s.%s", suite.name(), test.name());
            for (int p = 0; p < test.result()->total_part_count(); ++p)
                if (test.result()->GetTestPartResult(p).skipped())
                    std::printf(": %s", test.result()->GetTestPartResult(p).message());
            std::printf("\n");
        }
    }
    return QUILLDEX_SKIPPED_EXIT_CODE;
}
