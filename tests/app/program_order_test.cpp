#include "app/program.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "tests/app/program_fixture.h"
#include "core/car_table.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/version.h"
#include "platform/keys.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "render/render_device.h"
#include "ui/menu_page.h"
#include "world/track_sites.h"

namespace {

namespace fs = std::filesystem;

using namespace program_test;

// --- A fake console ---------------------------------------------------------------------------

std::vector<std::string> ConsoleInput;

bool FakeConsoleLine(char *out, int size)
{
    if (ConsoleInput.empty()) {
        return false;
    }
    std::snprintf(out, static_cast<size_t>(size), "%s", ConsoleInput.front().c_str());
    ConsoleInput.erase(ConsoleInput.begin());
    return true;
}

// A first page that ends the program by returning no page after N passes.
struct CountingPage : MenuPage {
    int passes = 0;
    int quitAfter = 0;
};

CountingPage TestPage;

MenuPage *RunCountingPage(MenuPage *page)
{
    CountingPage *counting = static_cast<CountingPage *>(page);
    ++counting->passes;
    return counting->passes >= counting->quitAfter ? nullptr : page;
}

MenuPage *MakeCountingPage(MenuPage *parent)
{
    const int quitAfter = TestPage.quitAfter;
    TestPage = CountingPage();
    TestPage.quitAfter = quitAfter;
    InitMenuPage(&TestPage, parent, RunCountingPage, nullptr, nullptr, nullptr, 1);
    SetCurrentScreen(&TestPage);
    return &TestPage;
}

// --- The run ---------------------------------------------------------------------------------

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string TimerLine()
{
    return "timer resolution " + std::to_string(PlatformTimerResolutionMs()) + " ms";
}

const std::vector<std::string> ShutdownLines = {
    "shutting down", "free objects", "free languages",
    "free controllers", "clear light map", "close sound", "close TrackIR", "free humans", "free font",
    "free helmet", "free host list", "kill graphics", "save controls", "save views", "save config",
    "free mouse", "EXIT",
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareProgramRun();
        ConsoleInput.clear();
        TestPage.quitAfter = 5;

        ProgramServices services = FakeProgramServices();
        services.readConsoleLine = FakeConsoleLine;
        services.firstPage = MakeCountingPage;
        services.noDisplay = 1;
        SetProgramServices(services);
    }

    void TearDown() override { SetProgramServices(ProgramServices{}); }

    int Run(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), "kzv");
        std::vector<char *> argv;
        for (std::string &argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        return RunProgram(static_cast<int>(arguments.size()), argv.data());
    }
};

std::vector<std::string> StartupLines()
{
    return {"KZV : 0.5Z28",        TimerLine(),    "read config",  "get command line",
            "load bans",           "load font",    "-----",        "create english file", "initialisations",
            "tables",              "load objects", "start intro",  "end of initialisation"};
}

TEST_F(ProgramTest, InvisibleHostStartsRunsAndShutsDownInOrder)
{
    const int code = Run({"/host=Test", "/dedicated=invisible"});

    EXPECT_EQ(code, 0);
    EXPECT_EQ(LogLines(), Concat(StartupLines(), ShutdownLines));
    EXPECT_EQ(TestPage.passes, 5);
    EXPECT_EQ(StartMode, StartModeHost);
    EXPECT_EQ(DedicatedMode, DedicatedInvisible);
    EXPECT_EQ(GraphicsEnabled, 0);

    // A dedicated host on the menus is held to the 25 ms floor; every pass
    // sleeps, and the game clock follows the paced wall time.
    EXPECT_EQ(Sleeps, std::vector<int>(5, 25));
    EXPECT_EQ(GameClock, 5u * 25u);
    EXPECT_EQ(FrameRandom, 781u);  // five steps of x * 5 + 1 from 0

    EXPECT_TRUE(fs::exists("cfg.txt"));
    EXPECT_TRUE(fs::exists("card_cfg.txt"));
    EXPECT_FALSE(fs::exists("data/file.fl"));
    EXPECT_TRUE(fs::is_directory("data/spr"));
    EXPECT_TRUE(fs::is_directory("data/grids"));
}

// The start-up track check: a "Map Name " that names no site gives the
// default site; a configuration, direction or light scheme the site lacks
// falls back to 1, forward and 0.
TEST_F(ProgramTest, StartUpKeepsOnlyATrackSelectionThatExists)
{
    struct Case {
        const char *cfg;
        const char *name;
        int config, flip, lighting;
    };
    const Case cases[] = {
        {"Map Name Nowhere Park\nConfig 2\nFlip 1\nLighting 2\n", SiteTable[DefaultTrackSite].name, 1, 0, 0},
        {"Map Name Harrow Fields\nConfig 9\nFlip 1\nLighting 3\n", "Harrow Fields", 1, 1, 0},
        {"Map Name Kestrel Water\nConfig 3\nFlip 1\nLighting 2\n", "Kestrel Water", 3, 0, 2},
        {"Map Name Kestrel Water\nConfig 2\nFlip 1\nLighting 1\n", "Kestrel Water", 2, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cfg);
        // A file of this version, past the welcome screen: the track keys count.
        std::ofstream("cfg.txt") << "Version " << ProgramVersion << "\nWelcome Z 0\n" << c.cfg;
        ASSERT_EQ(Run({"/host=Test", "/dedicated=invisible"}), 0);
        EXPECT_STREQ(MapName, c.name);
        EXPECT_EQ(TrackConfig, c.config);
        EXPECT_EQ(TrackFlip, c.flip);
        EXPECT_EQ(TrackLighting, c.lighting);
        TestPage.quitAfter = 5;
    }
}

TEST_F(ProgramTest, ConsoleHostRunsTypedLines)
{
    ConsoleInput = {"/echo hello", "", "/ff 123"};
    TestPage.quitAfter = 3;
    testing::internal::CaptureStdout();
    const int code = Run({"/host=Test /dedicated=nogfx"});
    const std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(code, 0);
    EXPECT_EQ(DedicatedMode, DedicatedConsole);
    EXPECT_NE(printed.find("hello"), std::string::npos);
    EXPECT_EQ(FfStrength, 123.0f);
    EXPECT_EQ(LogLines(), Concat(StartupLines(), ShutdownLines));
}

// A terminate signal takes the window-close path: the entry screen sees the
// exit and the program shuts down in order with exit code 0.
TEST_F(ProgramTest, TerminateSignalShutsDownInOrder)
{
    ProgramServices services = FakeProgramServices();
    services.noDisplay = 1;
    SetProgramServices(services);  // the real start-up and entry screens
    OnSleep = [](int n) {
        if (n == 3) {
            raise(SIGTERM);
        }
    };

    const int code = Run({"/host=Test", "/dedicated=invisible"});

    EXPECT_EQ(code, 0);
    EXPECT_EQ(LogLines(), Concat(StartupLines(), ShutdownLines));
    EXPECT_EQ(ExitState, 1);
    EXPECT_LE(Sleeps.size(), 5u);  // the pass after the signal ends the program
    EXPECT_TRUE(fs::exists("cfg.txt"));
}

TEST_F(ProgramTest, FailedStartStopsAtItsStepAndSavesNothing)
{
    const std::string bodyPath = std::string("data/veh/") + BodyCodes[5] + ".vob";
    const std::string enginePath = std::string("data/engine/") + CarTable[19].code + "_default.eng";
    const std::vector<std::string> toCommandLine = {"KZV : 0.5Z28", TimerLine(), "read config", "get command line"};
    struct Case {
        const char *name;
        std::function<void()> damage;
        std::vector<std::string> arguments;
        std::vector<std::string> logTail;  // after the lines up to "get command line"
        const char *boxText;               // on standard error without a display
    };
    const Case cases[] = {
        {"missing font", [] { fs::remove("data/abc/kzv.abc"); }, {"/host=T", "/dedicated=invisible"},
         {"load bans", "load font", "Could not load font"}, "Could not load font"},
        {"damaged font", [] { std::ofstream("data/abc/kzv.abc", std::ios::trunc) << "QZCHAR"; },
         {"/host=T", "/dedicated=nogfx"}, {"load bans", "load font", "Could not load font"}, "Could not load font"},
        {"missing body", [&] { fs::remove(bodyPath); }, {"/host=T", "/dedicated=invisible"},
         {"load bans", "load font", "-----", "create english file", "initialisations", "tables", "load objects",
          "Could not open file : data\\veh\\" + std::string(BodyCodes[5]) + ".vob"},
         "Could not open file :"},
        {"missing engine", [&] { fs::remove(enginePath); }, {"/host=T", "/dedicated=invisible"},
         {"Could not open file : data\\engine\\" + std::string(CarTable[19].code) + "_default.eng"},
         "Could not open file :"},
        {"missing skin", [] { fs::remove("data/skins/HEL_DEFAULT.jpg"); }, {"/host=T", "/dedicated=invisible"},
         {"Could not open file : data\\skins\\HEL_DEFAULT.jpg"}, "HEL_DEFAULT.jpg"},
        {"no data folder", [] { fs::rename("data", "elsewhere"); }, {"/host=T", "/dedicated=invisible"}, {},
         "Could not write to data folder: Is KZV correctly installed on a hard drive?"},
        {"test file refused", [] { fs::create_directory("data/file.fl"); }, {"/host=T", "/dedicated=invisible"},
         {}, "Could not write to data folder"},
        {"info before start", [] {}, {"/dedicated=invisible", "/host=T"}, {"Info parameter before start parameter"},
         "Info parameter before start parameter"},
        {"unknown dedicated", [] {}, {"/host=T", "/dedicated=maybe"}, {"Unknown dedicated option"},
         "Unknown dedicated option"},
    };
    fs::copy("data", "pristine", fs::copy_options::recursive);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.damage();

        testing::internal::CaptureStderr();
        const int code = Run(c.arguments);
        const std::string boxes = testing::internal::GetCapturedStderr();

        EXPECT_EQ(code, FailedStartExitCode);
        EXPECT_EQ(LogLines(), Concat(toCommandLine, c.logTail));
        EXPECT_NE(boxes.find(c.boxText), std::string::npos) << boxes;
        EXPECT_EQ(TestPage.passes, 0);
        EXPECT_FALSE(fs::exists("cfg.txt"));
        EXPECT_FALSE(fs::exists("card_cfg.txt"));
        fs::remove_all("elsewhere");
        fs::remove_all("data");
        fs::copy("pristine", "data", fs::copy_options::recursive);
        fs::remove("deb.log");
    }
}

// True when every line of `wanted` appears in `lines`, in the same order.
bool InOrder(const std::vector<std::string> &lines, const std::vector<std::string> &wanted)
{
    size_t next = 0;
    for (const std::string &line : lines) {
        if (next < wanted.size() && line == wanted[next]) {
            ++next;
        }
    }
    return next == wanted.size();
}

// With a display: the window opens, frames are drawn, and Esc on the entry
// screen or the window's close button ends the program in order.
TEST_F(ProgramTest, WindowRunsUntilEscOrCloseAndShutsDownInOrder)
{
    if (StartDisplay.empty()) {
        GTEST_SKIP() << "no display";
    }
    const PlatformEventKind endings[] = {PlatformEventKeyDown, PlatformEventClose};
    for (const PlatformEventKind ending : endings) {
        SCOPED_TRACE(ending == PlatformEventClose ? "close" : "Esc");
        SetUp();
        // Windowed: a full-screen start would switch the shared display's mode,
        // which the next run (and other tests) could catch half-way.
        std::ofstream("cfg.txt") << "Start Windowed 1\n";
        setenv("DISPLAY", StartDisplay.c_str(), 1);
        ProgramServices services = FakeProgramServices();
        SetProgramServices(services);  // the real start-up and entry screens, and the video
        static PlatformEventKind endWith;
        static int drawing;
        endWith = ending;
        drawing = 0;
        OnSleep = [](int n) {
            if (n == 3) {
                drawing = RenderDevice.Device != nullptr && NoDrawFlag == 0 && ScreenWidth > 0;
                PlatformEvent event{};
                event.kind = endWith;
                event.key = VkEscape;
                MainWindowProc(event);
                if (endWith == PlatformEventKeyDown) {
                    // Esc asks "Exit KZV?"; 'Y' answers yes.
                    event.key = 'Y';
                    MainWindowProc(event);
                }
            }
        };

        const int code = Run({});

        EXPECT_EQ(code, 0);
        EXPECT_TRUE(drawing);
        EXPECT_LE(Sleeps.size(), 5u);
        const std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "KZV : 0.5Z28");
        EXPECT_EQ(lines.back(), "EXIT");
        EXPECT_TRUE(InOrder(lines, {"read config", "get command line", "preinit d3d", "load bans", "load font",
                                    "create english file", "initialisations", "human system", "tables", "helmet",
                                    "controllers", "load objects", "default light map", "start intro",
                                    "end of initialisation", "shutting down", "free objects", "free languages",
                                    "free controllers", "clear light map", "close sound", "close TrackIR",
                                    "free humans", "free font", "free helmet", "free host list", "kill graphics",
                                    "save calibrations", "save controls", "save views", "save config",
                                    "free mouse", "EXIT"}));
        EXPECT_TRUE(fs::exists("cfg.txt"));
        EXPECT_TRUE(fs::exists("card_cfg.txt"));
        fs::remove("deb.log");
    }
}

TEST_F(ProgramTest, ReadOnlyDataFolderStopsTheStart)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "the superuser writes into read-only folders";
    }
    ASSERT_EQ(chmod("data", 0555), 0);
    testing::internal::CaptureStderr();
    const int code = Run({"/host=T", "/dedicated=invisible"});
    const std::string boxes = testing::internal::GetCapturedStderr();
    chmod("data", 0755);

    EXPECT_EQ(code, FailedStartExitCode);
    EXPECT_NE(boxes.find("Could not write to data folder"), std::string::npos) << boxes;
    EXPECT_EQ(LogLines().back(), "get command line");
    EXPECT_FALSE(fs::exists("cfg.txt"));
}

// A link that cannot be decoded ends the start before anything else: the
// starter reports the failed hand-over with exit code 1, not the failed-start
// code, and writes nothing.
TEST_F(ProgramTest, FailedHandOverExitsWithOne)
{
    testing::internal::CaptureStderr();
    const int code = Run({"kzv://log%3"});
    const std::string boxes = testing::internal::GetCapturedStderr();

    EXPECT_EQ(code, 1);
    EXPECT_NE(boxes.find("KZV was unable to interpret the request"), std::string::npos) << boxes;
    EXPECT_FALSE(fs::exists("cfg.txt"));
    EXPECT_FALSE(fs::exists("deb.log"));
}

}  // namespace
