#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/command_line.h"
#include "core/data_stream.h"
#include "tests/world/layout_fixture.h"
#include "world/track_code.h"

namespace {

std::vector<uint8_t> FileBytes(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A layout file with any header values: version, count, laps and flags as
// given, then the records.
void WriteRawLayout(const char *path, int version, int count, int laps, int flags,
                    const std::vector<LayoutRecord> &records)
{
    DataStream stream;
    ASSERT_EQ(stream.OpenWrite(nullptr, path, LayoutFileId, version), nullptr);
    stream.WriteU16(count);
    stream.WriteU8(laps);
    stream.WriteU8(flags);
    for (const LayoutRecord &record : records) {
        uint8_t bytes[LayoutRecordSize];
        LayoutRecordToBytes(record, bytes);
        stream.WriteBytes(bytes, LayoutRecordSize);
    }
    ASSERT_EQ(stream.Close(), 0);
}

std::string TrackCode(World *world)
{
    char code[16];
    GetTrackCode(code, sizeof code, world->trackName);
    return code;
}

// Loads the named layout the way the host does, every chunk handed to the
// local handler.
void LoadLayout(const std::string &name)
{
    StartLayoutLoad(name.c_str());
    while (LayoutRecordsToSend > 0) {
        SendLayoutChunk();
    }
}

} // namespace

TEST(LayoutFiles, EmptyLayoutIsTheHeaderAndOneLapWithFlags)
{
    ASSERT_EQ(CreateEmptyLayoutFile("empty.lyt"), 1);
    const std::vector<uint8_t> want = {'K', 'Z', 'V', 'L', 'Y', 'T', 0, 251, 0, 0, 1, 1};
    EXPECT_EQ(FileBytes("empty.lyt"), want);
}

TEST(LayoutFiles, SaveAndLoadKeepDuplicatorOrder)
{
    LayoutScene scene;
    std::filesystem::create_directories("data/layout");
    std::snprintf(scene.world()->trackName, sizeof scene.world()->trackName, "Kestrel Water");
    const LayoutRecord wall = LayoutObjectRecord(40.0f, 0.0f, 0.0f, 1, 0.0f);
    const LayoutRecord crateA = LayoutObjectRecord(42.0f, 0.0f, 0.0f, 0, 1.0f);
    const LayoutRecord finish = LayoutTimingRecord(44.0f, 0.0f, 0.0f, 6, 0, 0.0f);
    const LayoutRecord crateB = LayoutObjectRecord(46.0f, 0.0f, 0.0f, 0, -1.0f);
    const LayoutRecord circle = LayoutCheckCircleRecord(50.0f, 20.0f, 0.0f, 3, 1);
    for (const LayoutRecord &record : {wall, crateA, finish, crateB, circle}) {
        ASSERT_EQ(scene.Add(record), 1);
    }
    const std::string name = TrackCode(scene.world()) + "_test";
    ASSERT_EQ(SaveLayoutFile(name.c_str(), nullptr), 1);
    EXPECT_EQ(LayoutLoaded, 1);
    EXPECT_STREQ(LayoutName, name.c_str());

    // Placeable duplicators in index order, then the rest, then circles.
    const std::vector<LayoutRecord> order = {crateA, crateB, wall, finish, circle};
    const std::vector<uint8_t> bytes = FileBytes(("data/layout/" + name + ".lyt").c_str());
    ASSERT_EQ(bytes.size(), 12u + 8u * order.size());
    EXPECT_EQ(bytes[8], order.size());
    EXPECT_EQ(bytes[11], 1);
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_TRUE(SameRecord(LayoutRecordFromBytes(&bytes[12 + 8 * i]), order[i])) << i;
    }

    // Loaded again, the objects come back in the saved order.
    ClearObjectGrid(scene.world());
    ASSERT_EQ(scene.world()->objectCount, scene.ownObjects);
    LoadLayout(name);
    const std::vector<LayoutRecord> objects = scene.Objects();
    ASSERT_EQ(objects.size(), 4u);
    for (size_t i = 0; i < objects.size(); ++i) {
        EXPECT_TRUE(SameRecord(objects[i], order[i])) << i;
    }
    ASSERT_EQ(LayoutCircles.count, 1);
    EXPECT_TRUE(SameRecord(LayoutCircles.records[0], circle));

    // The name that is only the track code and an underscore is no name.
    ASSERT_EQ(SaveLayoutFile((TrackCode(scene.world()) + "_").c_str(), nullptr), 1);
    LayoutLoaded = 0;
    ASSERT_EQ(OpenLayoutFile((TrackCode(scene.world()) + "_").c_str()), 1);
    EXPECT_EQ(LayoutLoaded, 1);
    EXPECT_STREQ(LayoutName, "");

    char pattern[64];
    MakeLayoutFileName(pattern, sizeof pattern);
    EXPECT_EQ(std::string(pattern), "data\\layout\\" + TrackCode(scene.world()) + "_*.lyt");
}

TEST(LayoutFiles, OldFilesOfTheRescaledSiteShrink)
{
    const uint8_t bytes[LayoutRecordSize] = {0xE8, 0x03, 0x0C, 0xFE, 20, 0, 0, 7};
    const std::vector<LayoutRecord> records = {LayoutRecordFromBytes(bytes)};
    struct Case {
        const char *site;
        int flags;
        int16_t x, y;
        int8_t height;
    };
    // x 1000, y -500, height 20.
    const Case cases[] = {
        {RescaledLayoutSite, 0, 927, -464, 19},
        {RescaledLayoutSite, 1, 1000, -500, 20},
        {"KE", 0, 1000, -500, 20},
    };
    std::filesystem::create_directories("data/layout");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.site);
        LayoutScene scene;
        LayoutScene::CapturePackets();
        std::snprintf(scene.world()->shortName, sizeof scene.world()->shortName, "%s", c.site);
        WriteRawLayout("data/layout/old.lyt", 251, 1, 1, c.flags, records);
        ASSERT_EQ(OpenLayoutFile("old"), 1);
        SendLayoutChunk();
        ASSERT_EQ(SentPackets().size(), 2u);   // the clear, then the records
        const LayoutRecord got = LayoutRecordFromBytes(&SentPackets()[1][4]);
        EXPECT_EQ(got.x, c.x);
        EXPECT_EQ(got.y, c.y);
        EXPECT_EQ(got.height, c.height);
    }
}

TEST(LayoutFiles, RefusedFilesSayWhichAndSendNothing)
{
    std::filesystem::create_directories("data/layout");
    const LayoutRecord crate = LayoutObjectRecord(40.0f, 0.0f, 0.0f, 0, 0.0f);
    struct Case {
        const char *name;
        int version;
        int count;
        int records;
    };
    const Case cases[] = {
        {"version245", 245, 1, 1},
        {"short", 251, 3, 2},
        {"later", 252, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LayoutScene scene;
        LayoutScene::CapturePackets();
        const std::string path = std::string("data/layout/") + c.name + ".lyt";
        WriteRawLayout(path.c_str(), c.version, c.count, 1, 1, std::vector<LayoutRecord>(c.records, crate));
        EXPECT_EQ(OpenLayoutFile(c.name), 0);
        EXPECT_TRUE(SentPackets().empty());
        EXPECT_EQ(LayoutRecordsToSend, 0);
        EXPECT_EQ(LayoutStream.file, nullptr);
        ASSERT_EQ(PrintedLines().size(), 1u);
        EXPECT_NE(PrintedLines()[0].find(std::string("data\\layout\\") + c.name + ".lyt"), std::string::npos);
    }
    // A missing file is no error.
    LayoutScene scene;
    EXPECT_EQ(OpenLayoutFile("missing"), 0);
    EXPECT_TRUE(PrintedLines().empty());
}

TEST(LayoutFiles, TrainingLayoutTakesItsLaps)
{
    static int laps = 0;
    LayoutScene scene;
    LayoutServices services = {};
    services.setRaceLapSetting = [](int value) { laps = value; };
    SetLayoutServices(services);
    std::filesystem::create_directories("data/training");
    const LayoutRecord crate = LayoutObjectRecord(40.0f, 0.0f, 0.0f, 0, 0.0f);
    WriteRawLayout("data/training/lesson.lyt", 251, 1, 5, 1, {crate});
    ASSERT_EQ(LoadTrainingLayout("lesson"), 1);
    EXPECT_EQ(laps, 5);
    EXPECT_EQ(LayoutLoaded, 1);
    EXPECT_STREQ(LayoutName, "lesson");
    ASSERT_EQ(scene.world()->layoutObjectCount, 1);

    // Short, or missing: nothing added and no layout.
    WriteRawLayout("data/training/short.lyt", 251, 2, 5, 1, {crate});
    EXPECT_EQ(LoadTrainingLayout("short"), 0);
    EXPECT_EQ(scene.world()->layoutObjectCount, 1);
    EXPECT_EQ(LayoutLoaded, 0);
    EXPECT_EQ(LoadTrainingLayout("missing"), 0);
}

TEST(LayoutFiles, LayoutFolderFollowsTheCommandLine)
{
    char saved[sizeof CommandLineSettings.lytFolder];
    std::snprintf(saved, sizeof saved, "%s", CommandLineSettings.lytFolder);
    std::snprintf(CommandLineSettings.lytFolder, sizeof CommandLineSettings.lytFolder, "mine");
    char path[64];
    MakeLayoutPath(path, sizeof path, "AB1_x");
    EXPECT_STREQ(path, "data\\mine\\AB1_x.lyt");
    std::snprintf(CommandLineSettings.lytFolder, sizeof CommandLineSettings.lytFolder, "%s", saved);
}
