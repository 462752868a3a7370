#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/data_stream.h"
#include "tests/world/layout_fixture.h"

namespace {

std::vector<uint8_t> EditPacket(uint8_t action, const LayoutRecord &record, int length = LayoutEditPacketSize)
{
    std::vector<uint8_t> packet(static_cast<size_t>(length) + 1, 0);
    packet[0] = MP_LAYOUT_EDIT;
    packet[1] = action;
    LayoutRecordToBytes(record, &packet[4]);
    packet.resize(static_cast<size_t>(length));
    return packet;
}

// count, then 17 crates in a row at the record's y.
std::vector<uint8_t> ObjectsPacket(int count, const LayoutRecord &record, int length = LayoutObjectsPacketSize)
{
    std::vector<uint8_t> packet(LayoutObjectsPacketSize + 8, 0);
    packet[0] = MP_LAYOUT_OBJECTS;
    packet[1] = static_cast<uint8_t>(count);
    for (int i = 0; i < LayoutChunkRecords + 1; ++i) {
        LayoutRecordToBytes(LayoutObjectRecord(40.0f + 2.0f * static_cast<float>(i), record.y / 16.0f, 0.0f, 0, 0.0f),
                            &packet[4 + 8 * i]);
    }
    packet.resize(static_cast<size_t>(length));
    return packet;
}

// count crates in a row off the ground, as a layout file of the given name.
std::vector<LayoutRecord> WriteRowLayout(const char *name, int count)
{
    std::vector<LayoutRecord> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(LayoutObjectRecord(20.0f + static_cast<float>(i), 30.0f, 0.0f, 0, 0.0f));
    }
    char path[64];
    MakeLayoutPath(path, sizeof path, name);
    EXPECT_EQ(WriteLayoutFile(path, records.data(), count, 3), nullptr);
    return records;
}

} // namespace

TEST(LayoutSending, FortyRecordsGoAsSixteenSixteenAndEight)
{
    LayoutScene scene;
    LayoutScene::CapturePackets();
    static int hostState = -1;
    LayoutServices services = GetLayoutServices();
    services.setHostLayoutState = [](int state) { hostState = state; };
    SetLayoutServices(services);
    std::filesystem::create_directories("data/layout");
    const std::vector<LayoutRecord> records = WriteRowLayout("row", 40);

    StartLayoutLoad("row");
    EXPECT_EQ(hostState, 2);
    SendLayoutChunk();
    SendLayoutChunk();
    SendLayoutChunk();   // nothing left: nothing sent
    const std::vector<std::vector<uint8_t>> &sent = SentPackets();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], EditPacket(LayoutActionRemoveAll, LayoutRecord{}));
    const int counts[3] = {16, 16, 8};
    int next = 0;
    for (int p = 0; p < 3; ++p) {
        const std::vector<uint8_t> &packet = sent[1 + p];
        ASSERT_EQ(packet.size(), 132u);
        EXPECT_EQ(packet[0], MP_LAYOUT_OBJECTS);
        EXPECT_EQ(packet[1], counts[p]);
        EXPECT_EQ(packet[2], p == 2 ? 1 : 0);
        for (int i = 0; i < LayoutChunkRecords; ++i) {
            const LayoutRecord got = LayoutRecordFromBytes(&packet[4 + 8 * i]);
            if (i < counts[p]) {
                EXPECT_TRUE(SameRecord(got, records[static_cast<size_t>(next++)]));
            } else {
                EXPECT_TRUE(SameRecord(got, LayoutRecord{}));
            }
        }
    }
    EXPECT_EQ(LayoutStream.file, nullptr);

    // A layout without records: the track counts as loaded at once.
    WriteRowLayout("none", 0);
    SentPackets().clear();
    StartLayoutLoad("none");
    EXPECT_EQ(hostState, 0);
    ASSERT_EQ(SentPackets().size(), 2u);
    EXPECT_EQ(SentPackets()[1], (std::vector<uint8_t>{MP_TRACK_LOADED, 0, 0, 0}));
}

TEST(LayoutSending, ClearFromAnotherConnectionStopsTheSend)
{
    LayoutScene scene;
    LayoutScene::CapturePackets();
    std::filesystem::create_directories("data/layout");
    WriteRowLayout("row", 40);
    StartLayoutLoad("row");
    ASSERT_EQ(SentPackets().size(), 2u);

    // The host's own clear does not stop it.
    const std::vector<uint8_t> clear = EditPacket(LayoutActionRemoveAll, LayoutRecord{});
    ASSERT_EQ(HandleLayoutObjectPacket(clear.data(), 12, 0), 1);
    EXPECT_EQ(LayoutRecordsToSend, 24);
    ASSERT_EQ(HandleLayoutObjectPacket(clear.data(), 12, 1), 1);
    EXPECT_EQ(PrintedLines(), std::vector<std::string>{"Unexpected clear command"});
    EXPECT_EQ(LayoutRecordsToSend, 0);
    EXPECT_EQ(LayoutStream.file, nullptr);
    ASSERT_EQ(SentPackets().size(), 3u);
    EXPECT_EQ(SentPackets()[2], clear);
    SendLayoutChunk();
    EXPECT_EQ(SentPackets().size(), 3u);
}

// The whole road offline: a host loads an autocross, the batch is handed
// to the local handler, the route is built, and clearing returns the world
// to its own objects.
TEST(LayoutSending, LocalHandOffLoadsAnAutocross)
{
    static std::vector<std::vector<uint8_t>> others;
    others.clear();
    LayoutScene scene;
    LayoutServices services = {};
    services.handleOtherGamePacket = [](const uint8_t *bytes, int length, int) {
        others.emplace_back(bytes, bytes + length);
    };
    SetLayoutServices(services);
    std::filesystem::create_directories("data/layout");
    std::vector<LayoutRecord> records = {
        LayoutTimingRecord(0.0f, 0.0f, 0.0f, 0, 0, 0.0f),    LayoutTimingRecord(0.0f, 4.0f, 0.0f, 6, 0, 0.0f),
        LayoutTimingRecord(30.0f, 0.0f, 0.0f, 6, 1, 0.0f),   LayoutTimingRecord(30.0f, 30.0f, 0.0f, 6, 2, 0.0f),
        LayoutCheckCircleRecord(50.0f, 50.0f, 0.0f, 4, 1),   LayoutRestrictedRecord(60.0f, 60.0f, 0.0f, 3, 1, 0.0f),
    };
    for (int i = 0; i < 14; ++i) {
        records.push_back(LayoutObjectRecord(-40.0f + 2.0f * static_cast<float>(i), 20.0f, 0.0f, 0, 0.0f));
    }
    char path[64];
    MakeLayoutPath(path, sizeof path, "cross");
    ASSERT_EQ(WriteLayoutFile(path, records.data(), static_cast<int>(records.size()), 4), nullptr);

    StartLayoutLoad("cross");
    SendLayoutChunk();
    EXPECT_EQ(scene.world()->layoutObjectCount, 18);
    EXPECT_EQ(LayoutCircles.count, 2);
    EXPECT_EQ(PrintedLines(), std::vector<std::string>{"Autocross : 2 checkpoints"});
    EXPECT_EQ(LayoutRouteLines.startOverride, 1);
    EXPECT_EQ(LayoutLoaded, 1);
    EXPECT_STREQ(LayoutName, "cross");
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0], (std::vector<uint8_t>{MP_RACE_LENGTH, 0, 4, 0}));

    SendLayoutClear();
    FlushLayoutGameBatch();
    EXPECT_EQ(scene.world()->objectCount, scene.ownObjects);
    EXPECT_EQ(scene.world()->layoutObjectCount, 0);
    EXPECT_EQ(LayoutCircles.count, 0);
    EXPECT_EQ(LayoutRouteLines.startOverride, 0);
}

TEST(LayoutSending, MalformedPacketsAreDropped)
{
    LayoutScene scene;
    const LayoutRecord crate = LayoutObjectRecord(0.0f, 0.0f, 0.0f, 0, 0.0f);   // on the ground
    const std::vector<std::vector<uint8_t>> edits = {
        EditPacket(LayoutActionAdd, crate, 11),
        EditPacket(LayoutActionAdd, crate, 13),
        EditPacket(3, crate),
    };
    for (const std::vector<uint8_t> &packet : edits) {
        EXPECT_EQ(HandleLayoutObjectPacket(packet.data(), static_cast<int>(packet.size()), 0), 0);
    }
    const std::vector<std::vector<uint8_t>> chunks = {
        ObjectsPacket(16, crate, 131),
        ObjectsPacket(17, crate),
        ObjectsPacket(16, crate, 133),
    };
    for (const std::vector<uint8_t> &packet : chunks) {
        EXPECT_EQ(ReceiveLayoutPacket(packet.data(), static_cast<int>(packet.size()), 0), 0);
    }
    EXPECT_EQ(scene.world()->layoutObjectCount, 0);

    // The well-formed ones pass.
    const std::vector<uint8_t> add = EditPacket(LayoutActionAdd, crate);
    EXPECT_EQ(HandleLayoutObjectPacket(add.data(), 12, 0), 1);
    const std::vector<uint8_t> chunk = ObjectsPacket(16, LayoutObjectRecord(0.0f, 10.0f, 0.0f, 0, 0.0f));
    EXPECT_EQ(ReceiveLayoutPacket(chunk.data(), 132, 0), 1);
    EXPECT_EQ(scene.world()->layoutObjectCount, 1 + 16);
}

// The sounds, InSim notices and race-setup calls of the layout packets reach
// the program's services at the right moments: the refusal sound only for
// the local user's own edit, the clear notice and the results on every clear,
// the layout notice on the last chunk only, and no route message while a
// lesson runs.
TEST(LayoutSending, SoundsAndNoticesGoToTheirServices)
{
    struct Calls {
        std::vector<int> sounds, tinies;
        int layoutInfo = 0, results = 0, lesson = 0;
    };
    static Calls calls;
    calls = Calls{};
    LayoutScene scene;
    LayoutServices services = {};
    services.playInterfaceSound = [](int sound) { calls.sounds.push_back(sound); };
    services.inSimSendTiny = [](int subtype) { calls.tinies.push_back(subtype); };
    services.inSimSendLayoutInfo = [] { ++calls.layoutInfo; };
    services.clearRaceResults = [] { ++calls.results; };
    services.lessonActive = [] { return calls.lesson; };
    SetLayoutServices(services);

    const LayoutRecord unplaceable = LayoutObjectRecord(0.0f, 0.0f, 0.0f, 2, 0.0f);
    const std::vector<uint8_t> refused = EditPacket(LayoutActionAdd, unplaceable);
    ASSERT_EQ(HandleLayoutObjectPacket(refused.data(), 12, 1), 1);   // another program's edit
    EXPECT_TRUE(calls.sounds.empty());
    ASSERT_EQ(HandleLayoutObjectPacket(refused.data(), 12, 0), 1);
    EXPECT_EQ(calls.sounds, std::vector<int>{3});

    const std::vector<uint8_t> clear = EditPacket(LayoutActionRemoveAll, LayoutRecord{});
    ASSERT_EQ(HandleLayoutObjectPacket(clear.data(), 12, 1), 1);
    EXPECT_EQ(calls.tinies, std::vector<int>{TinyLayoutCleared});
    EXPECT_EQ(calls.results, 1);

    std::vector<uint8_t> chunk = ObjectsPacket(2, LayoutObjectRecord(0.0f, 20.0f, 0.0f, 0, 0.0f));
    ASSERT_EQ(ReceiveLayoutPacket(chunk.data(), 132, 0), 1);
    EXPECT_EQ(calls.layoutInfo, 0);
    chunk[2] = 1;
    ASSERT_EQ(ReceiveLayoutPacket(chunk.data(), 132, 1), 1);
    EXPECT_EQ(calls.layoutInfo, 1);
    EXPECT_EQ(LayoutLoaded, 0);   // a layout from elsewhere has no name here

    // A lesson keeps the route's good news to itself, not its faults.
    for (int lesson : {0, 1}) {
        SCOPED_TRACE(lesson);
        calls.lesson = lesson;
        PrintedLines().clear();
        ClearObjectGrid(scene.world());
        ASSERT_EQ(AddLayoutObject(LayoutTimingRecord(0.0f, 0.0f, 0.0f, 4, 0, 0.0f), 0, 0, nullptr, nullptr, 0), 1);
        ASSERT_EQ(AddLayoutObject(LayoutTimingRecord(0.0f, 3.0f, 0.0f, 4, 2, 0.0f), 0, 0, nullptr, nullptr, 0), 1);
        BuildLayoutRoute(1);
        EXPECT_EQ(PrintedLines(), std::vector<std::string>{"Checkpoint 1 not found"});
        ASSERT_EQ(AddLayoutObject(LayoutTimingRecord(0.0f, -3.0f, 0.0f, 4, 1, 0.0f), 0, 0, nullptr, nullptr, 0), 1);
        PrintedLines().clear();
        BuildLayoutRoute(1);
        EXPECT_EQ(PrintedLines().size(), lesson ? 0u : 1u);
    }
}
