#include "core/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/car_table.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"

namespace {

std::string Notices;
int InSimPortOpened = 0;

// One fixture site: "XX" with three configurations, the second reversible.
const char *FakeSite(const char *code, int config, int *configCount, int *reversible)
{
    if (std::strcmp(code, "XX") != 0 && std::strcmp(code, "xx") != 0) {
        return nullptr;
    }
    *configCount = 3;
    *reversible = config == 2;
    return "Fixture Site";
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CommandLineServices services = {};
        services.findTrackSite = FakeSite;
        services.printNotice = [](const char *text) { Notices += text; };
        services.inSimStart = [](int port) { InSimPortOpened = port; };
        SetCommandLineServices(services);
        InitCommandKeywords();
        Notices.clear();
        InSimPortOpened = 0;
        StartMode = StartModeNormal;
        DedicatedMode = DedicatedNone;
        GraphicsEnabled = 1;
        GameName[0] = 0;
        std::strcpy(GamePass, "old");
        MpRules = 0;
        MpFlags = 35;
        MaxConns = 4;
        AdminSlots = 0;
        PacksPerSec = 12;
        ConnToMaster = 0;
        TrackFlip = 0;
        PlayerName.name[0] = 0;
    }

    void TearDown() override
    {
        SetCommandLineServices(CommandLineServices{});
        DebugLogPath[0] = 0;
    }

    std::string Parse(const char *text, int fromLink = 0)
    {
        ParseCommandLine(text, fromLink);
        return CommandLineError;
    }
};

TEST_F(CommandLineTest, OptionsSetTheirValues)
{
    struct Case {
        const char *text;
        const int *value;
        int expected;
    };
    const Case cases[] = {
        {"/host=My Host/maxguests=20/laps=250", &MaxConns, 21},
        {"/host=My Host/maxguests=20/laps=250", &CommandLineSettings.raceLengthCode, 115},
        {"/host=a/laps=105", &CommandLineSettings.raceLengthCode, 100},
        {"/host=a/laps=1000", &CommandLineSettings.raceLengthCode, 190},
        {"/host=a/hours=48", &CommandLineSettings.raceLengthCode, 238},
        {"/host=a/adminslots=8/maxguests=5", &AdminSlots, 2},
        {"/host=a/maxguests=5/adminslots=8", &AdminSlots, 4},
        {"/host=a/pps=12/usemaster=yes", &PacksPerSec, 6},
        {"/host=a/pps=12/usemaster=hidden", &PacksPerSec, 6},
        {"/host=a/pps=12/usemaster=no", &PacksPerSec, 12},
        {"/KILL=1/anything at all", &StartMode, StartModeKill},
        {"/join=Far Away", &StartMode, StartModeJoin},
        {"/join=Far Away", &AddressName, 1},
        {"/host=a/weather=3", &TrackLighting, 2},
        {"/host=a/autokick=BAN", &AutoKick, 2},
        {"/host=a/start=random", &RaceStart, 3},
        {"/host=a/dedicated=nogfx", &GraphicsEnabled, 0},
        {"/host=a/track=xx2r", &TrackFlip, 1},
        {"/host=a/track=XX1R", &TrackFlip, 0},  // configuration 1 is not reversible
        {"/host=a/track=XX3", &TrackConfig, 3},
        {"/host=a/insim=29999", &CommandLineSettings.inSimPort, 29999},
        {"/insim=29999", &CommandLineSettings.inSimPort, 29999},  // no start parameter: a normal start
        {"/host=a/qual=60", &CommandLineSettings.qualifyMinutes, 60},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        EXPECT_EQ(Parse(c.text), "");
        EXPECT_EQ(*c.value, c.expected);
    }
}

TEST_F(CommandLineTest, HostStartClearsThePasswordAndAllowsAllCars)
{
    EXPECT_EQ(Parse("/host=My Host/maxguests=20/laps=250"), "");
    EXPECT_EQ(StartMode, StartModeHost);
    EXPECT_STREQ(GameName, "My Host");
    EXPECT_STREQ(GamePass, "");
    EXPECT_EQ(MpRules, 0xfffffu);

    // Flags, an InSim port opened after the parse, passwords by mode.
    EXPECT_EQ(Parse("/host=a/vote=no/cruise=yes/insim=29999/pass=p"), "");
    EXPECT_EQ(MpFlags, 35u - 1u + 512u);
    EXPECT_EQ(InSimPortOpened, 29999);
    EXPECT_STREQ(CommandLineSettings.inSimPortText, "29999");
    EXPECT_STREQ(GamePass, "p");
    EXPECT_EQ(Parse("/join=h/pass=q"), "");
    EXPECT_STREQ(CommandLineSettings.joinPassword, "q");
    EXPECT_STREQ(GamePass, "p");
}

TEST_F(CommandLineTest, ErrorsGiveTheirTexts)
{
    const std::string longName(32, 'n');
    const std::string joinLong = "/join=" + longName;
    const std::string hlvcLong = "/hlvc=" + std::string(48, 'r');
    const std::string logLong = "/host=a/log=" + longName;
    const std::string valueLong = "/host=" + std::string(96, 'a');
    struct Case {
        std::string text;
        const char *error;
    };
    const Case cases[] = {
        {"host=x", "Invalid command line"},
        {"/maxguests=20", "Info parameter before start parameter"},
        {"/host=a/join=b", "Too many start parameters"},
        {"/player=x/host=a", "Too many start parameters"},
        {"/host=a/qual=", "Parameter 2 contains no info"},
        {"/host=a/weather=5", "Out of bounds : weather"},
        {"/host=a/maxguests=48", "Out of bounds : maxguests"},
        {"/host=a/dedicated=maybe", "Unknown dedicated option"},
        {"/host=a/vote=maybe", "Unknown vote option"},
        {"/host", "Parameter 1 is invalid"},
        {"/host=a/bogus=1", "Parameter 2 is invalid"},
        {valueLong, "Parameter 1 is too long"},
        {joinLong, "Host name is too long"},
        {hlvcLong, "Replay name is too long"},
        {"/host=a/pass=0123456789abcdef", "Password is too long"},
        {"/host=a/ip=1234567890123456", "IP address is too long"},
        {"/host=a/port=123456", "Port is too long"},
        {"/host=a/cars=ROAD-ALL", "Invalid cars option"},
        {"/host=a/track=XX4", "Unknown track config"},
        {"/host=a/track=XXa", "Unknown track config"},
        {"/host=a/track=QQ1", "Unknown track"},
        {"/host=a/track=XX1RR", "Unknown track"},
        {"/host=a/insim=70000", "InSim port out of bounds"},
        {logLong, "Log filename is too long"},
        {"/host=a/tracks=none.txt", "Tracks file not found"},
        {"/host=a/welcome=none.txt", "Welcome file not found"},
        {"/cfg=missing.txt", "Config file not found : missing.txt"},
        {"/cfg=" + longName, "Config file name is too long"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        EXPECT_EQ(Parse(c.text.c_str()), c.error);
        EXPECT_EQ(StartMode, StartModeError);
    }

    // Values applied before the error stay; /pass= may be empty.
    SetUp();
    EXPECT_EQ(Parse("/host=Kept/weather=9"), "Out of bounds : weather");
    EXPECT_STREQ(GameName, "Kept");
    SetUp();
    EXPECT_EQ(Parse("/host=a/pass="), "");
    EXPECT_EQ(StartMode, StartModeHost);
}

TEST_F(CommandLineTest, NamesAreCutWithAWarning)
{
    EXPECT_EQ(Parse("/host=0123456789012345678901234567890123456789"), "");
    EXPECT_STREQ(GameName, "0123456789012345678901234567890");
    EXPECT_EQ(Notices, "Host name truncated to 31 chars");

    // The player name drops the characters a file name may not hold.
    Notices.clear();
    EXPECT_EQ(Parse("/host=x/player=a*b?c"), "");
    EXPECT_STREQ(PlayerName.name, "abc");
    EXPECT_EQ(Parse("/player=abcdefghijklmnopqrstuvwxyz"), "");
    EXPECT_STREQ(PlayerName.name, "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(Notices, "Player name truncated to 23 chars");
}

TEST_F(CommandLineTest, CarsLists)
{
    struct Case {
        const char *text;
        int ok;
        uint32_t mask;
    };
    char oneCar[8];
    std::snprintf(oneCar, sizeof(oneCar), "%s", CarTable[3].code);
    const Case cases[] = {
        {"ALL-ROAD", 1, 0xff880},
        {"ROAD+RACE", 1, 0xfff7f},
        {"tbo+lrf+gtr", 1, 0x1c | 0x640 | 0x38000},
        {oneCar, 1, 1u << 3},
        {"ROAD-ALL", 0, 0},
        {"XF", 0, 0},
        {"ROAD+NOPE", 0, 0},
        {"TOOLONGWORD", 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t mask = 0;
        EXPECT_EQ(ParseCarsOption(c.text, &mask), c.ok);
        EXPECT_EQ(mask, c.mask);
    }
}

TEST_F(CommandLineTest, ConfigFiles)
{
    struct Case {
        const char *name;
        std::string content;
        const char *error;
    };
    const Case cases[] = {
        {"good.txt", "/host=x\r\n//comment\r\n/laps=3", ""},
        {"noinfo.txt", "/host=x/qual=", "Parameter 2 contains no info"},
        {"self.txt", "/cfg=self.txt", "Config file is not valid"},
        {"other.txt", "/host=y/cfg=good.txt", "Too many start parameters"},
        {"big.txt", "/host=x//" + std::string(4088, 'c'), "Config file is too long"},
        {"max.txt", "/host=x//" + std::string(4087, 'c'), ""},
        {"empty.txt", "", "Config file is empty"},
        {"plain.txt", "host=x", "Config file is not valid"},
    };
    for (const Case &c : cases) {
        std::ofstream(c.name, std::ios::binary) << c.content;
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const std::string line = std::string("/cfg=") + c.name + "/ignored=1";
        EXPECT_EQ(Parse(line.c_str()), c.error);
    }
    SetUp();
    EXPECT_EQ(Parse("/cfg=good.txt"), "");
    EXPECT_STREQ(GameName, "x");
    EXPECT_EQ(CommandLineSettings.raceLengthCode, 3);
}

TEST_F(CommandLineTest, LinksMayNotNameFilesOrPorts)
{
    std::ofstream("cfg.txt") << "keep me";
    const char *refused[] = {"/cfg=cfg.txt", "/host=a/log=cfg.txt", "/host=a/welcome=cfg.txt",
                             "/host=a/tracks=cfg.txt", "/host=a/mprdir=x", "/host=a/lytdir=x",
                             "/host=a/insim=29999", "/host=a/dedicated=invisible"};
    for (const char *text : refused) {
        SCOPED_TRACE(text);
        SetUp();
        EXPECT_EQ(Parse(text, 1), "KZV was unable to interpret the request");
        EXPECT_EQ(InSimPortOpened, 0);
    }
    std::ifstream kept("cfg.txt");
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep me");

    SetUp();
    EXPECT_EQ(Parse("/join=MyHost/player=Bob", 1), "");
    EXPECT_STREQ(ServerName, "MyHost");
}

TEST_F(CommandLineTest, LogOptionStartsAFreshLog)
{
    std::ofstream("my.log") << "old line\n";
    EXPECT_EQ(Parse("/host=a/log=my.log"), "");
    std::ifstream log("my.log");
    std::string first;
    std::getline(log, first);
    EXPECT_NE(first.find("KZV : 0.5Z28"), std::string::npos);
    std::string rest;
    EXPECT_FALSE(std::getline(log, rest));
}

}  // namespace
