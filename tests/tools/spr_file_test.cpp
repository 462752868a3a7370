// The single-player replay file: its layout and check block, the records,
// saving under a name, the refusals of playback with their hot-lap check
// codes, damaged files, and the summary.

#include "tests/tools/spr_fixture.h"

#include <cerrno>
#include <cstring>
#include <functional>

#include "core/data_stream.h"
#include "race/player_record.h"
#include "world/track_code.h"

namespace {

constexpr size_t FirstPlayerRecord = 1168 + 12 * 4;

struct Record {
    uint16_t tick;
    uint8_t type;
    uint8_t parameter;
    std::vector<uint8_t> data;
};

class SprFileTest : public SprFixture {
protected:
    // A saved replay of `ticks` ticks: its bytes and where its records
    // begin.
    void MakeReplay(const char *name, uint32_t ticks)
    {
        std::map<uint32_t, uint32_t> hashes;
        RecordAndSave(name, ticks, hashes);
        bytes = ReadFile(std::string("data/spr/") + name + ".spr");
        ASSERT_GT(bytes.size(), FirstPlayerRecord);
        CreateRaceObject();
        ASSERT_EQ(OpenSprForPlayback(nullptr, name, 1, nullptr), 1);
        ASSERT_EQ(ReadSprPlayers(nullptr, 1), 1);
        recordStart = static_cast<size_t>(SprFirstRecordOffset());
        CloseSprPlayback(1);
    }

    // The record stream, up to and including the end record.
    std::vector<Record> Records() const
    {
        std::vector<Record> records;
        size_t at = recordStart;
        while (at + 4 <= bytes.size()) {
            Record r{static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8), bytes[at + 2], bytes[at + 3], {}};
            at += 4;
            size_t length = 0;
            if (r.type == SprReliablePacket || r.type == SprTimedPacket) {
                length = r.parameter;
            } else if (r.type == SprStateCheck) {
                length = 4;
            } else if (r.type == SprControls) {
                length = 4 * static_cast<size_t>(std::max<int>(bytes[at], 1));
            }
            r.data.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + length));
            at += length;
            records.push_back(r);
            if (r.type == SprEnd) {
                break;
            }
        }
        return records;
    }

    // The replay with its record stream replaced.
    void WriteWithRecords(const char *name, const std::vector<uint8_t> &records) const
    {
        std::vector<uint8_t> file(bytes.begin(), bytes.begin() + static_cast<long>(recordStart));
        file.insert(file.end(), records.begin(), records.end());
        WriteFile(std::string("data/spr/") + name + ".spr", file);
    }

    // Opens a replay with a race object of its own; 1 when it was read.
    static int Open(const char *name)
    {
        if (!OpenSprForPlayback(nullptr, name, 1, nullptr)) {
            return 0;
        }
        return ReadSprPlayers(nullptr, 1);
    }

    std::vector<uint8_t> bytes;
    size_t recordStart = 0;
};

TEST_F(SprFileTest, TheHeaderAndCheckBlockHoldTheRaceAndTheKeyDecipheresOnlyTheFinalFile)
{
    MakeReplay("layout", 700);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "KZVSPR");
    EXPECT_EQ(bytes[6] * 256 + bytes[7], 251);
    EXPECT_EQ(bytes[8], 14);
    EXPECT_EQ(bytes[10], 10);  // 4 / 2 + 8 seconds
    EXPECT_EQ(bytes[12], 3);
    EXPECT_EQ(bytes[15], 0);
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[32]), world->trackName);
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[64]), "Driver");
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[96]), CarTable[0].name);
    EXPECT_EQ(bytes[131], 4);
    EXPECT_EQ(U32At(bytes, 156), 700u);
    EXPECT_EQ(U32At(bytes, 1160), 0u);
    EXPECT_NE(std::string(reinterpret_cast<const char *>(&bytes[200])), "");

    // The set-up block of each record reads back with the key of the final
    // file's length, lap time, slot flags and salt, and with no other.
    const uint32_t salt = U32At(bytes, 192);
    const uint16_t flags = static_cast<uint16_t>(bytes[132] | bytes[133] << 8);
    auto readSetup = [&](uint32_t length, CarSetup *setup) {
        uint32_t key[4];
        const uint32_t check = HotLapCheckValue(key, salt, flags, 0, length);
        DataStream stream;
        int version = 0;
        stream.OpenMemory(bytes.data() + FirstPlayerRecord - 8, bytes.size() - FirstPlayerRecord + 8, &version);
        PlayerSlot slot{};
        ReadPlayerRecord(&slot, &stream, 251, 14, 1, key);
        *setup = slot.setup;
        return check;
    };
    CarSetup right{};
    CarSetup wrong{};
    EXPECT_EQ(readSetup(static_cast<uint32_t>(bytes.size()), &right), U32At(bytes, 196));
    EXPECT_NE(readSetup(static_cast<uint32_t>(bytes.size()) + 1, &wrong), U32At(bytes, 196));
    EXPECT_NE(std::memcmp(&right, &wrong, sizeof(CarSetup)), 0);
    // The right key gives back the set-up every player started with: the
    // replay's race rebuilds it.
    ASSERT_EQ(Open("layout"), 1);
    EXPECT_EQ(std::memcmp(&RaceObjectPtr->slots[0].setup, &right, sizeof(CarSetup)), 0);
    EXPECT_EQ(RaceObjectPtr->seed, U32At(bytes, 1164));
    EXPECT_EQ(RaceObjectPtr->gridPositions[1][0], static_cast<int32_t>(U32At(bytes, 1168 + 12)));
}

TEST_F(SprFileTest, ControlRecordsStateChecksAndTheEndRecord)
{
    MakeReplay("records", 700);
    const std::vector<Record> records = Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().type, SprEnd);
    EXPECT_EQ(records.back().tick, 700);
    std::vector<int> checks;
    std::map<std::pair<int, int>, int> controlsPerTickAndSlot;
    for (const Record &r : records) {
        if (r.type == SprStateCheck) {
            checks.push_back(r.tick);
        }
        if (r.type == SprControls) {
            // One record per car and tick; the first entry carries the count
            // and the others 0.
            EXPECT_EQ(++controlsPerTickAndSlot[std::make_pair(int{r.tick}, int{r.parameter})], 1);
            ASSERT_GE(r.data.size(), 4u);
            EXPECT_EQ(r.data[0], r.data.size() / 4);
            for (size_t e = 4; e < r.data.size(); e += 4) {
                EXPECT_EQ(r.data[e], 0);
            }
        }
    }
    EXPECT_EQ(checks, (std::vector<int>{0, 256, 512}));
    // The scripted cars change their inputs only at some ticks: ticks
    // without a change have no record.
    EXPECT_LT(controlsPerTickAndSlot.size(), 700u * 3u);
    EXPECT_GT(controlsPerTickAndSlot.size(), 10u);

    // Two changes of one car in one tick form one record.
    ASSERT_EQ(Open("records"), 1);
    RaceObjectPtr->tick = 5;
    StartSprRecording();
    ASSERT_EQ(SprRecordingActive(), 1);
    const uint8_t change[2 + 8] = {0, 2, 1, 0, 0x34, 0x12, 3, 0, 1, 0};
    SprRecordControls(2, change, sizeof(change));
    RaceObjectPtr->tick = 6;
    StopSprRecording();
    bytes = ReadFile("data/spr/temp_spr.spr");
    const std::vector<Record> two = Records();
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].tick, 5);
    EXPECT_EQ(two[0].type, SprControls);
    EXPECT_EQ(two[0].parameter, 2);
    EXPECT_EQ(two[0].data, (std::vector<uint8_t>{2, 1, 0x34, 0x12, 0, 3, 1, 0}));
}

TEST_F(SprFileTest, DamagedRecordStreamsEndOrWarnWithoutHarm)
{
    MakeReplay("damaged", 300);
    // An unknown type is reported and passed over; entries for a slot or an
    // input word that does not exist are ignored; ticks past 65535 compare
    // in 16 bits.
    const std::vector<uint8_t> records = {
        0xfb, 0xff, 99, 0,                              // tick 65531, unknown type
        0xfe, 0xff, SprControls, 200, 1, 3, 0xff, 0xff,  // slot 200
        0xff, 0xff, SprControls, 1, 2, 18, 0xff, 0xff,  // input word 18
        0, 1, 0x10, 0x20,                               // (its second entry)
        0x02, 0x00, SprEnd, 0,                          // tick 65538
    };
    WriteWithRecords("damaged_types", records);
    ASSERT_EQ(Open("damaged_types"), 1);
    RaceObjectPtr->tick = 65530;
    uint32_t tick = 65530;
    int end = 0;
    for (; tick < 65600 && !end; ++tick) {
        end = SprPlayUntilTick(tick, 1);
    }
    EXPECT_EQ(end, 1);
    EXPECT_EQ(tick - 1, 65538u);
    EXPECT_TRUE(WasPrinted("Unknown SPR packet type"));
    EXPECT_FALSE(WasPrinted("Unexpected end of file"));
    CloseSprPlayback(1);

    // A file cut inside its records ends with a message, at every cut.
    const std::vector<uint8_t> whole = bytes;
    for (size_t cut : {recordStart + 1, recordStart + 6, (recordStart + whole.size()) / 2, whole.size() - 2}) {
        Printed.clear();
        bytes.assign(whole.begin(), whole.begin() + static_cast<long>(cut));
        WriteFile("data/spr/cut.spr", bytes);
        ASSERT_EQ(Open("cut"), 1) << cut;
        SprReadFirstRecord();
        end = 0;
        for (tick = 0; tick < 400 && !end; ++tick) {
            end = SprPlayUntilTick(tick, 1);
        }
        EXPECT_EQ(end, 1) << cut;
        EXPECT_TRUE(WasPrinted("Unexpected end of file")) << cut;
        CloseSprPlayback(1);
    }
    bytes = whole;
}

TEST_F(SprFileTest, RefusalsGiveTheirHotLapCheckCodes)
{
    MakeReplay("refuse", 300);
    const std::vector<uint8_t> good = bytes;
    struct Case {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> change;
        int hotLapCheck;  // run in the hot-lap check start mode
        int code;
        const char *message;
    };
    auto hotLap = [](std::vector<uint8_t> &b) { b[15] = 1; };
    const Case cases[] = {
        {"format 15", [](std::vector<uint8_t> &b) { b[8] = 15; }, 1, 3, "Replay was made with a later version"},
        {"format 11", [](std::vector<uint8_t> &b) { b[8] = 11; }, 1, 4, "Obsolete replay"},
        {"version 249", [](std::vector<uint8_t> &b) { b[7] = 249; }, 1, 4, "Obsolete replay"},
        {"later version", [](std::vector<uint8_t> &b) { b[7] = 252; }, 1, 3, nullptr},
        {"format 12 race", [](std::vector<uint8_t> &b) { b[8] = 12; }, 0, 0, "Obsolete replay"},
        {"no hot lap", [](std::vector<uint8_t> &) {}, 1, 5, "Not a hotlap replay"},
        {"no best lap", [&](std::vector<uint8_t> &b) { hotLap(b); b[134] = 0; }, 1, 8, "No HLVC best lap"},
        {"players over start positions",
         [&](std::vector<uint8_t> &b) {
             hotLap(b);
             b[134] = 1;
             b[131] = static_cast<uint8_t>(NumStartPositions(world) + 1);
         },
         1, 9, "Not enough start positions"},
        {"players over 32", [&](std::vector<uint8_t> &b) { b[131] = 33; }, 0, 0, "Not enough start positions"},
    };
    for (const Case &c : cases) {
        bytes = good;
        c.change(bytes);
        WriteFile("data/spr/refused.spr", bytes);
        EndCodes.clear();
        Printed.clear();
        StartMode = c.hotLapCheck ? StartModeHotLapCheck : StartModeNormal;
        EXPECT_EQ(Open("refused"), 0) << c.what;
        StartMode = StartModeNormal;
        if (c.hotLapCheck) {
            EXPECT_EQ(EndCodes, std::vector<int>{c.code}) << c.what;
        } else {
            EXPECT_TRUE(EndCodes.empty()) << c.what;
        }
        if (c.message != nullptr) {
            EXPECT_TRUE(WasPrinted(c.message)) << c.what;
        }
        EXPECT_EQ(SprPlaybackOpen(), 0) << c.what;
        DeleteRaceObject();
    }
    // A missing file: code 2.
    StartMode = StartModeHotLapCheck;
    EndCodes.clear();
    EXPECT_EQ(Open("missing"), 0);
    StartMode = StartModeNormal;
    EXPECT_EQ(EndCodes, std::vector<int>{2});
}

TEST_F(SprFileTest, AReplayOfATrackThatCannotBeLoadedGivesCode7)
{
    MakeReplay("track", 300);
    bytes[15] = 1;
    std::memcpy(&bytes[32], "Nowhere", 8);
    WriteFile("data/spr/track.spr", bytes);
    char savedMap[sizeof(MapName)];
    std::memcpy(savedMap, MapName, sizeof(MapName));
    StartMode = StartModeHotLapCheck;
    EXPECT_EQ(Open("track"), 0);
    StartMode = StartModeNormal;
    EXPECT_EQ(EndCodes, std::vector<int>{7});
    EXPECT_TRUE(WasPrinted("Could not open file :"));
    EXPECT_EQ(CurrentWorld, nullptr);
    // The fixture's track comes back for the tests after this one.
    std::memcpy(MapName, savedMap, sizeof(MapName));
    world = WorldCreate();
    fixture_world::WriteAndLoad(world);
}

TEST_F(SprFileTest, SavingNumbersTakenNamesAndReportsWhatFailed)
{
    std::filesystem::remove_all("data/spr");
    std::filesystem::create_directories("data/spr");
    auto temp = [] { WriteFile("data/spr/temp_spr.spr", {1, 2, 3}); };
    temp();
    ASSERT_EQ(SaveSprAs("same", 0), 1);
    temp();
    ASSERT_EQ(SaveSprAs("same", 0), 1);
    temp();
    ASSERT_EQ(SaveSprAs("same", 0), 1);
    EXPECT_TRUE(std::filesystem::exists("data/spr/same.spr"));
    EXPECT_TRUE(std::filesystem::exists("data/spr/same_2.spr"));
    EXPECT_TRUE(std::filesystem::exists("data/spr/same_3.spr"));
    EXPECT_TRUE(WasPrinted("Saved SP replay - same_3"));
    // Overwrite takes the name itself.
    WriteFile("data/spr/temp_spr.spr", {9});
    ASSERT_EQ(SaveSprAs("same", 1), 1);
    EXPECT_EQ(ReadFile("data/spr/same.spr"), std::vector<uint8_t>{9});
    EXPECT_FALSE(std::filesystem::exists("data/spr/same_4.spr"));

    temp();
    EXPECT_EQ(SaveSprAs(std::string(64, 'n').c_str(), 0), 0);
    EXPECT_TRUE(WasPrinted("Could not rename SPR - Name is too long"));
    EXPECT_EQ(SaveSprAs(std::string(63, 'n').c_str(), 0), 1);
    EXPECT_EQ(SaveSprAs("gone", 0), 0);
    EXPECT_TRUE(WasPrinted("Could not rename SPR - Not found"));
    // Characters a file name may not hold stay out of it.
    temp();
    ASSERT_EQ(SaveSprAs("a/b", 0), 1);
    EXPECT_TRUE(std::filesystem::exists("data/spr/ab.spr"));

    const std::pair<int, const char *> texts[] = {
        {ENOENT, "Not found"}, {EACCES, "Access denied"}, {EINVAL, "Invalid characters"},
        {EEXIST, "Unknown error"}, {0, "Unknown error"}};
    for (const auto &[error, text] : texts) {
        EXPECT_STREQ(RenameErrorText(error), text) << error;
    }

    char out[32];
    FormatReplayTime(out, sizeof(out), "_", 6000 + 5 * 100 + 7);
    EXPECT_STREQ(out, "_10507");
    FormatReplayTime(out, sizeof(out), "", 2 * 6000 + 34 * 100 + 56);
    EXPECT_STREQ(out, "23456");
}

TEST_F(SprFileTest, TheDefaultNameHoldsDriverTrackCarAndBestLap)
{
    RaceObject &race = *RaceObjectPtr;
    CopyString(race.slots[0].info.name, "^1A very long driver name xx", sizeof(race.slots[0].info.name));
    race.hudTimes.lapNumber = 2;
    race.hudTimes.lineCount = 2;
    race.hudTimes.lineTimes[1] = 6000 + 3 * 100 + 4;
    WriteFile("data/spr/temp_spr.spr", {1});
    ASSERT_EQ(MakeDefaultSprName(), 1);
    char code[8] = {};
    GetTrackCode(code, sizeof(code), race.trackName);
    const std::string expected =
        std::string("A very long driver na_") + code + "_" + CarTable[0].code + "_10304";
    EXPECT_EQ(std::string(LastSavedSprName), expected);
    EXPECT_TRUE(std::filesystem::exists("data/spr/" + expected + ".spr"));
}

TEST_F(SprFileTest, TheSummaryOfASavedFileAndOfFilesThatCannotBeRead)
{
    MakeReplay("summary", 300);
    ReplaySummary summary{};
    EXPECT_EQ(ReadSprSummary("summary", &summary), nullptr);
    EXPECT_STREQ(summary.trackName, world->trackName);
    EXPECT_EQ(std::memcmp(summary.text, &bytes[16], 16), 0);
    EXPECT_EQ(summary.config[0], bytes[130]);
    EXPECT_EQ(summary.config[1], bytes[128]);
    EXPECT_EQ(summary.config[2], bytes[129]);
    EXPECT_EQ(summary.playerCount, 4);
    EXPECT_EQ(summary.raceLength, 3);
    EXPECT_EQ(summary.hotLap, 0);
    EXPECT_EQ(summary.status, 0);
    EXPECT_EQ(summary.length, 300u);

    EXPECT_NE(ReadSprSummary("nothing", &summary), nullptr);
    EXPECT_EQ(summary.status, 6);
    bytes[7] = 252;
    WriteFile("data/spr/later.spr", bytes);
    EXPECT_NE(ReadSprSummary("later", &summary), nullptr);
    EXPECT_EQ(summary.status, 7);
    bytes[7] = 251;
    bytes[8] = 15;
    WriteFile("data/spr/later.spr", bytes);
    EXPECT_STREQ(ReadSprSummary("later", &summary), "Replay was made with a later version");
    EXPECT_EQ(summary.status, 7);
}

}  // namespace
