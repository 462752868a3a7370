#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/object_file.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/car_skin.h"

namespace {

// The session and network as the skin code sees them, with every request
// recorded.
struct FakeSkinNet {
    uint32_t permission = 1;
    uint32_t masterWord = 0;
    int dedicated = 0;
    int ownSlot = 1;
    int replay = 0;
    int adding = 0;
    int queueAccepts = 1;
    int cacheTakes = 0;
    std::vector<std::string> queued, names, messages;
};

FakeSkinNet skinNet;

void InstallFakes()
{
    skinNet = FakeSkinNet();
    CarNetwork = {};
    CarNetwork.takeCachedSkin = [](const char *, const char *) { return ++skinNet.cacheTakes, 0; };
    CarNetwork.queueSkinDownload = [](const char *code, const char *skin, int size, int second) {
        skinNet.queued.push_back(std::string(code) + "/" + skin + "/" + std::to_string(size) + std::to_string(second));
        return skinNet.queueAccepts;
    };
    CarNetwork.addSessionSkinName = [](const char *name) { skinNet.names.emplace_back(name); };
    CarNetwork.skinDownloadPermission = [] { return skinNet.permission; };
    CarNetwork.masterHostWord = [] { return skinNet.masterWord; };
    CarNetwork.isDedicatedHost = [] { return skinNet.dedicated; };
    CarNetwork.hasSlotOfConnection = [] { return skinNet.ownSlot; };
    CarNetwork.multiplayerReplayPlaying = [] { return skinNet.replay; };
    CarNetwork.sessionAddingCar = [] { return skinNet.adding; };
    RaceServices = {};
    RaceServices.printMessage = [](const char *text, int) { skinNet.messages.emplace_back(text); };
}

void TouchFile(const char *path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "skin";
}

void SetName(GridCell &cell, const char *name)
{
    std::memset(cell.bytes, 0, sizeof(cell.bytes));
    std::memcpy(cell.bytes + 4, name, std::strlen(name));
    cell.bytes[0] = 11;
    cell.bytes[1] = 22;
    cell.bytes[2] = 33;
    cell.bytes[3] = 44;
}

// A body object with three colour records, two textures (one the car's skin)
// and three materials (two on the plate textures).
void MakeBody(Object3D *body)
{
    InitObject3D(body);
    body->surfaces.width = 1;
    body->surfaces.height = 3;
    body->surfaces.cells = new GridCell[3];
    SetName(body->surfaces.cells[0], "BODYC1");
    SetName(body->surfaces.cells[1], "TRIMF1");
    SetName(body->surfaces.cells[2], "GLASe2");
    body->textureCount = 4;
    body->textures = new ObjectTexture[4]();
    body->textures[0].flags = TextureCarSpecific;
    std::strcpy(body->textures[0].name, "XRT_old");
    std::strcpy(body->textures[1].name, "tyre");
    std::strcpy(body->textures[2].name, "s_plate");
    std::strcpy(body->textures[3].name, "S_PLATE_ATEST");
    body->materialCount = 3;
    body->materials = new ObjectMaterial[3]();
    for (uint32_t i = 0; i < 3; i++) {
        body->materials[i].texture = static_cast<uint8_t>(i + 1);
        body->materials[i].uRepeat = body->materials[i].vRepeat = 7;
        body->materials[i].uOffset = body->materials[i].vOffset = 5;
    }
}

struct CarSkinTest : ::testing::Test {
    CarObject car;
    Object3D body;
    int savedAutoGet = AutoGetSkins;
    int savedLocalDds = LocalSkinsDds;
    uint32_t savedStart = StartFileTimeMinutes;
    int savedDedicated = DedicatedMode;

    void SetUp() override
    {
        InstallFakes();
        AutoGetSkins = 1;
        LocalSkinsDds = 0;
        DedicatedMode = DedicatedNone;
        StartFileTimeMinutes = 0xFFFFFFF0u;
        car.skinTime = 0xFFFFFFF0u;
        std::memcpy(car.shortName, "XRT", 4);
        car.colourCount = 2;
        car.colourTable = new CarColours[2]();
        std::strcpy(car.colourTable[0].skin, "default");
        std::strcpy(car.colourTable[1].skin, "away");
        for (int i = 0; i < 4; i++) {
            SetColourBytes(&car.colourTable[1].body[i], 10 * (i + 1), 50 + i, 7 + i);
            car.colourTable[1].body[i].flags = static_cast<uint8_t>(90 + i);
        }
        car.colours = &car.colourTable[1];
        car.isRemote = 0;
        MakeBody(&body);
        car.bodyObject = &body;
        TouchFile("data/skins/XRT_local.jpg");
        TouchFile("data/skins_dds/XRT_packed.dds");
        TouchFile("data/skins_x/XRT_fresh.dds");
        TouchFile("data/skins_y/XRT_high.dds");
    }
    void TearDown() override
    {
        car.bodyObject = nullptr;
        FreeObject3D(&body);
        CarNetwork = {};
        RaceServices = {};
        AutoGetSkins = savedAutoGet;
        LocalSkinsDds = savedLocalDds;
        StartFileTimeMinutes = savedStart;
        DedicatedMode = savedDedicated;
    }
    void UseSkin(const char *skin)
    {
        std::memset(car.colours->skin, 0, sizeof(car.colours->skin));
        std::strcpy(car.colours->skin, skin);
    }
};

TEST(TintMaterials, LettersAndDigitsPickTheirShareOfAColour)
{
    Colour colours[4] = {};
    SetColourBytes(&colours[1], 100, 50, 7);
    colours[1].flags = 9;
    SetColourBytes(&colours[2], 80, 33, 11);
    struct Row {
        const char *name;
        uint8_t expected[4];
    } rows[] = {
        {"BODYC2", {100, 50, 7, 9}},   // all four bytes
        {"BODYM2", {100, 50, 7, 9}},
        {"BODYd2", {60, 30, 4, 44}},   // 3/5, integer division; fourth byte kept
        {"BODYE3", {32, 13, 4, 44}},   // 2/5
        {"BODYF2", {11, 22, 33, 44}},  // another letter: left alone
        {"BODYC5", {11, 22, 33, 44}},  // no colour 5 among the body's four
        {"BODYC0", {11, 22, 33, 44}},
        {"BOD", {11, 22, 33, 44}},     // too short a name
    };
    constexpr int Count = sizeof(rows) / sizeof(rows[0]);
    CellGrid grid;
    grid.width = 1;
    grid.height = Count;
    grid.cells = new GridCell[Count];
    for (int i = 0; i < Count; i++) {
        SetName(grid.cells[i], rows[i].name);
    }
    TintMaterials(&grid, colours);
    for (int i = 0; i < Count; i++) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(std::memcmp(grid.cells[i].bytes, rows[i].expected, 4), 0)
            << int(grid.cells[i].bytes[0]) << " " << int(grid.cells[i].bytes[1]) << " "
            << int(grid.cells[i].bytes[2]) << " " << int(grid.cells[i].bytes[3]);
    }
    grid.Free();
}

TEST(PlateBandOffset, SlotsPickTheirBandWithTheSlotsSign)
{
    const struct {
        int slot, v;
    } rows[] = {{0, 48}, {3, 0}, {6, 16}, {31, 0}, {-1, 64}};
    for (const auto &row : rows) {
        EXPECT_EQ(PlateBandOffset(row.slot), row.v) << row.slot;
    }
}

TEST_F(CarSkinTest, PlateMaterialsTakeTheSlotsBandAndOthersAreKept)
{
    car.plateSlot = 6;
    car.SetPlateMaterials();
    const ObjectMaterial &tyre = body.materials[0];
    EXPECT_EQ(tyre.uOffset, 5);
    EXPECT_EQ(tyre.vOffset, 5);
    EXPECT_EQ(tyre.uRepeat, 7);
    for (int i = 1; i < 3; i++) {
        const ObjectMaterial &plate = body.materials[i];
        EXPECT_EQ(plate.uOffset, 0);
        EXPECT_EQ(plate.vOffset, 16);
        EXPECT_EQ(plate.uRepeat, 64);
        EXPECT_EQ(plate.vRepeat, 16);
    }
}

TEST_F(CarSkinTest, SkinNamesGoToTheCarsOwnTexturesAndTheBodyIsTinted)
{
    car.ApplySkinToMaterials(0);
    EXPECT_STREQ(body.textures[0].name, "XRT_away");
    EXPECT_STREQ(body.textures[1].name, "tyre");
    const uint8_t c1[4] = {10, 50, 7, 90};
    EXPECT_EQ(std::memcmp(body.surfaces.cells[0].bytes, c1, 4), 0);
    const uint8_t e2[4] = {20 * 2 / 5, 51 * 2 / 5, 8 * 2 / 5, 44};
    EXPECT_EQ(std::memcmp(body.surfaces.cells[2].bytes, e2, 4), 0);

    // While the skin is pending the first colour configuration's is shown.
    car.ApplySkinToMaterials(1);
    EXPECT_STREQ(body.textures[0].name, "XRT_default");

    // A 15-character skin name still fits the 20 bytes with its car code.
    UseSkin("abcdefghijklmno");
    car.ApplySkinToMaterials(0);
    EXPECT_STREQ(body.textures[0].name, "XRT_abcdefghijklmno");
}

TEST_F(CarSkinTest, CheckSkinTable)
{
    struct Row {
        const char *what;
        const char *skin;
        int autoGet;
        uint32_t permission;
        uint32_t masterWord;
        int dedicated;
        int freshTimeOffset;  // skinTime and start time = the skins_x file's time + this
        int expected;
    } rows[] = {
        {"empty name", "", 1, 1, 0, 0, 100, 1},
        {"first colour configuration's, other case", "DeFault", 1, 1, 0, 0, 100, 0},
        {"skin file exists (jpg)", "local", 1, 1, 0, 0, 100, 0},
        {"skin file exists (dds)", "packed", 1, 1, 0, 0, 100, 0},
        {"missing, downloads off", "away", 0, 1, 0, 0, 100, 0},
        {"missing, no permission", "away", 1, 0, 0, 0, 100, 0},
        {"missing, master forbids", "away", 1, 1, 1, 0, 100, 0},
        {"missing, dedicated host", "away", 1, 1, 0, 1, 100, 0},
        {"missing, permitted, no skins_x file", "away", 1, 1, 0, 0, 100, 1},
        {"download at the newest time", "fresh", 1, 1, 0, 0, 0, 0},
        {"download newer than needed", "fresh", 1, 1, 0, 0, -5, 0},
        {"download older than the skin", "fresh", 1, 1, 0, 0, 1, 1},
        {"old download, downloads off", "fresh", 0, 1, 0, 0, 1, 0},
        {"high-resolution folder not asked", "high", 1, 1, 0, 0, 100, 1},
        {"high-resolution folder asked", "high", 2, 1, 0, 0, 0, 0},
    };
    const uint32_t fresh = GetFileTimeMinutes("data\\skins_x\\XRT_fresh.dds");
    ASSERT_NE(fresh, 0u);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        InstallFakes();
        UseSkin(row.skin);
        AutoGetSkins = row.autoGet;
        skinNet.permission = row.permission;
        skinNet.masterWord = row.masterWord;
        skinNet.dedicated = row.dedicated;
        car.skinTime = fresh + row.freshTimeOffset;
        StartFileTimeMinutes = fresh + 1000;
        EXPECT_EQ(car.CheckSkin(), row.expected);
    }
    // The smaller of the skin's time and the start time decides.
    UseSkin("fresh");
    AutoGetSkins = 1;
    car.skinTime = fresh + 1000;
    StartFileTimeMinutes = fresh;
    EXPECT_EQ(car.CheckSkin(), 0);
}

TEST_F(CarSkinTest, CheckSkinSetsTheStateWordAndAsksTheCacheOnlyForItsOwnSkins)
{
    UseSkin("away");
    EXPECT_EQ(car.CheckSkin(), 1);
    EXPECT_EQ(SkinStateWord, 1u);
    EXPECT_EQ(skinNet.cacheTakes, 1);
    skinNet.permission = 0;
    EXPECT_EQ(car.CheckSkin(), 0);
    EXPECT_EQ(SkinStateWord, 2u);
    AutoGetSkins = 2;
    EXPECT_EQ(car.CheckSkin(), 0);
    EXPECT_EQ(SkinStateWord, 3u);

    // A remote car whose skin the other programs send is not taken from the
    // cache.
    skinNet.cacheTakes = 0;
    car.isRemote = 1;
    car.CheckSkin();
    EXPECT_EQ(skinNet.cacheTakes, 0);
}

TEST_F(CarSkinTest, WantsRemoteSkinOnlyForARemoteCarOfARaceWithOurSlot)
{
    const struct {
        uint32_t remote;
        int ownSlot, replay, adding, expected;
    } rows[] = {
        {0, 1, 0, 0, 0}, {1, 1, 0, 0, 1}, {1, 0, 0, 0, 0}, {1, 1, 1, 0, 0}, {1, 1, 0, 1, 0},
    };
    for (const auto &row : rows) {
        car.isRemote = row.remote;
        skinNet.ownSlot = row.ownSlot;
        skinNet.replay = row.replay;
        skinNet.adding = row.adding;
        EXPECT_EQ(car.WantsRemoteSkin(), row.expected);
    }
    CarNetwork = {};
    car.isRemote = 1;
    EXPECT_EQ(car.WantsRemoteSkin(), 0);
}

TEST_F(CarSkinTest, AMissingSkinIsQueuedAndARefusalIsShown)
{
    UseSkin("away");
    EXPECT_EQ(car.RequestSkinDownload(), 1);
    ASSERT_EQ(skinNet.queued.size(), 1u);
    EXPECT_EQ(skinNet.queued[0], "XRT/away/10");
    EXPECT_TRUE(skinNet.messages.empty());

    AutoGetSkins = 2;
    skinNet.queueAccepts = 0;
    EXPECT_EQ(car.RequestSkinDownload(), 1);
    EXPECT_EQ(skinNet.queued.back(), "XRT/away/11");
    ASSERT_EQ(skinNet.messages.size(), 1u);
    EXPECT_EQ(skinNet.messages[0], "Can't load skin : XRT_away");

    // No name, no file to fetch: the default skin is drawn and nothing asked.
    UseSkin("");
    EXPECT_EQ(car.RequestSkinDownload(), 1);
    EXPECT_EQ(skinNet.queued.size(), 2u);
    EXPECT_EQ(skinNet.messages.size(), 1u);
}

TEST_F(CarSkinTest, SkinNamesOfTheCarAndItsHelmetJoinTheSessionList)
{
    std::memcpy(car.playerInfo, "stripes\0\0\0\0\0\0\0\0\0", 16);
    car.AddSkinNames(0);
    EXPECT_EQ(skinNet.names, (std::vector<std::string>{"XRT_away", "HEL_stripes"}));
    skinNet.names.clear();
    car.AddSkinNames(1);
    EXPECT_EQ(skinNet.names, (std::vector<std::string>{"HEL_stripes"}));
}

}  // namespace
