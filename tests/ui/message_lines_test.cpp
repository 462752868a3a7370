#include "ui/message_lines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/translation_table.h"
#include "platform/timer.h"
#include "test_files.h"
#include "ui/font.h"
#include "ui/translation.h"

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

// A fake clock, connection table, InSim and sound for the printer's paths.
struct FakeUpper {
    uint32_t now = 100000;
    int hud = 0;
    int suppressed = 0;
    int inSim = 1;
    char prefix = '!';
    std::vector<std::tuple<int, int, int, int, std::string>> sent;
    std::vector<int> sounds;
};
FakeUpper Upper;

void RegisterFakes()
{
    MessageLineServices services = {};
    services.connectionCount = [] { return 3; };
    services.playerName = [](int c) -> const char * {
        static const std::string longName(31, 'n');
        return c == 0 ? "Own ^9Name" : c == 1 ? "Guest" : longName.c_str();
    };
    services.inSimConnectionId = [](int c) { return c + 10; };
    services.playerId = [](int c) { return c + 20; };
    services.inSimActive = [] { return Upper.inSim; };
    services.isInSimPrefixInUse = [](char c) { return c == Upper.prefix ? 1 : 0; };
    services.inSimSendMessageOut = [](int connectionId, int playerId, int userType, int textStart,
                                      const char *text) {
        Upper.sent.emplace_back(connectionId, playerId, userType, textStart, text);
    };
    services.messagesSuppressed = [] { return Upper.suppressed; };
    services.hudShown = [] { return Upper.hud; };
    services.playInterfaceSound = [](int n) { Upper.sounds.push_back(n); };
    SetMessageLineServices(services);
    SetMessageClock([] { return Upper.now; });
}

class MessagePathsTest : public MessageLinesTest {
protected:
    void SetUp() override
    {
        MessageLinesTest::SetUp();
        Upper = FakeUpper{};
        RegisterFakes();
        MessageFilter = 0;
        NetworkDebug = 0;
        InitMessageColours();
    }
    void TearDown() override
    {
        SetMessageLineServices({});
        SetMessageClock(nullptr);
        MessageFilter = 0;
        NetworkDebug = 0;
        MessageLinesTest::TearDown();
    }
    static void Chat(const char *text, int connection)
    {
        uint8_t packet[4 + MessageTextSize * 2] = {};
        std::strncpy(reinterpret_cast<char *>(packet + 4), text, MessageTextSize * 2 - 1);
        PrintPlayerChat(packet, connection);
    }
};

TEST_F(MessagePathsTest, ALineLivesSixSecondsOnTheMessageClock)
{
    PrintMessage("kept", &MessageColours[ColourWhite]);
    Upper.now += MessageLifeMs;
    ExpireMessageLines();
    EXPECT_STREQ(MessageLines[0].Text, "kept");
    Upper.now += 1;
    ExpireMessageLines();
    EXPECT_EQ(MessageLineCount, 0);
    EXPECT_STREQ(MessageHistory[MessageLineLimit - 1].Text, "kept");
}

TEST_F(MessagePathsTest, FiltersSuppressionAndTheHiddenInterfaceDropLines)
{
    struct Case {
        uint32_t filter;
        int hud;
        int suppressed;
        int systemShown;
        int chatShown;
    };
    const Case cases[] = {
        {0, 0, 0, 1, 1}, {1, 0, 0, 1, 0}, {2, 0, 0, 0, 0}, {0, 2, 0, 0, 0}, {0, 1, 0, 1, 1}, {0, 0, 1, 0, 0},
    };
    for (const Case &c : cases) {
        ClearMessageLines();
        MessageFilter = c.filter;
        Upper.hud = c.hud;
        Upper.suppressed = c.suppressed;
        PrintMessage("system", &MessageColours[ColourWhite]);
        Chat("chat", 1);
        EXPECT_EQ(MessageLineCount, c.systemShown + c.chatShown) << c.filter << " " << c.hud << " " << c.suppressed;
    }
    // A connection beyond the table adds nothing.
    MessageFilter = 0;
    Upper.hud = 0;
    Upper.suppressed = 0;
    ClearMessageLines();
    Chat("nobody", 3);
    EXPECT_EQ(MessageLineCount, 0);
}

TEST_F(MessagePathsTest, ChatGetsTheNamePrefixAndMeLinesShowInYellow)
{
    Chat("good pass", 0);
    EXPECT_STREQ(MessageLines[0].Text, "^7Own ^7Name ^7: ^8good pass");
    EXPECT_EQ(MessageLines[0].PrefixLength, std::strlen("^7Own ^7Name ^7: ^8"));
    EXPECT_EQ(MessageLines[0].Colour, &MessageColours[ColourGreen]);
    EXPECT_EQ(MessageLines[0].CodePage, 0);

    Chat("/ME hi", 1);
    EXPECT_STREQ(MessageLines[1].Text, "Guest ^8hi");
    EXPECT_EQ(MessageLines[1].Colour, &MessageColours[ColourYellow]);
    EXPECT_EQ(MessageLines[1].PrefixLength, 0);
    Chat("/x", 1);
    Chat("/me", 1);
    EXPECT_EQ(MessageLineCount, 2);
}

TEST_F(MessagePathsTest, InSimGetsNonHiddenLinesInThePacketFieldOrder)
{
    PrintMessage("system", &MessageColours[ColourWhite]);
    Chat("hello", 1);
    Chat("!cmd", 1);
    AddMessageLine("hidden", &MessageColours[ColourWhite], MessageTargetHidden);
    NetworkDebug = 1;
    PrintNetDebug("debug", &MessageColours[ColourWhite]);
    PrintNetDebugF("debug %d", 2, &MessageColours[ColourWhite]);
    PrintNetDebug2("debug", "two", &MessageColours[ColourWhite]);
    NetworkDebug = 0;
    PrintNetDebug("not shown", &MessageColours[ColourWhite]);

    const int prefix = static_cast<int>(std::strlen("^7Guest ^7: ^8"));
    ASSERT_EQ(Upper.sent.size(), 3u);
    EXPECT_EQ(Upper.sent[0], std::make_tuple(0, 0, 0, 0, std::string("system")));
    EXPECT_EQ(Upper.sent[1], std::make_tuple(11, 21, 1, prefix, std::string("^7Guest ^7: ^8hello")));
    EXPECT_EQ(Upper.sent[2], std::make_tuple(11, 21, 2, prefix, std::string("^7Guest ^7: ^8!cmd")));
    EXPECT_EQ(MessageLines[2].Flags, MessageFlagHidden);  // the guest's prefix hides it
    EXPECT_EQ(MessageLines[3].Flags, MessageFlagHidden);
    EXPECT_EQ(MessageLineCount, 7);
    EXPECT_STREQ(MessageLines[5].Text, "debug 2");
    EXPECT_EQ(MessageLines[4].CodePage, 0);

    Upper.inSim = 0;
    PrintMessage("no InSim", &MessageColours[ColourWhite]);
    EXPECT_EQ(Upper.sent.size(), 3u);
}

TEST_F(MessagePathsTest, LongChatIsCutAt127BytesNeverInsideADoubleBytePair)
{
    // A chat line from a 31-character name plus 95 characters is cut to 127.
    Chat(std::string(95, 'x').c_str(), 2);
    EXPECT_EQ(std::strlen(MessageLines[0].Text), static_cast<size_t>(MessageTextSize - 1));

    // In a page whose byte 0x81 leads a pair, a pair across byte 127 goes whole.
    std::vector<CodePageTable> tables(10);
    tables[4].entries[0x81 - CodePageFirstByte].flags = CodePageLeadByteFlags;
    CodePageTables = tables.data();
    CodePageTableCount = 10;
    std::string text = "^J" + std::string(124, 'a');
    text += "\x81\x40\x81\x40";
    PrintMessage(text.c_str(), &MessageColours[ColourWhite]);
    CodePageTables = nullptr;
    CodePageTableCount = 0;
    EXPECT_EQ(std::strlen(MessageLines[1].Text), 126u);
    EXPECT_EQ(static_cast<uint8_t>(MessageLines[1].Text[125]), 'a');
}

TEST_F(MessagePathsTest, PrintersUseTheirColoursSoundsAndResultTexts)
{
    PrintWarning("warn");
    PrintInfoBeep("info");
    PrintLoadFileError("data\\x.txt");
    PrintSaveFileError("y.txt");
    PrintLabelled("Label :", "a", &MessageColours[ColourWhite]);
    PrintLabelled("Label", "b", &MessageColours[ColourWhite]);
    PrintMessageLatinTail("a", "b", &MessageColours[ColourWhite]);
    PrintInfoF("%d-%s", 3, "z");
    EXPECT_EQ(MessageLines[0].Colour, &MessageColours[ColourSalmon]);
    EXPECT_EQ(MessageLines[1].Colour, &MessageColours[ColourLightGrey]);
    EXPECT_STREQ(MessageLines[2].Text, "Could not load file : ^Ldata\\x.txt");
    EXPECT_STREQ(MessageLines[3].Text, "Could not save file : ^Ly.txt");
    EXPECT_STREQ(MessageLines[4].Text, "Label : a");
    EXPECT_STREQ(MessageLines[5].Text, "Label : b");
    EXPECT_STREQ(MessageLines[6].Text, "a ^Lb");
    EXPECT_STREQ(MessageLines[7].Text, "3-z");
    EXPECT_EQ(Upper.sounds, (std::vector<int>{4, 2}));
}

TEST_F(MessagePathsTest, RecallWalksTheCurrentLinesThenTheHistory)
{
    char buffer[MessageTextSize];
    int codePage = -1;
    for (MessageLine &line : MessageHistory) {
        line = MessageLine{};
    }
    MessageSequence = 0;
    EXPECT_EQ(RecallMessageBefore(buffer, -1, sizeof(buffer), &codePage), -1);  // nothing at all
    EXPECT_EQ(RecallMessageAfter(buffer, 5, sizeof(buffer), &codePage), -1);
    EXPECT_STREQ(buffer, "");

    PrintMessage("h0", &MessageColours[ColourWhite]);       // sequence 0, goes to the history
    ClearMessageLines();
    Chat("c1", 1);                                           // sequence 1
    PrintMessage("c2", &MessageColours[ColourWhite]);       // sequence 2

    EXPECT_EQ(RecallMessageBefore(buffer, -1, sizeof(buffer), &codePage), 2);
    EXPECT_STREQ(buffer, "c2");
    EXPECT_EQ(RecallMessageBefore(buffer, 2, sizeof(buffer), &codePage), 1);
    EXPECT_STREQ(buffer, "c1");  // without the name prefix
    // Before the first current line there is nothing: the sequence comes back.
    std::strcpy(buffer, "unchanged");
    EXPECT_EQ(RecallMessageBefore(buffer, 1, sizeof(buffer), &codePage), 1);
    EXPECT_STREQ(buffer, "unchanged");

    // After walks current 19..0 then history 19..0.
    EXPECT_EQ(RecallMessageAfter(buffer, 1, sizeof(buffer), &codePage), 2);
    EXPECT_STREQ(buffer, "c2");
    EXPECT_EQ(RecallMessageAfter(buffer, 0, sizeof(buffer), &codePage), 1);
    EXPECT_EQ(RecallMessageAfter(buffer, 2, sizeof(buffer), &codePage), -1);
    EXPECT_STREQ(buffer, "");

    ClearMessageLines();
    EXPECT_EQ(RecallMessageBefore(buffer, -1, sizeof(buffer), &codePage), 2);  // the newest history line
}

TEST_F(MessagePathsTest, WorkerThreadLinesAreQueuedAndAddedByTheMainThreadInOrder)
{
    constexpr int Threads = 4;
    constexpr int PerThread = 1000;
    std::atomic<int> running{Threads};
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([t, &running] {
            for (int i = 0; i < PerThread; ++i) {
                char text[32];
                std::snprintf(text, sizeof(text), "%d %d", t, i);
                AddMessageLine(text, &MessageColours[ColourWhite], MessageTargetSystem);
            }
            --running;
        });
    }
    size_t drained = 0;
    while (running > 0 || drained < static_cast<size_t>(Threads * PerThread)) {
        DrainMessageQueue();
        ExpireMessageLines();
        Upper.now += 1000;
        drained = Upper.sent.size();
        if (running == 0 && drained < static_cast<size_t>(Threads * PerThread)) {
            DrainMessageQueue();
            drained = Upper.sent.size();
            break;
        }
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
    DrainMessageQueue();
    ASSERT_EQ(Upper.sent.size(), static_cast<size_t>(Threads * PerThread));
    int next[Threads] = {};
    for (const auto &sent : Upper.sent) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(std::get<4>(sent).c_str(), "%d %d", &t, &i), 2);
        ASSERT_GE(t, 0);
        ASSERT_LT(t, Threads);
        EXPECT_EQ(i, next[t]);
        next[t] = i + 1;
    }
}

}  // namespace
