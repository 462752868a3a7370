#include "ui/message_lines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/debug_log.h"
#include "platform/timer.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

class MessageLinesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearMessageLines();
        DebugLogPath[0] = 0;
        MessageLineEcho = 0;
    }
    void TearDown() override
    {
        ClearMessageLines();
        DebugLogPath[0] = 0;
        MessageLineEcho = 0;
    }
};

TEST_F(MessageLinesTest, TwentyFirstLinePushesTheOldestIntoTheHistory)
{
    for (int i = 0; i <= MessageLineLimit; ++i) {
        PrintMessageArg("line %d", i, &MessageColours[ColourLightGrey]);
    }
    EXPECT_EQ(MessageLineCount, MessageLineLimit);
    EXPECT_STREQ(MessageLines[0].Text, "line 1");
    EXPECT_STREQ(MessageLines[MessageLineLimit - 1].Text, "line 20");
    EXPECT_EQ(MessageLines[MessageLineLimit - 1].Colour, &MessageColours[ColourLightGrey]);
    EXPECT_STREQ(MessageHistory[MessageLineLimit - 1].Text, "line 0");

    ClearMessageLines();
    EXPECT_EQ(MessageLineCount, 0);
    EXPECT_STREQ(MessageLines[0].Text, "");
    EXPECT_STREQ(MessageHistory[0].Text, "line 1");
    EXPECT_STREQ(MessageHistory[MessageLineLimit - 1].Text, "line 20");
}

TEST_F(MessageLinesTest, LongTextIsCutAndEmptyTextAddsNothing)
{
    const std::string longText(300, 'm');
    PrintMessage(longText.c_str(), &MessageColours[ColourSalmon]);
    PrintMessage("", &MessageColours[ColourSalmon]);
    PrintMessage(nullptr, &MessageColours[ColourSalmon]);
    EXPECT_EQ(MessageLineCount, 1);
    EXPECT_EQ(std::string(MessageLines[0].Text), std::string(MessageTextSize - 1, 'm'));
}

TEST_F(MessageLinesTest, LinesOlderThanSixSecondsExpire)
{
    PrintMessage("old", &MessageColours[ColourWhite]);
    PrintMessage("new", &MessageColours[ColourWhite]);
    MessageLines[0].Time = PlatformTimeMs() - MessageLifeMs - 1;

    ExpireMessageLines();

    EXPECT_EQ(MessageLineCount, 1);
    EXPECT_STREQ(MessageLines[0].Text, "new");
    EXPECT_STREQ(MessageHistory[MessageLineLimit - 1].Text, "old");
}

TEST_F(MessageLinesTest, LinesAreLoggedOnlyWhileALogFileIsNamed)
{
    std::error_code ec;
    fs::remove(DefaultDebugLogName, ec);
    fs::remove("lines.log", ec);

    PrintMessage("not logged", &MessageColours[ColourWhite]);
    EXPECT_FALSE(fs::exists(DefaultDebugLogName));

    std::strcpy(DebugLogPath, "lines.log");
    PrintMessage("^3logged", &MessageColours[ColourWhite]);
    AddMessageLine("hidden but logged", &MessageColours[ColourWhite], MessageTargetHidden);
    const std::string log = ReadFileText("lines.log");
    EXPECT_NE(log.find("logged\n"), std::string::npos);
    EXPECT_NE(log.find("hidden but logged\n"), std::string::npos);
    EXPECT_EQ(log.find("not logged"), std::string::npos);
    EXPECT_EQ(MessageLines[2].Flags, MessageFlagHidden);
}

TEST_F(MessageLinesTest, EchoPrintsVisibleLinesWithoutColours)
{
    MessageLineEcho = 1;
    testing::internal::CaptureStdout();
    PrintMessage("^1Warning : ^7another instance", &MessageColours[ColourSalmon]);
    AddMessageLine("hidden", &MessageColours[ColourWhite], MessageTargetHidden);
    AddMessageLine("latin", &MessageColours[ColourWhite], MessageTargetLatin);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning : another instance\nlatin\n");
}

}  // namespace
