#include "net/game_batch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/shell_globals.h"
#include "net/game_packets.h"
#include "net/net_session.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "vehicle/car_object.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "ui/message_lines.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Applied {
    int conn;
    Bytes packet;
};

// An offline session with handlers that record what they are given.
class GameBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedClock = GameClock;
        savedHost = IsHost;
        IsHost = 1;
        GameClock = 1000;
        ResetSessionAsHost();
        applied.clear();
        ClearMessageLines();
        for (int type : RecordedTypes) {
            SetGamePacketHandler(type, Record);
        }
    }
    void TearDown() override {
        for (int type : RecordedTypes) {
            SetGamePacketHandler(type, nullptr);
        }
        DeleteRaceObject();
        GameClock = savedClock;
        IsHost = savedHost;
        ResetSession(0, 0);
    }

    static void Record(int conn, const uint8_t *packet, int length) {
        applied.push_back({conn, Bytes(packet, packet + length)});
    }

    // One offline frame as the session runs it: the clock moves one frame,
    // the batch is flushed when the own ring needs it, the frame runs.
    static void OfflineFrame() {
        ++ClockFrame;
        if (static_cast<int32_t>(OwnFrameMark - ClockFrame) < 0) {
            FlushGameBatch(0);
        }
        RunSessionFrame();
    }

    static Bytes Packet(uint8_t type, int size, uint8_t fill = 0) {
        Bytes p(static_cast<size_t>(size), fill);
        p[0] = type;
        return p;
    }

    static std::vector<std::string> Messages() {
        std::vector<std::string> lines;
        for (int i = 0; i < MessageLineCount; ++i) {
            lines.emplace_back(MessageLines[i].Text);
        }
        return lines;
    }

    static constexpr int RecordedTypes[] = {8, 9, 12, 47, 13, 18, 28, 38, 39, 56, 67, 86};
    static inline std::vector<Applied> applied;
    uint32_t savedClock = 0;
    int savedHost = 0;
};

TEST_F(GameBatchTest, BatchAndRing)
{
    // A packet that does not fit sends the batch first.
    // (No game packet is 240 bytes long: it is refused when dispatched.)
    const Bytes small = Packet(47, 20, 1);
    const Bytes large = Packet(9, 240, 2);
    QueueGamePacket(small.data(), 20);
    EXPECT_EQ(GameBatchOut[0], 6 + 21);
    QueueGamePacket(large.data(), 240);
    EXPECT_EQ(GameBatchOut[0], 6 + 241);
    Conn &own = ConnTable[0];
    EXPECT_EQ(own.ringWrite, 21u + 1u);
    EXPECT_EQ(own.ring[0], 21);
    EXPECT_EQ(own.ring[1], 20);
    EXPECT_EQ(own.ring[2], 47);
    EXPECT_EQ(own.framesStored, 1u);

    // An empty batch stores a blank.
    FlushGameBatch(0);
    const uint32_t before = own.ringWrite;
    FlushGameBatch(0);
    EXPECT_EQ(own.ringWrite, before + 1);
    EXPECT_EQ(own.ring[before], 0);
    EXPECT_EQ(own.framesStored, 3u);

    // Entries are taken only while frames are stored beyond the session's,
    // and their packets are dispatched in order.
    RunSessionFrame();
    RunSessionFrame();
    RunSessionFrame();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].packet, small);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Invalid (9) - could not find connection"});
    EXPECT_EQ(own.ringRead, own.ringWrite);
    RunSessionFrame();  // nothing stored for this frame
    EXPECT_EQ(applied.size(), 1u);
    EXPECT_EQ(SessionFrameCount, 4u);
    EXPECT_FALSE(AllConnsCaughtUp());

    // A batch for a frame already run is counted, not stored.
    own.framesStored = 1;
    const uint32_t write = own.ringWrite;
    own.StoreBatch(small.data(), 20, 0);
    EXPECT_EQ(own.framesStored, 2u);
    EXPECT_EQ(own.ringWrite, write);
}

TEST_F(GameBatchTest, RingWrapsAt4096AndNeverHoldsAHalfEntry)
{
    Conn &own = ConnTable[0];
    own.ringRead = own.ringWrite = 4090;
    const Bytes packet = Packet(56, 8, 7);
    QueueGamePacket(packet.data(), 8);
    FlushGameBatch(0);
    EXPECT_EQ(own.ringWrite, (4090u + 10u) % 4096u);
    RunSessionFrame();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].packet, packet);

    // Filling the ring without taking: the entry that does not fit is
    // abandoned whole and reported, and every stored entry reads back whole.
    applied.clear();
    const Bytes big = Packet(67, 124, 3);
    int stored = 0;
    for (int i = 0; i < 40; ++i) {
        const uint32_t frames = own.framesStored;
        own.StoreBatch(nullptr, 0, 0);  // keep framesStored ahead of the session
        own.framesStored = frames;
        Bytes entry(1 + big.size());
        entry[0] = 124;
        std::memcpy(entry.data() + 1, big.data(), big.size());
        own.StoreBatch(entry.data(), static_cast<int>(entry.size()), 0);
        stored += own.framesStored != frames ? 1 : 0;
    }
    EXPECT_LT(stored, 40);
    bool reported = false;
    for (const std::string &line : Messages()) {
        reported = reported || line.find("OVERFLOW") != std::string::npos;
    }
    EXPECT_TRUE(reported);
    while (own.ringRead != own.ringWrite) {
        own.TakeBatch(0);
    }
    EXPECT_EQ(static_cast<int>(applied.size()), stored);
    for (const Applied &a : applied) {
        EXPECT_EQ(a.packet, big);
    }
}

TEST_F(GameBatchTest, InvalidPacketsAreRejectedAndUnknownHandlersDropped)
{
    struct Case {
        Bytes packet;
        int type;
    };
    const Case cases[] = {
        {Packet(0, 4), 0}, {Packet(16, 4), 16}, {Packet(61, 4), 61}, {Packet(86, 8), 86},
        {Packet(7, 60), 7}, {Packet(8, 8), 8}, {Packet(87, 4), 87},
    };
    for (const Case &c : cases) {
        ClearMessageLines();
        HandleGamePacket(0, c.packet.data(), static_cast<int>(c.packet.size()));
        EXPECT_EQ(Messages(), std::vector<std::string>{"Invalid (" + std::to_string(c.type) +
                                                       ") - could not find connection"});
    }
    EXPECT_TRUE(applied.empty());

    // A known type without its handler yet: nothing, silently.
    ClearMessageLines();
    const Bytes status = Packet(42, 4);
    HandleGamePacket(0, status.data(), 4);
    EXPECT_TRUE(Messages().empty());

    // The track only from the host's own batch.
    static int tracks = 0;
    SetGamePacketHandler(MP_TRACK, [](int, const uint8_t *, int) { ++tracks; });
    const Bytes track = Packet(MP_TRACK, 36);
    HandleGamePacket(1, track.data(), 36);
    EXPECT_EQ(tracks, 0);
    HandleGamePacket(0, track.data(), 36);
    EXPECT_EQ(tracks, 1);
    SetGamePacketHandler(MP_TRACK, nullptr);
}

TEST_F(GameBatchTest, RaceRulesAcrossHandlers)
{
    // Race progress waits for the start; settings do nothing in hot-lap mode.
    RaceObject *race = CreateRaceObject();
    race->countdownSeconds = 10;
    race->tick = 999;
    const Bytes split = Packet(38, 8);
    const Bytes length = Packet(28, 4);
    HandleGamePacket(0, split.data(), 8);
    EXPECT_TRUE(applied.empty());
    race->tick = 1000;
    HandleGamePacket(0, split.data(), 8);
    EXPECT_EQ(applied.size(), 1u);
    race->hotLapMode = 1;
    HandleGamePacket(0, length.data(), 4);
    EXPECT_EQ(applied.size(), 1u);
    race->hotLapMode = 0;
    SessionFrameCount = 50;
    HandleGamePacket(0, length.data(), 4);
    EXPECT_EQ(applied.size(), 2u);
    EXPECT_EQ(SyncDeadline, 250u);
}

TEST_F(GameBatchTest, PacketsOfATickApplyBeforeTheNextInQueueOrder)
{
    // Whatever the ticks per frame, each tick is a session frame: a packet
    // queued during tick N is applied before tick N + 1 runs.
    for (int ticksPerFrame : {1, 3, 7}) {
        SCOPED_TRACE(ticksPerFrame);
        ResetSessionAsHost();
        applied.clear();
        int tick = 0;
        for (int frame = 0; frame < 20; ++frame) {
            for (int t = 0; t < ticksPerFrame; ++t) {
                OfflineFrame();
                // Everything queued before this tick has been applied.
                EXPECT_EQ(static_cast<int>(applied.size()), tick * 2);
                const Bytes a = Packet(12, 4, static_cast<uint8_t>(tick));
                const Bytes b = Packet(13, 4, static_cast<uint8_t>(tick));
                QueueGamePacket(a.data(), 4);
                QueueGamePacket(b.data(), 4);
                ++tick;
            }
        }
        for (size_t i = 0; i < applied.size(); ++i) {
            EXPECT_EQ(applied[i].packet[0], i % 2 == 0 ? 12 : 13);
            EXPECT_EQ(applied[i].packet[1], static_cast<uint8_t>(i / 2));
            EXPECT_EQ(applied[i].conn, 0);
        }
    }
}

TEST_F(GameBatchTest, TwoHourRaceNeverOverflowsTheOwnRing)
{
    const Bytes packet = Packet(56, 8);
    uint32_t most = 0;
    for (int frame = 0; frame < 2 * 3600 * 100; ++frame) {
        for (int p = 0; p < 4; ++p) {
            QueueGamePacket(packet.data(), 8);
        }
        OfflineFrame();
        most = std::max(most, static_cast<uint32_t>(ConnCount));
        ASSERT_EQ(ConnTable[0].ringRead, ConnTable[0].ringWrite) << frame;
    }
    EXPECT_EQ(applied.size(), 4u * 2 * 3600 * 100);
    EXPECT_EQ(MessageLineCount, 0);
}

TEST_F(GameBatchTest, IdsSkipHeldConnectionAndRecentOnes)
{
    RaceObject *race = CreateRaceObject();
    PlayerInfo info{};
    info.playerId = 1;
    race->AddSlot(info);
    info.playerId = 2;
    race->AddSlot(info);
    ConnCount = 2;
    ConnTable[0].ucid = 1;
    ConnTable[1].ucid = 3;
    PushRecentId(4);
    EXPECT_EQ(NextFreePlayerId(), 5);
    EXPECT_EQ(RecentIds[0], 5);
    EXPECT_EQ(NextFreePlayerId(), 6);  // 5 is now recent
    for (int i = 0; i < 70; ++i) {
        PushRecentId(static_cast<uint8_t>(100 + i));
    }
    EXPECT_EQ(RecentIds[0], 169);
    EXPECT_EQ(RecentIds[63], 106);
    EXPECT_EQ(NextFreePlayerId(), 4);  // fell off the list
}

TEST_F(GameBatchTest, RemovingAConnectionMovesTheLastIntoItsPlace)
{
    RaceObject *race = CreateRaceObject();
    ConnCount = 4;
    OwnConnIndex = 3;
    for (int i = 0; i < 4; ++i) {
        ConnTable[i].ucid = static_cast<uint8_t>(10 + i);
        PlayerInfo info{};
        info.playerId = static_cast<uint8_t>(20 + i);
        info.connection = static_cast<uint8_t>(i);
        race->AddSlot(info);
    }
    RemoveConn(1);
    EXPECT_EQ(ConnCount, 3);
    EXPECT_EQ(ConnTable[1].ucid, 13);
    EXPECT_EQ(ConnTable[3].ucid, 0);
    EXPECT_EQ(OwnConnIndex, 1);
    ASSERT_EQ(race->slotCount, 3);
    EXPECT_EQ(race->slots[2].info.playerId, 23);
    EXPECT_EQ(race->slots[2].info.connection, 1);
    EXPECT_EQ(RecentIds[0], 11);

    // A player of a connection that is gone leaves in the next frame.
    race->slots[0].info.connection = 7;
    ClearMessageLines();
    for (int i = 0; i < ConnCount; ++i) {
        ConnTable[i].framesStored = 100;
    }
    RunSessionFrame();
    EXPECT_EQ(race->slotCount, 2);
    EXPECT_EQ(Messages(), std::vector<std::string>{"removed ^8 (bad connection)"});
}

TEST_F(GameBatchTest, APlayerOfALeavingConnectionTakesItsCarOutOfTheSession)
{
    // The cars are destroyed with their slots: none may stay in the
    // session's physics world.
    RaceObject *race = CreateRaceObject();
    GameSession session;
    GameSessionPtr = &session;
    ConnCount = 3;
    for (int i = 0; i < 3; ++i) {
        PlayerInfo info{};
        info.playerId = static_cast<uint8_t>(30 + i);
        info.connection = static_cast<uint8_t>(i);
        PlayerSlot *slot = race->AddSlot(info);
        slot->car = new CarObject;
        session.physics.Add(slot->car);
    }
    session.viewedCar = race->slots[1].car;
    RemoveConn(1);
    EXPECT_EQ(session.physics.bodyCount, 2);
    EXPECT_EQ(session.viewedCar, nullptr);

    // A player whose connection is gone leaves in the next frame, its car too.
    race->slots[1].info.connection = 9;
    for (int i = 0; i < ConnCount; ++i) {
        ConnTable[i].framesStored = 100;
    }
    RunSessionFrame();
    ASSERT_EQ(race->slotCount, 1);
    EXPECT_EQ(session.physics.bodyCount, 1);
    EXPECT_EQ(session.physics.bodies[0], race->slots[0].car);
    GameSessionPtr = nullptr;
}

TEST_F(GameBatchTest, ReliablePacketsAreCheckedAndHandledAtOnceOnTheHost)
{
    static std::vector<Bytes> handled;
    handled.clear();
    for (int type : {1, 3, 10, 80}) {
        SetReliablePacketHandler(type, [](int, const uint8_t *p, int n) { handled.emplace_back(p, p + n); });
    }
    Bytes text = Packet(1, 12);
    text[1] = 12;
    std::memcpy(text.data() + 4, "hello", 5);
    SendReliableToHost(text.data(), 12);
    ASSERT_EQ(handled.size(), 1u);

    struct Case {
        Bytes packet;
    };
    Bytes noEnd = text;
    noEnd[11] = 'x';
    Bytes badSize = text;
    badSize[1] = 16;
    Bytes join = Packet(3, 68);
    join[27] = 'x';
    Bytes track = Packet(10, 36);
    track[35] = 1;
    const Bytes invalid[] = {noEnd, badSize, Packet(1, 6), join, Packet(3, 64), track, Packet(80, 20)};
    for (const Bytes &p : invalid) {
        ClearMessageLines();
        HandleReliablePacket(p.data(), 0, static_cast<int>(p.size()));
        EXPECT_EQ(MessageLineCount, 1);
    }
    EXPECT_EQ(handled.size(), 1u);
    HandleReliablePacket(Packet(80, 24).data(), 0, 24);
    EXPECT_EQ(handled.size(), 2u);
    for (int type : {1, 3, 10, 80}) {
        SetReliablePacketHandler(type, nullptr);
    }
}

}  // namespace
