// The main of every unit-test program: GoogleTest with a listener that gives
// each test the settings, environment and working folder of a fresh process,
// so a test passes alone, in any order, and with the rest in one process.
#include "tests/support/fresh_state.h"

#include <gtest/gtest.h>

namespace {

class FreshStateListener : public ::testing::EmptyTestEventListener {
    void OnTestProgramStart(const ::testing::UnitTest&) override { RecordFreshProcessState(); }
    void OnTestStart(const ::testing::TestInfo&) override { RestoreFreshProcessState(); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStateListener);
    return RUN_ALL_TESTS();
}
