#include "core/player_file.h"

#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/control_options.h"
#include "core/data_stream.h"
#include "core/language_table.h"
#include "core/safe_write.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "platform/file_system.h"

uint32_t PlayerSpareWord = 0;
uint32_t DriverAnimationSetting = 32;
uint8_t HornType = 0;
uint8_t SwapSide = 1;
uint8_t ShifterMode = 1;
uint8_t MouseAutoGears = 1;
uint8_t AutoClutchOther = 1;
uint8_t AutoClutchType1 = 1;
uint8_t ShifterAutoClutch = 0;
uint8_t MouseBrakeHelp = 1;
uint8_t WheelBrakeHelp = 0;
uint32_t SpeedUnitKmh = 1;
uint32_t PressureUnitBar = 1;

uint8_t PlayerLessons[PlayerLessonsSize] = {};
char PlayerDefaultSkin[PlayerSkinSize] = {};
PlayerCarRecord PlayerCarRecords[PlayerCarRecordCount] = {};

namespace {

constexpr const char *PlayerFileId = "KZVPLY";
constexpr const char *PlayerFolder = "data\\misc";
constexpr int OldestPlayerFileVersion = 5;
constexpr int PrimaryEnglish = 9;
constexpr uint32_t ContentLessonsValid = 2;
constexpr uint32_t ContentEngineSounds = 1;
constexpr int ReservedOptionBytes = 5;
constexpr int HornTypeCount = 5;
constexpr int ShifterModeCount = 4;

// Everything the file holds, so that a file is applied whole or not at all.
struct PlayerData {
    uint32_t spare;
    uint32_t figure;
    uint8_t horn;
    uint8_t swapSide;
    uint8_t shifterMode;
    uint8_t mouseAutoGears;
    uint8_t autoClutchOther;
    uint8_t autoClutchType1;
    uint8_t shifterAutoClutch;
    uint8_t mouseBrakeHelp;
    uint8_t wheelBrakeHelp;
    uint8_t speedKmh;
    uint8_t pressureBar;
    uint8_t lessons[PlayerLessonsSize];
    char skin[PlayerSkinSize];
    char tag[PlayerTagSize];
    PlayerCarRecord cars[PlayerCarRecordCount];
};

PlayerData CapturePlayerData()
{
    PlayerData data = {};
    data.spare = PlayerSpareWord;
    data.figure = DriverAnimationSetting;
    data.horn = HornType;
    data.swapSide = SwapSide;
    data.shifterMode = ShifterMode;
    data.mouseAutoGears = MouseAutoGears;
    data.autoClutchOther = AutoClutchOther;
    data.autoClutchType1 = AutoClutchType1;
    data.shifterAutoClutch = ShifterAutoClutch;
    data.mouseBrakeHelp = MouseBrakeHelp;
    data.wheelBrakeHelp = WheelBrakeHelp;
    data.speedKmh = static_cast<uint8_t>(SpeedUnitKmh);
    data.pressureBar = static_cast<uint8_t>(PressureUnitBar);
    std::memcpy(data.lessons, PlayerLessons, sizeof(data.lessons));
    std::memcpy(data.skin, PlayerDefaultSkin, sizeof(data.skin));
    std::memcpy(data.tag, PlayerName.tag, sizeof(data.tag));
    std::memcpy(data.cars, PlayerCarRecords, sizeof(data.cars));
    return data;
}

void ApplyPlayerData(const PlayerData &data)
{
    PlayerSpareWord = data.spare;
    DriverAnimationSetting = data.figure;
    HornType = data.horn;
    SwapSide = data.swapSide;
    ShifterMode = data.shifterMode;
    MouseAutoGears = data.mouseAutoGears;
    AutoClutchOther = data.autoClutchOther;
    AutoClutchType1 = data.autoClutchType1;
    ShifterAutoClutch = data.shifterAutoClutch;
    MouseBrakeHelp = data.mouseBrakeHelp;
    WheelBrakeHelp = data.wheelBrakeHelp;
    SpeedUnitKmh = data.speedKmh;
    PressureUnitBar = data.pressureBar;
    std::memcpy(PlayerLessons, data.lessons, sizeof(data.lessons));
    std::memcpy(PlayerDefaultSkin, data.skin, sizeof(data.skin));
    std::memcpy(PlayerName.tag, data.tag, sizeof(data.tag));
    std::memcpy(PlayerCarRecords, data.cars, sizeof(data.cars));
}

// A text field read from a file always ends within its field.
void ReadTextField(DataStream &stream, char *field, int size)
{
    stream.ReadBytes(field, size);
    field[size - 1] = 0;
}

bool MakePlayerPath(char *path, int size)
{
    if (!PlayerName.name[0]) {
        return false;
    }
    const int length = std::snprintf(path, static_cast<size_t>(size), "data\\misc\\%.*s.ply", PlayerNameSize - 1,
                                     PlayerName.name);
    return length > 0 && length < size;
}

// Reads the file into data (which holds the current values beforehand, so
// that what the file lacks stays). False for a file that is not to be used.
bool ReadPlayerData(const char *path, PlayerData &data)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, path, PlayerFileId, &version, PlayerFileVersion, 0)) {
        return false;
    }
    if (version < OldestPlayerFileVersion) {
        stream.Close();
        return false;
    }

    data.spare = stream.ReadU32();
    data.figure = stream.ReadU32();
    data.horn = static_cast<uint8_t>(stream.ReadU8());
    data.swapSide = static_cast<uint8_t>(stream.ReadU8());
    data.shifterMode = static_cast<uint8_t>(stream.ReadU8());
    data.mouseAutoGears = static_cast<uint8_t>(stream.ReadU8());
    data.autoClutchOther = static_cast<uint8_t>(stream.ReadU8());
    data.autoClutchType1 = static_cast<uint8_t>(stream.ReadU8());
    data.shifterAutoClutch = static_cast<uint8_t>(stream.ReadU8());
    uint8_t reserved[ReservedOptionBytes];
    stream.ReadBytes(reserved, ReservedOptionBytes);
    data.mouseBrakeHelp = static_cast<uint8_t>(stream.ReadU8());
    data.wheelBrakeHelp = static_cast<uint8_t>(stream.ReadU8());
    data.speedKmh = static_cast<uint8_t>(stream.ReadU8());
    data.pressureBar = static_cast<uint8_t>(stream.ReadU8());

    // The bytes index tables (horn sounds, gearbox kinds): a damaged or
    // foreign file must not reach past them.
    if (data.horn >= HornTypeCount) {
        data.horn = 0;
    }
    if (data.shifterMode >= ShifterModeCount) {
        data.shifterMode = 1;
    }
    // Version 7 changed the meaning of the three clutch options; files
    // written before take the values that match their behaviour.
    if (version <= 6) {
        data.autoClutchOther = 1;
        data.autoClutchType1 = 1;
        data.shifterAutoClutch = 0;
    }

    stream.ReadBytes(data.lessons, PlayerLessonsSize);
    uint32_t content = stream.ReadU32();
    if (version == OldestPlayerFileVersion) {
        content = 0;  // the word is there, but version 5 never set it
    }
    if (!(content & ContentLessonsValid)) {
        std::memset(data.lessons, 0, sizeof(data.lessons));
    }

    ReadTextField(stream, data.skin, PlayerSkinSize);
    stream.ReadBytes(data.tag, PlayerTagSize);
    const int count = stream.ReadU8();
    uint8_t reservedAfterCount[3];
    stream.ReadBytes(reservedAfterCount, 3);

    for (int i = 0; i < count && !stream.overrun; ++i) {
        PlayerCarRecord scratch;
        PlayerCarRecord &record = i < PlayerCarRecordCount ? data.cars[i] : scratch;  // extra records are dropped
        record.coloursIndex = static_cast<int32_t>(stream.ReadU32());
        ReadTextField(stream, record.coloursName, sizeof(record.coloursName));
        if (version >= 6) {
            ReadTextField(stream, record.engineSound, sizeof(record.engineSound));
            if (!(content & ContentEngineSounds)) {
                std::memset(record.engineSound, 0, sizeof(record.engineSound));
            }
        }
    }
    const bool complete = !stream.overrun;
    stream.Close();
    return complete;
}

}  // namespace

void SetPlayerLanguageFlags()
{
    const uint8_t flag = (UserLanguageId() & 0x3FF) == PrimaryEnglish ? 0 : 1;
    SwapSide = flag;
    SpeedUnitKmh = flag;
    PressureUnitBar = flag;
}

void SetPlayerDefaults()
{
    PlayerSpareWord = 0;
    DriverAnimationSetting = 32;
    HornType = 0;
    std::memset(PlayerLessons, 0, sizeof(PlayerLessons));
    CopyString(PlayerDefaultSkin, DefaultPlayerSkin, sizeof(PlayerDefaultSkin));
    for (int i = 0; i < 2; ++i) {
        PlayerCarRecords[i].coloursIndex = -1;
        CopyString(PlayerCarRecords[i].coloursName, DefaultColoursNames[i], sizeof(PlayerCarRecords[i].coloursName));
    }
}

int ReadPlayerFile(int useDefaults)
{
    char path[64];
    PlayerData data = CapturePlayerData();
    if (!MakePlayerPath(path, sizeof(path)) || !ReadPlayerData(path, data)) {
        if (useDefaults) {
            SetPlayerDefaults();
        }
        return 0;
    }
    ApplyPlayerData(data);
    return 1;
}

int WritePlayerFile()
{
    char path[64];
    SafeWrite write;
    if (!MakePlayerPath(path, sizeof(path)) || !PrepareSafeWrite(&write, path)) {
        return 0;
    }
    PlatformMakeDirectory(PlayerFolder);  // the data folder ships without it
    DataStream stream;
    if (stream.OpenWrite(nullptr, write.temp, PlayerFileId, PlayerFileVersion)) {
        return 0;
    }
    const PlayerData data = CapturePlayerData();
    stream.WriteU32(data.spare);
    stream.WriteU32(data.figure);
    stream.WriteU8(data.horn);
    stream.WriteU8(data.swapSide);
    stream.WriteU8(data.shifterMode);
    stream.WriteU8(data.mouseAutoGears);
    stream.WriteU8(data.autoClutchOther);
    stream.WriteU8(data.autoClutchType1);
    stream.WriteU8(data.shifterAutoClutch);
    for (int i = 0; i < ReservedOptionBytes; ++i) {
        stream.WriteU8(0);
    }
    stream.WriteU8(data.mouseBrakeHelp);
    stream.WriteU8(data.wheelBrakeHelp);
    stream.WriteU8(data.speedKmh);
    stream.WriteU8(data.pressureBar);
    stream.WriteBytes(data.lessons, PlayerLessonsSize);
    stream.WriteU32(ContentLessonsValid | ContentEngineSounds);
    stream.WriteString(data.skin, PlayerSkinSize);
    stream.WriteBytes(data.tag, PlayerTagSize);
    stream.WriteU8(PlayerCarRecordCount);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(0);
    for (const PlayerCarRecord &record : data.cars) {
        stream.WriteU32(static_cast<uint32_t>(record.coloursIndex));
        stream.WriteString(record.coloursName, sizeof(record.coloursName));
        stream.WriteString(record.engineSound, sizeof(record.engineSound));
    }
    const bool written = stream.Close() == 0;
    return FinishSafeWrite(&write, written) ? 1 : 0;
}

PlayerCarRecord *GetCurrentCarRecord()
{
    const int car = FindCarByName(SelectedCarName);
    return car < 0 ? nullptr : &PlayerCarRecords[car];
}

PlayerCarRecord *GetCarRecordByCode(const char *code)
{
    const int car = FindCarByCode(code);
    return car < 0 ? nullptr : &PlayerCarRecords[car];
}

uint16_t ComputeControlFlags(int carControlType)
{
    constexpr uint16_t ViewPosition = 8192;
    constexpr uint16_t AutoClutch = 512;
    constexpr uint16_t ClutchAxis = 128;
    constexpr uint16_t BrakeHelp = 64;
    constexpr uint16_t HShifter = 16;
    constexpr uint16_t AutoGears = 8;

    const bool wheel = ControlType == 1;
    const uint16_t base = DriverPosView > 0 ? ViewPosition : 0;
    const bool autoGears = wheel ? ShifterMode == 0 : MouseAutoGears != 0;

    uint16_t flags = base;
    if (autoGears) {
        flags |= AutoClutch | AutoGears;
    } else if (carControlType == 1) {
        if (wheel && ShifterMode > 1) {
            flags |= HShifter;
            if (ShifterAutoClutch) {
                flags |= AutoClutch;
            }
        } else if (AutoClutchType1) {
            flags |= AutoClutch;
        }
    } else if (carControlType >= 2 && carControlType <= 4) {
        if (AutoClutchOther) {
            flags |= AutoClutch;
        }
    } else {
        flags |= AutoClutch;
    }

    if (!(flags & AutoClutch)) {
        if (!wheel) {
            return MouseBrakeHelp ? flags | BrakeHelp : flags;
        }
        if (ClutchControl == 0) {
            flags |= ClutchAxis;
        }
    }
    if (wheel ? WheelBrakeHelp : MouseBrakeHelp) {
        flags |= BrakeHelp;
    }
    return flags;
}
