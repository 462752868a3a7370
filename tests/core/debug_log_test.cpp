#include "core/debug_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

// 8 December, 18:59:54 local time.
std::time_t FixedTime()
{
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 18;
    t.tm_min = 59;
    t.tm_sec = 54;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

const std::string Stamp = "Dec  8 18:59:54 ";

void SetLogPath(const char *path)
{
    std::strncpy(DebugLogPath, path, DebugLogPathSize - 1);
    DebugLogPath[DebugLogPathSize - 1] = 0;
}

class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDebugLogClock(FixedTime);
        DebugLogPath[0] = 0;
        DebugLogEnabled = 0;
        std::error_code ec;
        fs::remove(DefaultDebugLogName, ec);
    }
    void TearDown() override
    {
        SetDebugLogClock(nullptr);
        DebugLogPath[0] = 0;
        DebugLogEnabled = 0;
    }
};

TEST_F(DebugLogTest, WritesStampAndPlainTextCutTo127Characters)
{
    struct Case {
        std::string text;
        std::string logged;
    };
    const Case cases[] = {
        {"^1Hello ^8world", "Hello ^Lworld"},
        {std::string(200, 'a'), std::string(127, 'a')},
        {"^^ stays, ^: becomes ^L, ^9gone", "^^ stays, ^L becomes ^L, gone"},
        {"", ""},
    };
    for (const Case &c : cases) {
        std::error_code ec;
        fs::remove(DefaultDebugLogName, ec);
        LogLine(c.text.c_str());
        EXPECT_EQ(ReadFileText(DefaultDebugLogName), Stamp + c.logged + "\n") << c.text;
    }
}

TEST_F(DebugLogTest, LinesAppendAndPrintfAndVersionGoThroughTheSameLine)
{
    LogVersion();
    LogPrintf("timer resolution %d ms", 1);
    const std::string longArgument(400, 'x');
    LogPrintf("%s!", longArgument.c_str());
    LogLine(nullptr);
    EXPECT_EQ(ReadFileText(DefaultDebugLogName), Stamp + "KZV : 0.5Z28\n" + Stamp + "timer resolution 1 ms\n" + Stamp +
                                                std::string(127, 'x') + "\n" + Stamp + "\n");
}

TEST_F(DebugLogTest, DeleteDebugLogRemovesDebLogEvenWhenAnotherFileIsNamed)
{
    std::ofstream(DefaultDebugLogName) << "old\n";
    std::ofstream("named.log") << "kept\n";
    SetLogPath("named.log");

    DeleteDebugLog();

    EXPECT_FALSE(fs::exists(DefaultDebugLogName));
    EXPECT_EQ(ReadFileText("named.log"), "kept\n");
    EXPECT_EQ(DebugLogEnabled, 1);
}

TEST_F(DebugLogTest, NamedLogTakesTheLinesInsteadOfDebLog)
{
    std::error_code ec;
    fs::remove("my.log", ec);
    SetLogPath("my.log");

    LogLine("to the named file");

    EXPECT_EQ(ReadFileText("my.log"), Stamp + "to the named file\n");
    EXPECT_FALSE(fs::exists(DefaultDebugLogName));
}

TEST_F(DebugLogTest, UnopenableLogDropsTheLineSilently)
{
    fs::create_directory("a_folder");
    for (const char *path : {"no_such_folder/x.log", "a_folder"}) {
        SetLogPath(path);
        LogLine("lost");
        LogVersion();
    }
    EXPECT_FALSE(fs::exists("no_such_folder"));
    EXPECT_TRUE(fs::is_directory("a_folder"));
    EXPECT_FALSE(fs::exists(DefaultDebugLogName));
}

TEST_F(DebugLogTest, LinesFromSeveralThreadsStayWhole)
{
    constexpr int ThreadCount = 4;
    constexpr int LinesPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        threads.emplace_back([t] {
            const std::string text(120, static_cast<char>('a' + t));
            for (int i = 0; i < LinesPerThread; ++i) {
                LogLine(text.c_str());
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }

    std::istringstream lines(ReadFileText(DefaultDebugLogName));
    std::string line;
    int counts[ThreadCount] = {};
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.size(), Stamp.size() + 120u) << line;
        ASSERT_EQ(line.compare(0, Stamp.size(), Stamp), 0) << line;
        const char c = line[Stamp.size()];
        ASSERT_GE(c, 'a');
        ASSERT_LT(c, 'a' + ThreadCount);
        ASSERT_EQ(line.find_first_not_of(c, Stamp.size()), std::string::npos) << line;
        ++counts[c - 'a'];
    }
    for (int count : counts) {
        EXPECT_EQ(count, LinesPerThread);
    }
}

TEST_F(DebugLogTest, ErrorBoxLogsItsTextOnlyOnceLoggingIsOn)
{
    // Without a display the box goes to standard error instead of waiting
    // for a click.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    EXPECT_EQ(ShowErrorBox("before logging"), PlatformAnswerOk);
    EXPECT_FALSE(fs::exists(DefaultDebugLogName));

    DeleteDebugLog();
    ShowErrorBox("^1Could not load font");
    EXPECT_EQ(ReadFileText(DefaultDebugLogName), Stamp + "Could not load font\n");
}

}  // namespace
