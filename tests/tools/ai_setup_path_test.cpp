// Computer drivers through the race setup path over the generated default
// site: "/ai" adds them, "/ready" checks them (configuration, wind, their
// knowledge and set-ups) and starts their race.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/command_services.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "net/race_setup_packets.h"
#include "screens/main_menu.h"
#include "screens/setup_screen.h"
#include "tests/tools/ai_race_fixture.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "world/path.h"

namespace {

class AiSetupPathTest : public AiRaceFixture {
protected:
    void SetUp() override
    {
        AiRaceFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        std::memcpy(savedCar, SelectedCarName, sizeof(savedCar));
        std::memcpy(&savedName, &PlayerName, sizeof(savedName));
        std::memcpy(savedNames, AiDriverNames, sizeof(savedNames));
        savedWind = SetupWind;
        savedPly = AiUsePlySetup;
        DefaultDriverNames();
        SelectConfig(world, 1, 0);
        TrackConfig = 1;
        TrackFlip = 0;
        RegisterCommandServices();
        ResetSession(1, 0);
        std::snprintf(SelectedCarName, sizeof(SelectedCarName), "%s", CarTable[0].name);
        std::snprintf(PlayerName.name, sizeof(PlayerName.name), "Driver");
        std::filesystem::create_directories("data/grids");
        std::filesystem::remove("data/grids/cfg.rac");
        ClearMessageLines();
        SetCurrentScreen(nullptr);
        MainMenuScreen(nullptr);
        ASSERT_EQ(IsMainMenuIdle(), 1);
    }
    void TearDown() override
    {
        ExitState = 1;
        for (int i = 0; i < 20 && MainMenuPage != nullptr; ++i) {
            Frame();
        }
        ExitState = 0;
        AiRaceFixture::TearDown();
        SetCommandServices(CommandServices{});
        SetCurrentScreen(nullptr);
        std::memcpy(SelectedCarName, savedCar, sizeof(savedCar));
        std::memcpy(&PlayerName, &savedName, sizeof(savedName));
        std::memcpy(AiDriverNames, savedNames, sizeof(savedNames));
        SetupWind = savedWind;
        AiUsePlySetup = savedPly;
        std::filesystem::remove("data/grids/cfg.rac");
    }

    static void Frame(uint32_t ms = 10)
    {
        GameClock += ms;
        if (MainMenuPage != nullptr) {
            MainMenuPage->Run(MainMenuPage);
        }
    }

    static bool Printed(const char *text)
    {
        for (int i = 0; i < MessageLineCount; ++i) {
            if (std::strstr(MessageLines[i].Text, text) != nullptr) {
                return true;
            }
        }
        return false;
    }

    // The lobby with the local driver and three computer drivers whose car
    // records have arrived.
    void LobbyWithThreeAi()
    {
        ExecuteCommand(CommandSourceLocal, "/sp", 0);
        ASSERT_NE(SetupScreenPtr, nullptr);
        Frame();
        Frame();
        ASSERT_EQ(RaceObjectPtr->slotCount, 1);
        for (int i = 0; i < 3; ++i) {
            ExecuteCommand(CommandSourceLocal, "/ai", 0);
            Frame();
        }
        Frame();
        ASSERT_EQ(RaceObjectPtr->slotCount, 4);
    }

private:
    char savedCar[32] = {};
    PlayerNameRecord savedName{};
    AiDriverRecord savedNames[AiDriverCount] = {};
    int savedWind = 0;
    int savedPly = 0;
};

}  // namespace

// Three "/ai" and "/ready": refused while the car records are on their way,
// then the race starts with the three drivers, their set-ups matching their
// knowledge, and they leave the grid.
TEST_F(AiSetupPathTest, ThreeAiCommandsAndReadyStartARaceOfComputerDrivers)
{
    LobbyWithThreeAi();
    RaceObject *race = RaceObjectPtr;
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(race->slots[i].info.kind, KindLocalAi) << i;
        EXPECT_EQ(race->slots[i].info.flags & 512, 512) << i;   // the automatic clutch
    }
    // Distinct names, none the player's.
    EXPECT_STRNE(race->slots[1].info.name, race->slots[2].info.name);
    EXPECT_STRNE(race->slots[2].info.name, race->slots[3].info.name);
    int frames = 0;
    while (IsGridIncomplete() && frames < 20) {
        ExecuteCommand(CommandSourceLocal, "/ready", 0);
        Frame();
        EXPECT_EQ(GameSessionPtr, nullptr);
        ++frames;
    }
    ASSERT_EQ(IsGridIncomplete(), 0);
    ExecuteCommand(CommandSourceLocal, "/ready", 0);
    for (int i = 0; i < 3 && GameSessionPtr == nullptr; ++i) {
        Frame();
    }
    ASSERT_NE(GameSessionPtr, nullptr);
    ASSERT_EQ(race->slotCount, 4);
    EXPECT_TRUE(Printed("lap fuel"));
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        const PlayerSlot &slot = race->slots[i];
        ASSERT_NE(slot.ai, nullptr);
        AiKnowledge k;
        char name[64];
        char code[4];
        ASSERT_EQ(MakeKnowledgeFileNameForCar(name, sizeof(name), code, slot.carName), 1);
        ASSERT_EQ(k.Load(name, world->currentPath->nodeCount), 1);
        EXPECT_EQ(k.MatchSettings(slot.setup), 1);
        k.Clear();
        EXPECT_EQ(slot.info.fuel[2], 30);
        EXPECT_EQ(slot.info.fuel[3], 1);
    }
    // Twenty seconds of race: the drivers are under way.
    GameClock = InitTime + SessionFrameCount * 10;
    for (int t = 0; t < 3000 && GameSessionPtr != nullptr; ++t) {
        Frame();
    }
    for (int i = 1; i < 4; ++i) {
        ASSERT_NE(race->slots[i].ai, nullptr);
        EXPECT_EQ(race->slots[i].ai->mode, AiRacing) << i;
        EXPECT_GT(race->slots[i].car->speed, 5.0f) << i;
    }
}

// The ready vote's refusals: wind, and a set-up that does not match the
// knowledge while "AI Use Ply Setup " is 0.
TEST_F(AiSetupPathTest, ReadyIsRefusedInWindAndWithAnotherSetup)
{
    LobbyWithThreeAi();
    for (int i = 0; i < 20 && IsGridIncomplete(); ++i) {
        Frame();
    }
    ASSERT_EQ(IsGridIncomplete(), 0);
    SetupWind = 1;
    ExecuteCommand(CommandSourceLocal, "/ready", 0);
    Frame();
    Frame();
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_TRUE(Printed("AI drivers can't yet drive in windy conditions"));
    SetupWind = 0;

    RaceObjectPtr->slots[2].setup.rearWing = static_cast<uint8_t>(RaceObjectPtr->slots[2].setup.rearWing + 1);
    AiUsePlySetup = 0;
    EXPECT_EQ(SetupAiDriver(SetupScreenPtr), 0);
    EXPECT_TRUE(Printed("ERROR : AI driver settings do not match -"));
    // With the player's set-up allowed the check passes, and the message
    // line takes its short form.
    AiUsePlySetup = 1;
    ClearMessageLines();
    EXPECT_EQ(SetupAiDriver(SetupScreenPtr), 1);
    EXPECT_TRUE(Printed(" : lap fuel "));
    EXPECT_FALSE(Printed("fdr"));
}

// A configuration without an AI line; practice on a path without pit
// nodes.
TEST_F(AiSetupPathTest, AiCannotDriveReasonNeedsAnAiLine)
{
    EXPECT_STREQ(AiCannotDriveReason(nullptr, 0), "AI can't drive on this configuration");
    Path empty;
    EXPECT_STREQ(AiCannotDriveReason(&empty, 1), "AI can't drive on this configuration");
    const Path &path = *world->currentPath;
    ASSERT_GE(path.finishNode, 0);
    EXPECT_EQ(AiCannotDriveReason(&path, 0), nullptr);
    EXPECT_EQ(AiCannotDriveReason(&path, 1), nullptr);
    SelectConfig(world, 3, 0);   // the open configuration has no pit lane
    const Path &open = *world->currentPath;
    bool pitNodes = false;
    for (int i = 0; i < open.secondNodeCount; ++i) {
        pitNodes = pitNodes || (open.secondNodes[i].flags & 8) != 0;
    }
    if (!pitNodes) {
        const int savedLength = SetupRaceLength;
        SetupRaceLength = 0;
        EXPECT_STREQ(AiCannotDriveReason(&open, 1), "AI can't drive on this configuration");
        SetupRaceLength = savedLength;
    }
    SelectConfig(world, 1, 0);
}

// Names: "/ai" with a name takes that driver; an unknown name is refused;
// with every name taken (here: all the player's) "/ai" does nothing.
TEST_F(AiSetupPathTest, NamedAndExhaustedAiNames)
{
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    Frame();
    Frame();
    ASSERT_EQ(RaceObjectPtr->slotCount, 1);
    char line[64];
    std::snprintf(line, sizeof(line), "/ai %s", AiDriverNames[7].name);
    ExecuteCommand(CommandSourceLocal, line, 0);
    Frame();
    ASSERT_EQ(RaceObjectPtr->slotCount, 2);
    EXPECT_STREQ(RaceObjectPtr->slots[1].info.name, AiDriverNames[7].name);
    // The same name again is no longer free.
    ExecuteCommand(CommandSourceLocal, line, 1);
    EXPECT_STREQ(CommandErrorText, "Unknown AI driver");
    ExecuteCommand(CommandSourceLocal, "/ai Nobody Known", 1);
    EXPECT_STREQ(CommandErrorText, "Unknown AI driver");

    for (AiDriverRecord &record : AiDriverNames) {
        std::snprintf(record.name, sizeof(record.name), "Driver");
    }
    int index = -1;
    EXPECT_EQ(FindFreeAiName(&index), 0);
    ExecuteCommand(CommandSourceLocal, "/ai", 0);
    Frame();
    EXPECT_EQ(RaceObjectPtr->slotCount, 2);
}
