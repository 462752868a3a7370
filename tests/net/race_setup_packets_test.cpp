#include "net/race_setup_packets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/shell_globals.h"
#include "net/game_batch.h"
#include "net/game_packets.h"
#include "net/net_session.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "ui/message_lines.h"
#include "vehicle/car_object.h"
#include "world/layout_packets.h"
#include "world/world.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> printed;
int startChecks = 0;

// An offline session as its own host over a bare world of `positions` start
// places, the grid packets registered, the race links' messages captured.
class RaceSetupPacketsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLinks = RaceLinks;
        savedHooks = SetupHooks;
        savedHost = IsHost;
        savedClock = GameClock;
        IsHost = 1;
        GameClock = 1000;
        printed.clear();
        startChecks = 0;
        RaceLinks = RaceLinkServices{};
        RaceLinks.printMessage = [](const char *text, int) { printed.emplace_back(text); };
        RaceLinks.queueGamePacket = QueueGamePacket;
        RaceLinks.flushGameBatch = [] { FlushGameBatch(0); };
        SetupHooks = RaceSetupHooks{};
        SetupHooks.startCheck = [] { ++startChecks; };
        RegisterRaceSetupPackets();
        ResetSessionAsHost();
        RaceCarLimit = 20;
        world = WorldCreate();
        world->startPositionCount = 4;
        world->config = 0;
        CurrentWorld = world;
        race = CreateRaceObject();
    }
    void TearDown() override {
        DeleteRaceObject();
        CurrentWorld = nullptr;
        WorldDestroy(world);
        for (int type = 0; type <= MaxGamePacketType; ++type) {
            SetGamePacketHandler(type, nullptr);
        }
        SetReliablePacketHandler(MP_TEXT, nullptr);
        SetReliablePacketHandler(MP_REQ_JOIN, nullptr);
        RaceLinks = savedLinks;
        SetupHooks = savedHooks;
        IsHost = savedHost;
        GameClock = savedClock;
        GameState = 1;
        ResetSession(0, 0);
    }

    // The next session frame, as the lobby runs it.
    static void NextFrame() {
        ++ClockFrame;
        if (static_cast<int32_t>(OwnFrameMark - ClockFrame) < 0) {
            FlushGameBatch(1);
        }
        RunSessionFrame();
    }
    static bool BatchEmpty() { return GameBatchOut[0] == GameBatchHeaderSize; }
    static bool Printed(const char *text) {
        for (const std::string &line : printed) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    static Bytes JoinRequest(const char *name, uint8_t kind = KindLocal) {
        PlayerInfo info{};
        std::snprintf(info.name, sizeof(info.name), "%s", name);
        info.kind = kind;
        Bytes packet(68, 0);
        packet[0] = MP_REQ_JOIN;
        PackPlayerInfo(info, packet.data() + 4);
        return packet;
    }
    static void Game(const Bytes &packet, int conn = 0) {
        HandleGamePacket(conn, packet.data(), static_cast<int>(packet.size()));
    }
    PlayerSlot *Add(const char *name, uint8_t id, uint8_t kind = KindLocal) {
        PlayerInfo info{};
        std::snprintf(info.name, sizeof(info.name), "%s", name);
        info.kind = kind;
        info.playerId = id;
        PlayerSlot *slot = race->AddSlot(info);
        std::snprintf(slot->carName, sizeof(slot->carName), "car %d", id);
        return slot;
    }

    RaceObject *race = nullptr;
    World *world = nullptr;
    RaceLinkServices savedLinks{};
    RaceSetupHooks savedHooks{};
    int savedHost = 0;
    uint32_t savedClock = 0;
};

TEST_F(RaceSetupPacketsTest, JoinRequestsBecomeNewPlayersWithDistinctIdsOrAreRefused)
{
    // Two requests in one frame: two players with different ids.
    HandleReliablePacket(JoinRequest("Anna").data(), 0, 68);
    HandleReliablePacket(JoinRequest("Bert", KindLocalAi).data(), 0, 68);
    // Each request flushed its own batch: one applies a frame.
    NextFrame();
    NextFrame();
    ASSERT_EQ(race->slotCount, 2);
    EXPECT_NE(race->slots[0].info.playerId, 0);
    EXPECT_NE(race->slots[0].info.playerId, race->slots[1].info.playerId);

    struct Case {
        const char *name;
        int fill;            // slots on the grid first
        const char *message;
    };
    const Case cases[] = {
        {"Anna", 2, "Name is already used"},
        {"Carl", 4, "Race is full"},
    };
    for (const Case &c : cases) {
        while (race->slotCount < c.fill) {
            Add("Filler", static_cast<uint8_t>(100 + race->slotCount));
        }
        printed.clear();
        const uint32_t stored = ConnTable[0].framesStored;
        HandleReliablePacket(JoinRequest(c.name).data(), 0, 68);
        EXPECT_TRUE(Printed(c.message)) << c.name;
        EXPECT_TRUE(BatchEmpty()) << c.name;
        EXPECT_EQ(ConnTable[0].framesStored, stored) << c.name;
    }
    // A request whose name or helmet is not ended is invalid.
    Bytes bad = JoinRequest("Dora");
    bad[27] = 'x';
    const int before = race->slotCount;
    HandleReliablePacket(bad.data(), 0, 68);
    EXPECT_TRUE(BatchEmpty());
    NextFrame();
    EXPECT_EQ(race->slotCount, before);
}

TEST_F(RaceSetupPacketsTest, RemovePlayerRemovesSwapsWholeSlotsAndClears)
{
    PlayerSlot *a = Add("Anna", 1);
    Add("Bert", 2, KindLocalAi);
    Add("Carl", 3);
    a->info.fuel[0] = 77;
    Game({MP_REMOVE_PLAYER, 1, 1, 3});
    EXPECT_STREQ(SlotName(&race->slots[0]), "Carl");
    EXPECT_STREQ(SlotName(&race->slots[2]), "Anna");
    EXPECT_EQ(race->slots[2].info.fuel[0], 77);
    EXPECT_STREQ(race->slots[2].carName, "car 1");
    EXPECT_EQ(startChecks, 1);
    Game({MP_REMOVE_PLAYER, 0, 2, 0});
    ASSERT_EQ(race->slotCount, 2);
    EXPECT_STREQ(SlotName(&race->slots[1]), "Anna");
    Game({MP_REMOVE_PLAYER, 2, 0, 0});
    EXPECT_EQ(race->slotCount, 0);
    EXPECT_STREQ(race->slots[0].info.name, "");
    // Not during a race.
    Add("Dora", 4);
    GameState = 2;
    Game({MP_REMOVE_PLAYER, 2, 0, 0});
    EXPECT_EQ(race->slotCount, 1);
}

TEST_F(RaceSetupPacketsTest, SettingsPacketsClampAndDoNothingWhileHotLapping)
{
    struct Case {
        Bytes packet;
        int qualify, length, wind;
    };
    const Case cases[] = {
        {{MP_WIND, 7, 0, 0}, 0, 5, 2},
        {{MP_WIND, 1, 0, 0}, 0, 5, 1},
        {{MP_RACE_RESET_LAPS, 250, 0, 0}, 0, 190, 1},
        {{MP_QUALIFY_MINUTES, 20, 0, 0}, 20, 190, 1},
        {{MP_RACE_LENGTH, 0, 0xee, 0}, 20, 238, 1},
        {{MP_RACE_LENGTH, 0, 0x2c, 0x01}, 20, 238, 1},  // 300 is capped
        {{MP_RACE_RESET_LAPS, 12, 0, 0}, 0, 12, 1},
    };
    race->raceLength = 5;
    race->wind = 0;
    for (const Case &c : cases) {
        Game(c.packet);
        EXPECT_EQ(race->qualifyMinutes, c.qualify) << int(c.packet[0]);
        EXPECT_EQ(race->raceLength, c.length) << int(c.packet[0]);
        EXPECT_EQ(race->wind, c.wind) << int(c.packet[0]);
    }
    EXPECT_EQ(SetupWind, 1);
    EXPECT_EQ(SetupRaceLength, 12);
    race->hotLapMode = 1;
    Game({MP_WIND, 2, 0, 0});
    Game({MP_RACE_RESET_LAPS, 40, 0, 0});
    Game({MP_QUALIFY_MINUTES, 9, 0, 0});
    EXPECT_EQ(race->wind, 1);
    EXPECT_EQ(race->raceLength, 12);
    EXPECT_EQ(race->qualifyMinutes, 0);
}

TEST_F(RaceSetupPacketsTest, PlayerPacketsKeepTheirBounds)
{
    PlayerSlot *slot = Add("Anna", 5);
    slot->info.flags = 0x0101;
    // Bits outside the sent mask cannot be cleared, only ORed in.
    Game({MP_PLAYER_FLAGS, 5, 0x08, 0x00});
    EXPECT_EQ(slot->info.flags, 0x0109);
    Game({MP_PLAYER_FLAGS, 5, 0x00, 0x00});
    EXPECT_EQ(slot->info.flags, 0x0101);
    Game({MP_PLAYER_FLAGS, 5, 0x02, 0x00});
    EXPECT_EQ(slot->info.flags, 0x0103);

    Game({MP_PLAYER_PERCENTS, 5, 0, 0, 250, 100, 30, 101});
    EXPECT_EQ(slot->info.fuel[0], 100);
    EXPECT_EQ(slot->info.fuel[1], 100);
    EXPECT_EQ(slot->info.fuel[2], 30);
    EXPECT_EQ(slot->info.fuel[3], 100);

    slot->setup.maxLock = 30;
    slot->skinTime = 9;
    Game({MP_GAME_86, 5, 0, 0});
    EXPECT_EQ(slot->setup.maxLock, 0);
    EXPECT_EQ(slot->skinTime, 0u);
    EXPECT_STREQ(slot->carName, "car 5");

    // Packets for ids nobody holds do nothing.
    Game({MP_PLAYER_PERCENTS, 9, 0, 0, 1, 1, 1, 1});
    Game({MP_PLAYER_FLAGS, 9, 0xff, 0xff});
    EXPECT_EQ(slot->info.fuel[3], 100);
}

TEST_F(RaceSetupPacketsTest, CarInfoForAnUnknownIdOrASlotThatHasACarIsRefused)
{
    Bytes info(CarInfoPacketSize, 0);
    info[0] = MP_CAR_INFO;
    info[1] = 7;
    Game(info);
    EXPECT_TRUE(Printed("Could not add car info - unknown id"));

    PlayerSlot *slot = Add("Anna", 7);
    slot->car = new CarObject;
    GameState = 2;
    printed.clear();
    Game(info);
    EXPECT_TRUE(Printed("Anna^8 already has a car"));
    EXPECT_STREQ(slot->carName, "car 7");
    EXPECT_TRUE(BatchEmpty());
}

TEST_F(RaceSetupPacketsTest, EntryVotesMarkTheSenderReadyAndRunTheStartCheck)
{
    Game({MP_ENTRY_VOTE, 1, 0, 0});
    EXPECT_EQ(ConnTable[0].ready, 1);
    EXPECT_EQ(startChecks, 1);
    Game({MP_ENTRY_VOTE, 0, 0, 0});
    EXPECT_EQ(ConnTable[0].ready, 0);
    JoinInProgress = 1;
    Game({MP_ENTRY_VOTE, 1, 0, 0});
    JoinInProgress = 0;
    EXPECT_EQ(startChecks, 2);
    // The garage request in the lobby takes the ready vote back.
    ConnTable[0].ready = 1;
    Game({MP_TO_PITS, 0, 0, 0});
    EXPECT_EQ(ConnTable[0].ready, 0);
}

TEST_F(RaceSetupPacketsTest, ChatTextsShowWithTheSendersNameAndBadSizesAreRejected)
{
    std::snprintf(ConnTable[0].name, sizeof(ConnTable[0].name), "Anna");
    ClearMessageLines();
    Bytes text = {MP_TEXT, 12, 0, 0, 'h', 'e', 'l', 'l', 'o', 0, 0, 0};
    HandleReliablePacket(text.data(), 0, static_cast<int>(text.size()));
    ASSERT_GE(MessageLineCount, 1);
    EXPECT_NE(std::strstr(MessageLines[MessageLineCount - 1].Text, "Anna"), nullptr);
    EXPECT_NE(std::strstr(MessageLines[MessageLineCount - 1].Text, "hello"), nullptr);
    // A size byte that does not agree, or no zero at the end: not shown.
    ClearMessageLines();
    text[1] = 16;
    HandleReliablePacket(text.data(), 0, static_cast<int>(text.size()));
    text[1] = 12;
    text[11] = 'x';
    HandleReliablePacket(text.data(), 0, static_cast<int>(text.size()));
    for (int i = 0; i < MessageLineCount; ++i) {
        EXPECT_EQ(std::strstr(MessageLines[i].Text, "hello"), nullptr);
    }
}

TEST_F(RaceSetupPacketsTest, AQueuedPacketIsAppliedInTheNextFrame)
{
    Add("Anna", 3);
    NextFrame();
    const uint8_t packet[4] = {MP_WIND, 2, 0, 0};
    QueueGamePacket(packet, sizeof(packet));
    EXPECT_NE(race->wind, 2);
    NextFrame();
    EXPECT_EQ(race->wind, 2);
}

}  // namespace
