#include "race/player_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/player_file.h"
#include "tests/race/crc_by_hand.h"
#include "tests/race/race_fixture.h"
#include "world/path.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const char *path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class PlayerRecordTest : public RaceFixture {
protected:
    void SetUp() override {
        RaceFixture::SetUp();
        std::filesystem::create_directories("data/grids");
        savedName = PlayerName;
        std::memset(&PlayerName, 0, sizeof(PlayerName));
        std::strcpy(PlayerName.name, "Me");
        dialogs.clear();
        RaceLinks.showDialog = [](MenuPage *, const char *title, const char *text) {
            dialogs.push_back(std::string(title) + " " + text);
        };
    }
    void TearDown() override {
        PlayerName = savedName;
        RaceFixture::TearDown();
    }

    // A slot of the first table car with recognisable records.
    PlayerSlot *AddPlayer(const char *name, uint8_t kind, uint8_t id, const char *car = CarTable[0].name) {
        PlayerSlot *slot = race->AddSlot(Info(name, kind, id));
        std::snprintf(slot->carName, sizeof(slot->carName), "%s", car);
        std::memcpy(slot->info.plate, "PLATE123", 8);
        slot->info.gridIndex = static_cast<uint8_t>(race->slotCount - 1);
        slot->info.fuel[0] = 40;
        std::strcpy(slot->colours.skin, "DEFAULT");
        slot->colours.body[0] = {20, 30, 40, 1};
        uint8_t *setup = reinterpret_cast<uint8_t *>(&slot->setup);
        for (int i = 0; i < 120; ++i) {
            setup[i] = static_cast<uint8_t>(id * 3 + i);
        }
        return slot;
    }

    // The bytes of a grid file from a header, race bytes and records.
    static Bytes GridFile(int version, int count, int format, const Bytes &records) {
        Bytes b = {'K', 'Z', 'V', 'G', 'S', 'C', static_cast<uint8_t>(version >> 8), static_cast<uint8_t>(version)};
        const Bytes race = {7, 12, 0, 0, 250, 9, 7, 1};
        b.insert(b.end(), race.begin(), race.end());
        Bytes track(32, 0);
        std::memcpy(track.data(), "Old Track", 9);
        b.insert(b.end(), track.begin(), track.end());
        b.insert(b.end(), {3, 1, 4, static_cast<uint8_t>(count), 0, 0, 0, static_cast<uint8_t>(format)});
        b.insert(b.end(), records.begin(), records.end());
        return b;
    }

    // A 260-byte record written by the program for this slot.
    static Bytes RecordOf(PlayerSlot *slot) {
        DataStream out;
        EXPECT_EQ(out.OpenWrite(nullptr, "record.tmp", "KZVTMP", 1), nullptr);
        WritePlayerRecord(slot, &out, 0, nullptr);
        out.Close();
        Bytes bytes = ReadBytes("record.tmp");
        return Bytes(bytes.begin() + 8, bytes.end());
    }

    static inline std::vector<std::string> dialogs;
    PlayerNameRecord savedName{};
};

TEST_F(PlayerRecordTest, GridFileRoundTripsTheSlotsOnTheLoadedTrack)
{
    MakeWorld("New Track");
    world->config = 2;
    world->reversed = 1;
    world->lightSchemeIndex = 3;
    AddPlayer("Me", KindLocal, 4);
    AddPlayer("AI 1", KindLocalAi, 5);
    AddPlayer("AI 2", KindLocalAi, 6);
    race->slots[1].colours.body[1] = {5, 200, 100, 9};
    std::snprintf(race->trackName, sizeof(race->trackName), "Old Track");
    race->qualifyMinutes = 7;
    ASSERT_EQ(WriteRaceFile(race, "three"), 1);
    EXPECT_EQ(std::filesystem::file_size("data/grids/three.rac"), 836u);

    RaceObject *read = new RaceObject;
    read->Reset();
    ASSERT_EQ(ReadRaceFile(read, "three", nullptr, 1), 1);
    ASSERT_EQ(read->slotCount, 3);
    EXPECT_STREQ(read->trackName, "New Track");
    EXPECT_EQ(read->config, 2u);
    EXPECT_EQ(read->reversed, 1u);
    EXPECT_EQ(read->lightScheme, 3u);
    EXPECT_EQ(read->qualifyMinutes, 7);
    EXPECT_EQ(read->localSlot, -1);
    EXPECT_EQ(read->carsOk, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(read->slots[i].info.name, race->slots[i].info.name);
        EXPECT_EQ(read->slots[i].info.playerId, race->slots[i].info.playerId);
        EXPECT_EQ(read->slots[i].info.gridIndex, i);
        EXPECT_STREQ(read->slots[i].carName, race->slots[i].carName);
        EXPECT_EQ(std::memcmp(&read->slots[i].setup, &race->slots[i].setup, 120), 0);
    }
    // Colour channels clamp to 10..160, the flags byte stays.
    const Colour clamped = read->slots[1].colours.body[1];
    EXPECT_EQ(clamped.red, 10);
    EXPECT_EQ(clamped.green, 160);
    EXPECT_EQ(clamped.blue, 100);
    EXPECT_EQ(clamped.flags, 9);
    read->ClearSlotFlag();
    delete read;
}

TEST_F(PlayerRecordTest, DamagedGridFilesAreRefused)
{
    MakeWorld();
    PlayerSlot *slot = AddPlayer("AI 1", KindLocalAi, 5);
    const Bytes record = RecordOf(slot);
    struct Case {
        const char *what;
        Bytes file;
        const char *dialog;
    };
    const Case cases[] = {
        {"format 11", GridFile(251, 1, 11, record), "Race load : wrong version"},
        {"format 15", GridFile(251, 1, 15, record), "Race load : wrong version"},
        {"33 players", GridFile(251, 33, 14, record), "Race load : wrong version"},
        {"version 249", GridFile(249, 1, 14, record), "Race load : wrong version"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.clear();
        WriteBytes("data/grids/bad.rac", c.file);
        race->slotCount = 1;
        EXPECT_EQ(ReadRaceFile(race, "bad", nullptr, 1), 0);
        EXPECT_EQ(dialogs, std::vector<std::string>{c.dialog});
        if (std::string(c.what) != "version 249") {
            EXPECT_EQ(race->slotCount, 0);
        }
    }
    // A file cut inside its records keeps the whole ones.
    Bytes cut = GridFile(251, 3, 14, record);
    cut.insert(cut.end(), record.begin(), record.begin() + 100);
    WriteBytes("data/grids/cut.rac", cut);
    EXPECT_EQ(ReadRaceFile(race, "cut", nullptr, 0), 1);
    EXPECT_EQ(race->slotCount, 1);

    // Without a track.
    world->currentPath = nullptr;
    WorldDestroy(world);
    world = nullptr;
    dialogs.clear();
    WriteBytes("data/grids/ok.rac", GridFile(251, 1, 14, record));
    EXPECT_EQ(ReadRaceFile(race, "ok", nullptr, 1), 0);
    EXPECT_EQ(dialogs, std::vector<std::string>{"Race load : no track"});
}

TEST_F(PlayerRecordTest, RecordsOfUnknownCarsAndOwnNamedAisAreDropped)
{
    MakeWorld();
    AddPlayer("AI 1", KindLocalAi, 5);
    AddPlayer("AI 2", KindLocalAi, 6, "No Such Car");
    AddPlayer("Me", KindLocalAi, 7);
    AddPlayer("Someone", KindLocal, 8);
    AddPlayer("AI 3", KindLocalAi, 9);
    ASSERT_EQ(WriteRaceFile(race, "mixed"), 1);
    DataStream in;
    RaceObject *read = new RaceObject;
    read->Reset();
    ASSERT_EQ(ReadRaceFile(read, "mixed", nullptr, 0), 1);
    ASSERT_EQ(read->slotCount, 3);
    EXPECT_STREQ(read->slots[0].info.name, "AI 1");
    // The local player takes the present player settings with its id kept.
    EXPECT_STREQ(read->slots[1].info.name, "Me");
    EXPECT_EQ(read->slots[1].info.playerId, 8);
    EXPECT_EQ(read->slots[1].info.kind, KindLocal);
    EXPECT_STREQ(read->slots[2].info.name, "AI 3");
    EXPECT_EQ(read->slots[2].info.gridIndex, 4);
    delete read;
}

TEST_F(PlayerRecordTest, RaceSettingsSkippedOrClamped)
{
    MakeWorld();
    PlayerSlot *slot = AddPlayer("AI 1", KindLocalAi, 5);
    WriteBytes("data/grids/settings.rac", GridFile(251, 1, 14, RecordOf(slot)));
    race->Reset();
    race->qualifyMinutes = 1;
    ASSERT_EQ(ReadRaceFile(race, "settings", nullptr, 0), 1);
    EXPECT_EQ(race->qualifyMinutes, 1);
    EXPECT_EQ(race->raceLength, 5);
    EXPECT_EQ(race->aiLevel, SkillLevel < 0 ? 0 : (SkillLevel > 4 ? 4 : SkillLevel));
    EXPECT_EQ(race->slotCount, 1);

    // The race length goes through SetRaceLength: a track without a path
    // allows one lap only.
    ASSERT_EQ(ReadRaceFile(race, "settings", nullptr, 1), 1);
    EXPECT_EQ(race->raceLength, 1);
    Path path;
    world->currentPath = &path;
    ASSERT_EQ(ReadRaceFile(race, "settings", nullptr, 1), 1);
    EXPECT_EQ(race->qualifyMinutes, 7);
    EXPECT_EQ(race->countdownSeconds, 12);
    EXPECT_EQ(race->raceLength, 238);   // 250 stored as at most 238
    EXPECT_EQ(race->aiLevel, 4);        // 9 indexes no skill level
    EXPECT_EQ(race->wind, 2);           // 7 is no wind setting
    EXPECT_EQ(race->hotLapMode, 1);
}

TEST_F(PlayerRecordTest, TextFieldsReadBackTerminated)
{
    MakeWorld();
    PlayerSlot *slot = AddPlayer("AI 1", KindLocalAi, 5);
    Bytes record = RecordOf(slot);
    std::memset(record.data(), 'N', 24);               // a name without its zero
    std::memset(record.data() + 40, 'H', 16);          // helmet
    std::memset(record.data() + 212, 'S', 16);         // skin name
    WriteBytes("data/grids/names.rac", GridFile(251, 1, 14, record));
    ASSERT_EQ(ReadRaceFile(race, "names", nullptr, 0), 1);
    ASSERT_EQ(race->slotCount, 1);
    EXPECT_EQ(std::string(race->slots[0].info.name), std::string(23, 'N'));
    EXPECT_EQ(std::string(race->slots[0].info.helmet), std::string(15, 'H'));
    EXPECT_EQ(std::string(race->slots[0].colours.skin), std::string(15, 'S'));
    EXPECT_EQ(std::memcmp(race->slots[0].info.plate, "PLATE123", 8), 0);
}

TEST_F(PlayerRecordTest, HotLapModesRewriteTheSetupEnciphered)
{
    PlayerSlot *slot = AddPlayer("Me", KindLocal, 5);
    const CarSetup real = slot->setup;
    uint32_t key[4];
    MakePlayerRecordKey(slot, key, 0);

    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "modes.tmp", "KZVTMP", 1), nullptr);
    out.WriteBytes("before", 6);
    WritePlayerRecord(slot, &out, 2, nullptr);
    out.WriteBytes("after", 5);
    out.Seek(-5 - PlayerRecordSize);
    std::memset(&slot->setup, 0, sizeof(slot->setup));  // the slot's block changes meanwhile
    WritePlayerRecord(slot, &out, 1, key);
    EXPECT_EQ(out.Close(), 0);
    const Bytes file = ReadBytes("modes.tmp");
    ASSERT_EQ(file.size(), 8u + 6 + 260 + 5);
    const uint8_t *record = file.data() + 14;

    EXPECT_EQ(std::memcmp(&slot->savedSetup, &real, sizeof(real)), 0);
    slot->setup = real;
    const Bytes plain = RecordOf(slot);
    EXPECT_EQ(std::memcmp(record, plain.data(), 92), 0);
    EXPECT_EQ(std::memcmp(record + 212, plain.data() + 212, 48), 0);
    uint8_t block[PlayerRecordSize] = {};
    std::memcpy(block + 92, record + 92, 120);
    DecipherPlayerRecord(slot, block);  // the word at offset 4 is 0 here too
    EXPECT_EQ(std::memcmp(block + 92, &real, 120), 0);
    EXPECT_NE(std::memcmp(record + 92, &real, 120), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(file.data() + 8 + 6 + 260), 5), "after");
}

TEST_F(PlayerRecordTest, CarInfoPacketCarriesTheSetup)
{
    PlayerSlot *slot = AddPlayer("Me", KindLocal, 5);
    slot->skinTime = 0x01020304;
    uint8_t packet[CarInfoPacketSize] = {};
    FillJoinPlayerRecord(slot, packet);
    EXPECT_EQ(packet[0], 5);
    EXPECT_EQ(packet[1], 5);
    EXPECT_EQ(packet[8], 4);
    EXPECT_EQ(std::memcmp(packet + 12, slot->carName, 32), 0);
    EXPECT_NE(std::memcmp(packet + 92, &slot->setup, 120), 0);

    PlayerSlot *other = race->AddSlot(Info("Me", KindLocal, 5));
    other->slotFlags = 3;
    packet[43] = 'x';  // a car name without its end
    SetPlayerSlotRecord(other, packet);
    EXPECT_EQ(std::memcmp(&other->setup, &slot->setup, 120), 0);
    EXPECT_EQ(std::memcmp(&other->colours, &slot->colours, 48), 0);
    EXPECT_EQ(other->skinTime, 0x01020304u);
    EXPECT_EQ(other->carName[31], 0);
    EXPECT_EQ(other->slotFlags, 2);

    other->ClearCarRecord();
    EXPECT_STREQ(other->carName, slot->carName);
    EXPECT_EQ(other->skinTime, 0u);
    uint8_t zero[120] = {};
    EXPECT_EQ(std::memcmp(&other->setup, zero, 120), 0);
}

TEST_F(PlayerRecordTest, CipherKeyLayout)
{
    PlayerSlot *slot = race->AddSlot(Info("ABCDEFGHIJKLMNOPQRS", KindLocal, 5));
    slot->info.flags = 0x0203;
    slot->info.figure = 7;
    uint32_t key[4];
    MakePlayerRecordKey(slot, key, 0x11111111);
    EXPECT_EQ(key[0], 0x44434241u ^ 0x11111111u);
    EXPECT_EQ(key[1], 0x48474645u ^ 0x0203u);
    EXPECT_EQ(key[2], 0x4C4B4A49u ^ 5u);
    EXPECT_EQ(key[3], 0x504F4E4Du ^ 7u);

    // Each input changes the key, and a record enciphered under one key does
    // not come back under another.
    uint8_t record[CarInfoPacketSize] = {};
    for (int i = 0; i < 120; ++i) {
        record[92 + i] = static_cast<uint8_t>(i);
    }
    EncipherPlayerRecord(slot, record);
    uint8_t enciphered[CarInfoPacketSize];
    std::memcpy(enciphered, record, sizeof(record));
    auto deciphersWith = [&](const PlayerSlot &changed, uint32_t word) {
        uint8_t copy[CarInfoPacketSize];
        std::memcpy(copy, enciphered, sizeof(copy));
        copy[4] = static_cast<uint8_t>(word);
        DecipherPlayerRecord(&changed, copy);
        return copy[92] == 0 && copy[93] == 1 && copy[211] == 119;
    };
    EXPECT_TRUE(deciphersWith(*slot, 0));
    PlayerSlot changed = *slot;
    changed.info.playerId = 6;
    EXPECT_FALSE(deciphersWith(changed, 0));
    changed = *slot;
    changed.info.flags ^= 1;
    EXPECT_FALSE(deciphersWith(changed, 0));
    changed = *slot;
    changed.info.figure = 8;
    EXPECT_FALSE(deciphersWith(changed, 0));
    for (int i = 0; i < 16; ++i) {
        changed = *slot;
        changed.info.name[i] ^= 0x20;
        EXPECT_FALSE(deciphersWith(changed, 0)) << "name byte " << i;
    }
    changed = *slot;
    changed.info.name[16] ^= 0x20;  // beyond the key's bytes
    EXPECT_TRUE(deciphersWith(changed, 0));
    EXPECT_FALSE(deciphersWith(*slot, 1));
}

TEST_F(PlayerRecordTest, StateChecksumRegisters)
{
    PlayerSlot *slot = AddPlayer("Ann\xe9", KindLocal, 5);
    slot->info.connection = 2;
    slot->info.flags = 0x1234;
    slot->info.figure = 9;
    uint32_t crc[3] = {1, 2, 3};
    AddSlotToStateChecksum(slot, crc);

    uint32_t first = HandCrcString(1, "Ann\xe9");
    const uint8_t bytes[7] = {2, 0x34, 0x12, 9, 5, 0};
    first = HandCrcBytes(first, bytes, 1);
    first = HandCrcBytes(first, bytes + 1, 2);
    first = HandCrcBytes(first, bytes + 3, 3);
    first = HandCrcBytes(first, slot->carName, 32);
    EXPECT_EQ(crc[0], first);
    EXPECT_EQ(crc[1], HandCrcBytes(2, &slot->colours, 48));
    EXPECT_EQ(crc[2], HandCrcBytes(3, &slot->setup, 120));
}

TEST_F(PlayerRecordTest, NextPlayerPacketGoesOncePerSlot)
{
    PlayerSlot *me = race->AddSlot(Info("Me", KindLocal, 1));
    PlayerSlot *ai = race->AddSlot(Info("AI 1", KindLocalAi, 2));
    SendNextPlayerPacket();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].size(), 212u);
    EXPECT_EQ(packets[0][1], 1);
    EXPECT_EQ(me->packetSent, 1);
    EXPECT_EQ(flushes, 1);
    // The first record is on its way: nothing more until it is back.
    SendNextPlayerPacket();
    EXPECT_EQ(packets.size(), 1u);
    SetPlayerSlotRecord(me, packets[0].data());
    std::memset(&me->setup, 1, 1);  // a record came back
    SendNextPlayerPacket();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1][1], 2);
    EXPECT_EQ(ai->packetSent, 1);
}

}  // namespace
