#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;

TEST(ProcessTest, ProgramsStartFromPathOrFolder)
{
    EXPECT_EQ(PlatformRunProcess("true", ""), 0);
    EXPECT_EQ(PlatformRunProcess("false", nullptr), 1);
    EXPECT_EQ(PlatformRunProcess("touch", "with space.txt"), 0);
    EXPECT_TRUE(fs::exists("with space.txt"));  // the rest is one argument
    EXPECT_EQ(PlatformRunProcess("no_such_program_kzv", ""), -1);
    EXPECT_EQ(PlatformRunProcess("./missing_here", ""), -1);
    EXPECT_EQ(PlatformStartProcess("", ""), -1);

    EXPECT_EQ(PlatformStartProcess("touch", "later.txt"), 0);
    for (int i = 0; i < 400 && !fs::exists("later.txt"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(fs::exists("later.txt"));
    PlatformReapChildren();
}

}  // namespace
