#include "core/player_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/control_options.h"
#include "core/language_table.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

constexpr const char *BobPath = "data/misc/Bob.ply";

// A player file made byte by byte, as older or foreign programs wrote them.
struct PlayerFileImage {
    int version = 7;
    uint8_t horn = 2;
    uint8_t shifterMode = 2;
    uint8_t clutchOther = 0;
    uint8_t clutchType1 = 0;
    uint8_t shifterClutch = 1;
    uint32_t content = 3;
    int records = 20;

    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> out = {'K', 'Z', 'V', 'P', 'L', 'Y', static_cast<uint8_t>(version >> 8),
                                    static_cast<uint8_t>(version)};
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                out.push_back(static_cast<uint8_t>(v >> (8 * i)));
            }
        };
        auto text = [&](const std::string &t, size_t n) {
            for (size_t i = 0; i < n; ++i) {
                out.push_back(i < t.size() ? static_cast<uint8_t>(t[i]) : 0);
            }
        };
        u32(77);  // spare
        u32(40);  // figure
        for (uint8_t b : {horn, uint8_t{0}, shifterMode, uint8_t{0}, clutchOther, clutchType1, shifterClutch}) {
            out.push_back(b);
        }
        text("", 5);
        for (uint8_t b : {uint8_t{0}, uint8_t{1}, uint8_t{1}, uint8_t{1}}) {
            out.push_back(b);
        }
        text(std::string(256, 'L'), 256);
        u32(content);
        text("SKIN", 16);
        text("PLATE123", 8);
        out.push_back(static_cast<uint8_t>(records));
        text("", 3);
        for (int i = 0; i < records; ++i) {
            u32(static_cast<uint32_t>(i));
            text("col" + std::to_string(i), 16);
            if (version >= 6) {
                text("eng" + std::to_string(i), 32);
            }
        }
        return out;
    }
};

class PlayerFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        fs::remove_all("data", ec);
        fs::create_directories("data/misc");
        CopyString(PlayerName.name, "Bob", sizeof(PlayerName.name));
        std::memset(PlayerName.tag, 0, sizeof(PlayerName.tag));
        for (int i = 0; i < PlayerCarRecordCount; ++i) {
            PlayerCarRecords[i].coloursIndex = 100 + i;
            CopyString(PlayerCarRecords[i].coloursName, "old", 16);
            CopyString(PlayerCarRecords[i].engineSound, "oldeng", 32);
        }
        std::memset(PlayerLessons, 9, sizeof(PlayerLessons));
        HornType = 1;
        ShifterMode = 1;
        AutoClutchOther = 1;
        AutoClutchType1 = 1;
        ShifterAutoClutch = 0;
    }
    void TearDown() override { SetUserLanguageIdOverride(-1); }
};

TEST_F(PlayerFileTest, Version7WritesAndReadsByteForByte)
{
    PlayerSpareWord = 0x01020304;
    DriverAnimationSetting = 41;
    HornType = 3;
    SwapSide = 0;
    ShifterMode = 3;
    MouseAutoGears = 0;
    AutoClutchOther = 0;
    ShifterAutoClutch = 1;
    MouseBrakeHelp = 0;
    WheelBrakeHelp = 1;
    SpeedUnitKmh = 0;
    PressureUnitBar = 1;
    for (int i = 0; i < PlayerLessonsSize; ++i) {
        PlayerLessons[i] = static_cast<uint8_t>(i * 7);
    }
    CopyString(PlayerDefaultSkin, "MySkin", sizeof(PlayerDefaultSkin));
    std::memcpy(PlayerName.tag, "ABCDEFGH", 8);
    PlayerCarRecords[19].coloursIndex = -1;

    fs::remove_all("data/misc");  // made by the first write
    ASSERT_EQ(WritePlayerFile(), 1);
    const std::vector<uint8_t> first = ReadFileBytes(BobPath);
    EXPECT_EQ(first.size(), static_cast<size_t>(PlayerFileSize));
    EXPECT_FALSE(fs::exists("data/misc/Bob.ply.tmp"));

    SetPlayerDefaults();
    HornType = 0;
    ShifterMode = 1;
    std::memset(PlayerName.tag, 0, 8);
    PlayerCarRecords[19].coloursIndex = 5;
    ASSERT_EQ(ReadPlayerFile(0), 1);
    EXPECT_EQ(HornType, 3);
    EXPECT_EQ(ShifterMode, 3);
    EXPECT_STREQ(PlayerDefaultSkin, "MySkin");
    EXPECT_EQ(std::memcmp(PlayerName.tag, "ABCDEFGH", 8), 0);
    EXPECT_EQ(PlayerCarRecords[19].coloursIndex, -1);

    ASSERT_EQ(WritePlayerFile(), 1);
    EXPECT_EQ(ReadFileBytes(BobPath), first);
}

TEST_F(PlayerFileTest, OlderVersionsFollowTheirLayout)
{
    PlayerFileImage v6;
    v6.version = 6;
    WriteFileBytes(BobPath, v6.Bytes());
    ASSERT_EQ(ReadPlayerFile(0), 1);
    EXPECT_EQ(AutoClutchOther, 1);
    EXPECT_EQ(AutoClutchType1, 1);
    EXPECT_EQ(ShifterAutoClutch, 0);
    EXPECT_EQ(PlayerLessons[0], 'L');
    EXPECT_STREQ(PlayerCarRecords[19].coloursName, "col19");
    EXPECT_STREQ(PlayerCarRecords[19].engineSound, "eng19");

    SetUp();
    PlayerFileImage v5;
    v5.version = 5;
    WriteFileBytes(BobPath, v5.Bytes());
    ASSERT_EQ(ReadPlayerFile(0), 1);
    EXPECT_EQ(PlayerLessons[0], 0) << "version 5 has no valid content bits";
    EXPECT_EQ(PlayerCarRecords[19].coloursIndex, 19);
    EXPECT_STREQ(PlayerCarRecords[19].coloursName, "col19");
    EXPECT_STREQ(PlayerCarRecords[19].engineSound, "oldeng") << "version 5 holds no engine names";

    SetUp();
    PlayerFileImage v7;
    v7.content = 2;
    WriteFileBytes(BobPath, v7.Bytes());
    ASSERT_EQ(ReadPlayerFile(0), 1);
    EXPECT_EQ(ShifterAutoClutch, 1) << "version 7 keeps its clutch options";
    EXPECT_EQ(PlayerLessons[0], 'L');
    EXPECT_STREQ(PlayerCarRecords[4].engineSound, "") << "content bit 0 clear";
}

TEST_F(PlayerFileTest, RecordCountsAndDamagedOptions)
{
    PlayerFileImage many;
    many.records = 25;
    WriteFileBytes(BobPath, many.Bytes());
    ASSERT_EQ(ReadPlayerFile(0), 1);
    EXPECT_STREQ(PlayerCarRecords[19].coloursName, "col19");

    SetUp();
    PlayerFileImage few;
    few.records = 3;
    few.horn = 9;
    few.shifterMode = 7;
    WriteFileBytes(BobPath, few.Bytes());
    ASSERT_EQ(ReadPlayerFile(0), 1);
    EXPECT_STREQ(PlayerCarRecords[2].coloursName, "col2");
    EXPECT_EQ(PlayerCarRecords[3].coloursIndex, 103);
    EXPECT_STREQ(PlayerCarRecords[19].engineSound, "oldeng");
    EXPECT_EQ(HornType, 0);
    EXPECT_EQ(ShifterMode, 1);
}

TEST_F(PlayerFileTest, UnusableFilesCountAsMissing)
{
    PlayerFileImage v8;
    v8.version = 8;
    PlayerFileImage v4;
    v4.version = 4;
    std::vector<uint8_t> truncated = PlayerFileImage().Bytes();
    truncated.resize(1000);
    std::vector<uint8_t> foreign = PlayerFileImage().Bytes();
    foreign[0] = 'X';

    for (const std::vector<uint8_t> &bytes : {v8.Bytes(), v4.Bytes(), truncated, foreign}) {
        SetUp();
        WriteFileBytes(BobPath, bytes);
        EXPECT_EQ(ReadPlayerFile(0), 0);
        EXPECT_EQ(HornType, 1);
        EXPECT_EQ(PlayerLessons[0], 9);
        EXPECT_STREQ(PlayerCarRecords[0].coloursName, "old");

        EXPECT_EQ(ReadPlayerFile(1), 0);
        EXPECT_EQ(HornType, 0) << "defaults asked for";
        EXPECT_STREQ(PlayerCarRecords[0].coloursName, DefaultColoursNames[0]);
    }

    PlayerName.name[0] = 0;
    EXPECT_EQ(ReadPlayerFile(0), 0);
    EXPECT_EQ(WritePlayerFile(), 0);
}

TEST_F(PlayerFileTest, DefaultsTouchOnlyTheirFields)
{
    ShifterMode = 3;
    MouseBrakeHelp = 0;
    SwapSide = 0;
    SetPlayerDefaults();
    EXPECT_EQ(DriverAnimationSetting, 32u);
    EXPECT_EQ(HornType, 0);
    EXPECT_EQ(PlayerLessons[100], 0);
    EXPECT_STREQ(PlayerDefaultSkin, DefaultPlayerSkin);
    EXPECT_EQ(PlayerCarRecords[1].coloursIndex, -1);
    EXPECT_STREQ(PlayerCarRecords[1].coloursName, DefaultColoursNames[1]);
    EXPECT_EQ(PlayerCarRecords[2].coloursIndex, 102);
    EXPECT_STREQ(PlayerCarRecords[0].engineSound, "oldeng");
    EXPECT_EQ(ShifterMode, 3);
    EXPECT_EQ(MouseBrakeHelp, 0);
    EXPECT_EQ(SwapSide, 0);

    struct {
        int languageId;
        uint32_t flag;
    } const locales[] = {{9 | 1 << 10, 0}, {9 | 2 << 10, 0}, {7 | 1 << 10, 1}, {22 | 1 << 10, 1}};
    for (const auto &locale : locales) {
        SetUserLanguageIdOverride(locale.languageId);
        SetPlayerLanguageFlags();
        EXPECT_EQ(SwapSide, locale.flag) << locale.languageId;
        EXPECT_EQ(SpeedUnitKmh, locale.flag) << locale.languageId;
        EXPECT_EQ(PressureUnitBar, locale.flag) << locale.languageId;
    }
}

TEST_F(PlayerFileTest, CarRecordLookups)
{
    CopyString(SelectedCarName, "kestrel turbo", sizeof(SelectedCarName));
    EXPECT_EQ(GetCurrentCarRecord(), &PlayerCarRecords[2]);
    EXPECT_EQ(GetCarRecordByCode("KST"), &PlayerCarRecords[2]);
    EXPECT_EQ(GetCarRecordByCode("SBX"), &PlayerCarRecords[19]);
    CopyString(SelectedCarName, "No Such Car", sizeof(SelectedCarName));
    EXPECT_EQ(GetCurrentCarRecord(), nullptr);
    EXPECT_EQ(GetCarRecordByCode("XYZ"), nullptr);
}

TEST(ComputeControlFlags, FollowsTheControllerAndTheCar)
{
    struct Case {
        int controlType;  // 0 mouse or keyboard, 1 wheel
        int viewPosition;
        uint8_t shifterMode, mouseAutoGears, shifterClutch, clutchType1, clutchOther;
        uint32_t clutchControl;
        uint8_t mouseBrake, wheelBrake;
        int carType;
        uint16_t expected;
    } const cases[] = {
        {0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 584},
        {0, 0, 1, 1, 0, 1, 1, 1, 0, 0, 1, 520},
        {1, 0, 2, 1, 0, 1, 1, 0, 0, 0, 1, 144},
        {1, 0, 2, 1, 1, 1, 1, 0, 0, 1, 1, 592},   // shifter with automatic clutch, brake help
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 520},   // automatic gears on a wheel
        {1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1, 64},    // sequential, clutch on a button
        {0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 3, 64},    // mouse, manual, no automatic clutch: stops after 64
        {0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 4, 576},
        {0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 5, 8704},  // other car types always clutch for the driver
    };
    for (const Case &c : cases) {
        ControlType = c.controlType;
        DriverPosView = c.viewPosition;
        ShifterMode = c.shifterMode;
        MouseAutoGears = c.mouseAutoGears;
        ShifterAutoClutch = c.shifterClutch;
        AutoClutchType1 = c.clutchType1;
        AutoClutchOther = c.clutchOther;
        ClutchControl = c.clutchControl;
        MouseBrakeHelp = c.mouseBrake;
        WheelBrakeHelp = c.wheelBrake;
        EXPECT_EQ(ComputeControlFlags(c.carType), c.expected) << "case with expected " << c.expected;
    }
    ClutchControl = 1;
}

}  // namespace
