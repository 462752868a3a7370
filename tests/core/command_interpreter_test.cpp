#include "core/command_interpreter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/colour.h"
#include "core/controls.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

// Everything the interpreter asked of the services above it.
struct Calls {
    std::vector<std::string> messages;  // "colour:text"
    std::vector<std::string> hidden;
    std::vector<std::string> chats;     // shown as the own chat
    std::vector<std::vector<uint8_t>> packets;
    std::vector<std::vector<uint8_t>> stashed;
    std::vector<std::string> hostCommands;
    std::vector<std::string> sessions;  // "command:argument:value"
    std::vector<std::string> spawned;
    std::vector<int> inSim;             // ports started; 0 for a stop
    int statusShown = 0;
    std::string fkey[32];
};

Calls Seen;
int Role = CommandRoleHost;
int HostResult = 0;
std::string HostRefusal;
bool RealProcesses = false;

CommandServices FakeServices()
{
    CommandServices s = {};
    s.printMessage = [](const char *text, int colour) {
        Seen.messages.push_back(std::to_string(colour) + ":" + text);
    };
    s.printHiddenMessage = [](const char *text) { Seen.hidden.push_back(text); };
    s.printPlayerChat = [](const char *text) { Seen.chats.push_back(text); };
    s.networkRole = [] { return Role; };
    s.handleHostCommand = [](const char *text, char *result, int size) {
        Seen.hostCommands.push_back(text);
        std::snprintf(result, static_cast<size_t>(size), "%s", HostRefusal.c_str());
        return HostResult;
    };
    s.sendChatPacket = [](const uint8_t *packet, int size) { Seen.packets.emplace_back(packet, packet + size); };
    s.stashReliablePacket = [](const uint8_t *packet, int size) {
        Seen.stashed.emplace_back(packet, packet + size);
    };
    s.isInSimPrefixInUse = [](int c) { return c == '!' ? 1 : 0; };
    s.inSimStart = [](int port) { Seen.inSim.push_back(port); };
    s.inSimStop = [] { Seen.inSim.push_back(0); };
    s.printInSimStatus = [] { ++Seen.statusShown; };
    s.setFunctionKeyMessage = [](int index, const char *text) { Seen.fkey[index] = text; };
    s.sessionCommand = [](SessionCommand command, const char *argument, int value) -> const char * {
        Seen.sessions.push_back(std::to_string(command) + ":" + argument + ":" + std::to_string(value));
        return nullptr;
    };
    s.startProcess = [](const char *program, const char *argument, int wait) {
        Seen.spawned.push_back(std::string(program) + "|" + argument + "|" + std::to_string(wait));
        if (!RealProcesses) {
            return 0;
        }
        return wait ? (PlatformRunProcess(program, argument) < 0 ? -1 : 0) : PlatformStartProcess(program, argument);
    };
    return s;
}

std::string Salmon(const std::string &text)
{
    return std::to_string(ColourSalmon) + ":" + text;
}

std::string Grey(const std::string &text)
{
    return std::to_string(ColourLightGrey) + ":" + text;
}

void WriteScript(const std::string &name, const std::string &text)
{
    fs::create_directories("data/script");
    std::ofstream("data/script/" + name + ".kzv", std::ios::binary) << text;
}

class CommandInterpreterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Seen = Calls();
        Role = CommandRoleHost;
        HostResult = 0;
        HostRefusal.clear();
        RealProcesses = false;
        SetCommandServices(FakeServices());
        SetDefaultControls();
        DedicatedMode = DedicatedNone;
        CommandErrorText[0] = 0;
        ScriptDepth = 0;
    }

    void TearDown() override
    {
        SetCommandServices(CommandServices{});
        DedicatedMode = DedicatedNone;
    }

    // Runs the line quietly and gives its error text.
    std::string Quiet(const char *text, CommandSource source = CommandSourceLocal)
    {
        CommandErrorText[0] = 0;
        ExecuteCommand(source, text, 1);
        return CommandErrorText;
    }
};

TEST_F(CommandInterpreterTest, SettingsAndBindings)
{
    EXPECT_EQ(Quiet("/FF 300"), "");
    EXPECT_EQ(FfStrength, 200.0f);
    EXPECT_EQ(Quiet("/ff -5"), "");
    EXPECT_EQ(FfStrength, 0.0f);
    EXPECT_EQ(Quiet("/wheel_turn 5000"), "");
    EXPECT_EQ(WheelTurn, 900.0f);

    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        {"/key T horn", "T - talk"},
        {"/key AB horn", "Parameter is not valid"},
        {"/key 5 ctrl_f1", "Unknown key function"},
        {"/key 5", "This command needs 2 parameters"},
        {"/button 3 nothing", "Unknown button function"},
        {"/axis 70", "This command needs 2 parameters"},
        {"/axis 3 wobble", "Unknown axis function"},
        {"/altf 13 hello", "Parameter is not valid"},
        {"/altf 3", "This command needs 2 parameters"},
        {"/ff", "This command needs a parameter"},
        {"/view sideways", "Parameter is not valid"},
        {"/showmouse maybe", "Parameter is not valid"},
        {"/press nokey", "Parameter is not valid"},
        {"/car ZZZ", "Unknown car parameter"},
        {"/run ../x", "Parameter is not valid"},
        {"/savekb a/b", "Parameter is not valid"},
        {"/loadkb a:b", "Parameter is not valid"},
        {"/player ..", "Parameter is not valid"},
        {"/setup a\\b", "Parameter is not valid"},
        {"/spr ../../x", "Parameter is not valid"},
        {"/mpr x", "Command is for entry screen only"},
        {"/run missing", "Can't open : data\\script\\missing.kzv"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Quiet(c.text), c.error) << c.text;
    }

    EXPECT_EQ(Quiet("/key 5 horn"), "");
    EXPECT_EQ(KeyBindingTable[FunctionHorn].key, '5');
    EXPECT_EQ(Quiet("/key 5 gear_1"), "");
    EXPECT_EQ(KeyBindingTable[FunctionFirstGear].key, '5');
    EXPECT_EQ(Quiet("/button 3 ctrl_f1"), "");
    EXPECT_EQ(KeyBindingTable[FunctionCtrlF1].button, 3);
    EXPECT_EQ(Quiet("/axis 70 steer"), "");
    EXPECT_EQ(AxisBindingTable[AxisSteer].axis, 63);
    EXPECT_EQ(Quiet("/axis -9 steer"), "");
    EXPECT_EQ(AxisBindingTable[AxisSteer].axis, -1);
    EXPECT_EQ(Quiet("/invert 5 throttle"), "");
    EXPECT_EQ(AxisBindingTable[AxisThrottle].invert, 1);
    EXPECT_EQ(Quiet("/altf 3 hello"), "");
    EXPECT_EQ(Seen.fkey[22], "hello");
    EXPECT_EQ(Quiet("/ctrlf 12 /echo x"), "");
    EXPECT_EQ(Seen.fkey[19], "/echo x");
}

TEST_F(CommandInterpreterTest, ChatPackets)
{
    ExecuteCommand(CommandSourceLocal, "0123456789", 0);
    ASSERT_EQ(Seen.packets.size(), 1u);
    const std::vector<uint8_t> expected = {1, 16, 0, 0, '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0, 0};
    EXPECT_EQ(Seen.packets[0], expected);
    EXPECT_EQ(Seen.stashed.size(), 1u);
    EXPECT_EQ(Seen.chats, std::vector<std::string>{"0123456789"});

    // A line longer than a packet holds is cut to 95 characters.
    Seen = Calls();
    const std::string longLine(120, 'x');
    ExecuteCommand(CommandSourceLocal, longLine.c_str(), 0);
    ASSERT_EQ(Seen.packets.size(), 1u);
    EXPECT_EQ(Seen.packets[0].size(), 100u);
    EXPECT_EQ(Seen.packets[0][99], 0);
    EXPECT_EQ(Seen.chats[0].size(), 95u);

    // An InSim program's prefix: only for InSim, shown but not relayed.
    Seen = Calls();
    ExecuteCommand(CommandSourceLocal, "!hello", 0);
    EXPECT_TRUE(Seen.packets.empty());
    EXPECT_TRUE(Seen.stashed.empty());
    EXPECT_EQ(Seen.chats, std::vector<std::string>{"!hello"});
    // A guest sends even that to the host.
    Role = CommandRoleGuest;
    ExecuteCommand(CommandSourceLocal, "!hello", 0);
    EXPECT_EQ(Seen.packets.size(), 1u);
    // Offline nothing is sent.
    Seen = Calls();
    Role = CommandRoleOffline;
    ExecuteCommand(CommandSourceLocal, "alone", 0);
    EXPECT_TRUE(Seen.packets.empty());
    EXPECT_EQ(Seen.chats.size(), 1u);
}

TEST_F(CommandInterpreterTest, SayEchoAndTheHiddenCopy)
{
    ExecuteCommand(CommandSourceLocal, "/say hello", 0);
    EXPECT_EQ(Seen.packets.size(), 1u);
    EXPECT_EQ(Seen.chats, std::vector<std::string>{"hello"});
    EXPECT_EQ(Seen.hidden, std::vector<std::string>{"/say hello"});

    Seen = Calls();
    ExecuteCommand(CommandSourceLocal, "/echo hello", 0);
    EXPECT_TRUE(Seen.packets.empty());
    EXPECT_EQ(Seen.messages, std::vector<std::string>{Grey("hello")});

    // Quiet lines leave no hidden copy.
    Seen = Calls();
    ExecuteCommand(CommandSourceLocal, "/echo x", 1);
    EXPECT_TRUE(Seen.hidden.empty());

    DedicatedMode = DedicatedConsole;
    EXPECT_EQ(Quiet("/spec"), "Command is not for dedicated host");
    EXPECT_EQ(Quiet("/join"), "Command is not for dedicated host");
}

TEST_F(CommandInterpreterTest, UnknownWordsGoToTheHostCommands)
{
    HostResult = 0;
    ExecuteCommand(CommandSourceLocal, "/unknown x", 0);
    EXPECT_EQ(Seen.hostCommands, std::vector<std::string>{"/unknown x"});
    EXPECT_EQ(Seen.packets.size(), 1u);  // then chat

    Seen = Calls();
    HostResult = 1;
    ExecuteCommand(CommandSourceLocal, "/unknown x", 0);
    EXPECT_TRUE(Seen.packets.empty());
    EXPECT_TRUE(Seen.messages.empty());

    Seen = Calls();
    HostResult = 2;
    HostRefusal = "Not allowed";
    ExecuteCommand(CommandSourceLocal, "/unknown x", 0);
    EXPECT_EQ(Seen.messages, std::vector<std::string>{Salmon("Not allowed")});

    // A quiet error keeps 91 characters.
    HostRefusal = std::string(91, 'e') + "cut";
    EXPECT_EQ(Quiet("/unknown x"), std::string(91, 'e'));

    // An online guest sends the line straight on as chat.
    Seen = Calls();
    Role = CommandRoleGuest;
    ExecuteCommand(CommandSourceLocal, "/unknown x", 0);
    EXPECT_TRUE(Seen.hostCommands.empty());
    EXPECT_EQ(Seen.packets.size(), 1u);
}

TEST_F(CommandInterpreterTest, OutsideProgramsMayNotStartProgramsOrNameFiles)
{
    std::ofstream("victim.txt") << "keep";
    const char *refused[] = {"/exec touch x", "/wait touch x", "/log victim.txt", "/hlog victim.txt",
                             "/say /exec touch x", "/ctrlf 1 /exec touch x", "/altf 2 /say /wait x",
                             "/ctrlf 3 /LOG victim.txt"};
    for (const char *text : refused) {
        EXPECT_EQ(Quiet(text, CommandSourceOutside), "Command not available from outside programs") << text;
    }
    EXPECT_TRUE(Seen.spawned.empty());
    EXPECT_TRUE(Seen.hostCommands.empty());
    EXPECT_EQ(Seen.fkey[8], "");
    EXPECT_TRUE(fs::exists("victim.txt"));
    EXPECT_STREQ(DebugLogPath, "");

    // Other commands still work from outside.
    EXPECT_EQ(Quiet("/ctrlf 1 hello", CommandSourceOutside), "");
    EXPECT_EQ(Seen.fkey[8], "hello");
}

TEST_F(CommandInterpreterTest, LocalProgramsStart)
{
    RealProcesses = true;
    EXPECT_EQ(Quiet("/wait touch waited.txt"), "");
    EXPECT_TRUE(fs::exists("waited.txt"));
    EXPECT_EQ(Quiet("/exec touch started.txt"), "");
    for (int i = 0; i < 200 && !fs::exists("started.txt"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(fs::exists("started.txt"));
    EXPECT_EQ(Seen.spawned[1], "touch|started.txt|0");
    EXPECT_EQ(Quiet("/exec no_such_program_kzv"), "Parameter is not valid");
    const std::string tooLong = "/exec " + std::string(80, 'p');
    EXPECT_EQ(Quiet(tooLong.c_str()), "Parameter is too long");
    PlatformReapChildren();
}

TEST_F(CommandInterpreterTest, InSimCommand)
{
    ExecuteCommand(CommandSourceLocal, "/insim", 0);
    EXPECT_TRUE(Seen.inSim.empty());
    EXPECT_EQ(Seen.statusShown, 1);
    ExecuteCommand(CommandSourceLocal, "/insim 29999", 0);
    ExecuteCommand(CommandSourceLocal, "/insim 0", 0);
    EXPECT_EQ(Seen.inSim, (std::vector<int>{29999, 0}));
    EXPECT_EQ(Seen.statusShown, 3);
}

// --- Scripts -------------------------------------------------------------------------

TEST_F(CommandInterpreterTest, ScriptsRunTheirLinesQuietly)
{
    WriteScript("lap1", "echo one\n   // note\n/echo two\n\n");
    ExecuteCommand(CommandSourceLocal, "//lap1", 0);
    EXPECT_EQ(Seen.messages, (std::vector<std::string>{Grey("one"), Grey("two")}));

    Seen = Calls();
    WriteScript("name", "echo a\r\naxis 70\r\necho b\n");
    RunScriptFile("name");
    const std::vector<std::string> expected = {Grey("a"), Salmon("name : line 2 - This command needs 2 parameters"),
                                               Grey("b")};
    EXPECT_EQ(Seen.messages, expected);

    // CR-only line ends: every line counts as line 1.
    Seen = Calls();
    WriteScript("cr", "axis 1\raxis 2");
    RunScriptFile("cr");
    EXPECT_EQ(Seen.messages, (std::vector<std::string>{Salmon("cr : line 1 - This command needs 2 parameters"),
                                                       Salmon("cr : line 1 - This command needs 2 parameters")}));
}

TEST_F(CommandInterpreterTest, LongLinesStopTheScript)
{
    const std::string withSlash = "/echo " + std::string(90, 'x');      // 96 characters
    const std::string withoutSlash = "echo " + std::string(90, 'x');    // 95, plus the '/' put in front
    const std::string fits = "echo\x01 " + std::string(89, 'x');       // 95 with the '/', control dropped
    struct Case {
        std::string line;
        bool stops;
    };
    const Case cases[] = {{withSlash, true}, {withoutSlash, true}, {fits, false}};
    for (const Case &c : cases) {
        Seen = Calls();
        WriteScript("long", "echo before\n" + c.line + "\necho after\n");
        RunScriptFile("long");
        ASSERT_GE(Seen.messages.size(), 2u);
        EXPECT_EQ(Seen.messages[0], Grey("before"));
        if (c.stops) {
            EXPECT_EQ(Seen.messages, (std::vector<std::string>{Grey("before"), Salmon("long : line 2 is too long")}));
        } else {
            EXPECT_EQ(Seen.messages.back(), Grey("after"));
        }
    }
}

TEST_F(CommandInterpreterTest, ScriptSizeAndDepth)
{
    std::string exact = "echo ok\n";
    exact += std::string(2048 - exact.size(), ' ');
    WriteScript("exact", exact);
    RunScriptFile("exact");
    EXPECT_EQ(Seen.messages, std::vector<std::string>{Grey("ok")});

    Seen = Calls();
    WriteScript("over", exact + " ");
    RunScriptFile("over");
    EXPECT_EQ(Seen.messages, std::vector<std::string>{Salmon("Script is too long")});

    Seen = Calls();
    WriteScript("empty", "");
    RunScriptFile("empty");
    EXPECT_EQ(Seen.messages, std::vector<std::string>{Salmon("Script is empty")});

    Seen = Calls();
    RunScriptFile("absent");
    EXPECT_TRUE(Seen.messages.empty());

    Seen = Calls();
    WriteScript("self", "run self\n");
    RunScriptFile("self");
    EXPECT_EQ(ScriptDepth, 0);
    ASSERT_FALSE(Seen.messages.empty());
    EXPECT_EQ(Seen.messages[0], Salmon("Too many scripts"));
}

TEST(CommandArgumentTest, CharAndIntArguments)
{
    struct CharCase {
        const char *argument;
        int result;
        int character;
        const char *text;
    };
    const CharCase charCases[] = {
        {"t horn", 0, 'T', "horn"},
        {"5 gear_1", 0, '5', "gear_1"},
        {"tab horn", 47, 0, ""},
        {"t", 41, 0, ""},
        {"t   0123456789abcdefghij", 0, 'T', "0123456789abcde"},
    };
    for (const CharCase &c : charCases) {
        int character = 0;
        char text[16] = "";
        EXPECT_EQ(ParseCharArg(c.argument, &character, text), c.result) << c.argument;
        EXPECT_EQ(character, c.character) << c.argument;
        EXPECT_STREQ(text, c.text) << c.argument;
    }

    int number = 7;
    char text[8];
    EXPECT_EQ(ParseIntArg("12 hello there", &number, text, sizeof(text)), 0);
    EXPECT_EQ(number, 12);
    EXPECT_STREQ(text, "hello t");
    EXPECT_EQ(ParseIntArg("x=steer", &number, text, sizeof(text)), 0);
    EXPECT_EQ(number, 12);  // not a number: unchanged
    EXPECT_EQ(ParseIntArg("12", &number, text, sizeof(text)), 41);
}

}  // namespace
