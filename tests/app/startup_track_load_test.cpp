#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/debug_log.h"
#include "core/fixed_math.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "screens/main_menu.h"
#include "screens/startup_screen.h"
#include "tools/default_track.h"
#include "ui/menu_page.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

// The start-up page loads the "Map Name " track one load step per main-loop
// pass, in 100 ms slices, logs each new progress text and goes back to 50 ms
// slices at the end; a track that fails to load leaves no world.
namespace {

uint32_t FakeClock()
{
    static uint32_t now = 0;
    return now += 1;
}

void IgnoreMessage(const char *, int) {}

// The "track : " lines of the debug log, without their time stamps.
std::vector<std::string> TrackLogLines()
{
    std::vector<std::string> lines;
    std::ifstream in(DefaultDebugLogName);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find("track : ");
        if (at != std::string::npos) {
            lines.push_back(line.substr(at));
        }
    }
    return lines;
}

class StartupTrackLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildTrigTables();
        SetLoadClock(FakeClock);
        SetWorldMessagePrinter(IgnoreMessage);
        SetCurrentScreen(nullptr);
        hadData = std::filesystem::exists("data");
        std::memcpy(savedMapName, MapName, sizeof MapName);
        savedConfig = TrackConfig;
        savedFlip = TrackFlip;
        savedLighting = TrackLighting;
        ASSERT_EQ(WriteDefaultTrack("."), nullptr);
        std::snprintf(MapName, sizeof MapName, "%s", SiteTable[DefaultTrackSite].name);
        TrackConfig = 1;
        TrackFlip = 0;
        TrackLighting = 0;
        LoadSliceMs = DefaultLoadSliceMs;
        DeleteDebugLog();
    }
    void TearDown() override
    {
        UnloadRaceTrack();
        SetCurrentScreen(nullptr);
        SetWorldMessagePrinter(nullptr);
        SetLoadClock(nullptr);
        LoadSliceMs = DefaultLoadSliceMs;
        std::memcpy(MapName, savedMapName, sizeof MapName);
        TrackConfig = savedConfig;
        TrackFlip = savedFlip;
        TrackLighting = savedLighting;
        if (!hadData) {
            std::filesystem::remove_all("data");
        }
    }

    // Runs the start-up page until it closes; returns the main-loop passes it
    // took and whether every pass while loading ran with the intro slice.
    int RunStartupPage(bool &introSliceWhileLoading)
    {
        introSliceWhileLoading = true;
        MenuPage *page = StartupScreen(nullptr);
        int passes = 0;
        while (page->Active && passes < 10000) {
            EXPECT_EQ(page->Run(page), page);
            ++passes;
            if (page->Active && CurrentWorld && CurrentWorld->loadState != 0) {
                introSliceWhileLoading = introSliceWhileLoading && LoadSliceMs == IntroLoadSliceMs;
            }
        }
        // The closed page frees itself and opens the entry screen, which is
        // closed again here.
        MenuPage *menu = page->Run(page);
        EXPECT_EQ(menu, MainMenuPage);
        if (menu) {
            ClosePage(menu);
            EXPECT_EQ(menu->Run(menu), nullptr);
        }
        return passes;
    }

    bool hadData = false;
    char savedMapName[sizeof MapName] = {};
    int savedConfig = 0;
    int savedFlip = 0;
    int savedLighting = 0;
};

TEST_F(StartupTrackLoad, DefaultSiteLoadsInIntroSlicesAndLogsEveryStage)
{
    bool introSlice = false;
    const int passes = RunStartupPage(introSlice);
    EXPECT_TRUE(introSlice);
    EXPECT_GT(passes, 16);   // one stage a pass at least, the object stage over several
    EXPECT_EQ(LoadSliceMs, DefaultLoadSliceMs);
    ASSERT_NE(CurrentWorld, nullptr);
    EXPECT_EQ(CurrentWorld->loadState, 0);
    EXPECT_FALSE(WorldLoadFailed(CurrentWorld));
    EXPECT_EQ(CurrentWorld->config, 1);

    const std::vector<std::string> lines = TrackLogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "track : Paths");
    EXPECT_EQ(lines.back(), "track : FINISHED");
    // Each text is logged once, when it first shows.
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_NE(lines[i], lines[i - 1]);
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), "track : Reading objects"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "track : Map squares"), lines.end());
}

// A world file that ends inside its objects: the load ends without
// "FINISHED", the page says so, and no world is left current.
TEST_F(StartupTrackLoad, FailedLoadLeavesNoWorld)
{
    const std::string file = std::string("data/wld/") + SiteTable[DefaultTrackSite].name + ".wld";
    const auto size = std::filesystem::file_size(file);
    std::filesystem::resize_file(file, size / 2);
    bool introSlice = false;
    RunStartupPage(introSlice);
    EXPECT_TRUE(introSlice);
    EXPECT_EQ(LoadSliceMs, DefaultLoadSliceMs);
    EXPECT_EQ(CurrentWorld, nullptr);
    const std::vector<std::string> lines = TrackLogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "track : Paths");
    EXPECT_EQ(lines.back(), "track : load failed");
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "track : FINISHED"), lines.end());
}

// A site whose files do not exist never starts loading.
TEST_F(StartupTrackLoad, MissingTrackIsNotLoaded)
{
    std::filesystem::remove_all("data/wld");
    bool introSlice = false;
    EXPECT_EQ(RunStartupPage(introSlice), 1);
    EXPECT_EQ(LoadSliceMs, DefaultLoadSliceMs);
    EXPECT_EQ(CurrentWorld, nullptr);
    EXPECT_TRUE(TrackLogLines().empty());
}

}  // namespace
