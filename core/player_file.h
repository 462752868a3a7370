#pragma once

#include <cstdint>

// The player file, data\misc\<"Ply Name ">.ply: the driver's options, the
// training lessons' progress, the default skin, the number-plate tag and one
// record per car model with its last colour choice and engine sound.
//
// Binary data file "KZVPLY", version 7 written, versions 5 to 7 read. After
// the header: the options in the order below (2 x u32, 16 x u8 with five
// reserved bytes), the 256-byte lessons block, the content bits (u32: bit 1
// lessons valid, bit 0 records carry engine-sound names), the default skin
// (16 bytes), the tag (8 bytes), the record count (u8), 3 reserved bytes and
// the car records (u32 colours index, 16-byte colours name, and in version 6
// and later the 32-byte engine-sound name). A version 5 file has no valid
// content bits. Version 7 files are 1360 bytes.

constexpr int PlayerCarRecordCount = 20;  // one per car model, in car-table order
constexpr int PlayerLessonsSize = 256;
constexpr int PlayerSkinSize = 16;
constexpr int PlayerFileVersion = 7;
constexpr int PlayerFileSize = 1360;

struct PlayerCarRecord {
    int32_t coloursIndex;   // -1: the named colours file
    char coloursName[16];
    char engineSound[32];   // empty: the car's default engine sound
};
static_assert(sizeof(PlayerCarRecord) == 52, "car records are stored as 52 bytes");

// The options, in file order.
extern uint32_t PlayerSpareWord;         // kept in the file only
extern uint32_t DriverAnimationSetting;  // the driver figure, 32 by default
extern uint8_t HornType;                 // 0..4
extern uint8_t SwapSide;                 // driver position: 0 right, 1 left
extern uint8_t ShifterMode;              // wheel: 0 auto, 1 sequential, 2 shifter, 3 shift force device
extern uint8_t MouseAutoGears;           // mouse or keyboard: automatic gears
extern uint8_t AutoClutchOther;          // automatic clutch, cars of control types 2 to 4
extern uint8_t AutoClutchType1;          // automatic clutch, cars of control type 1
extern uint8_t ShifterAutoClutch;        // automatic clutch with the H-pattern shifter
extern uint8_t MouseBrakeHelp;
extern uint8_t WheelBrakeHelp;
extern uint32_t SpeedUnitKmh;            // 1 km/h, 0 mph
extern uint32_t PressureUnitBar;         // 1 bar, 0 psi

extern uint8_t PlayerLessons[PlayerLessonsSize];
extern char PlayerDefaultSkin[PlayerSkinSize];
extern PlayerCarRecord PlayerCarRecords[PlayerCarRecordCount];

// The default skin, and the colours names of the first two car records.
constexpr const char *DefaultPlayerSkin = "DEFAULT";
constexpr const char *DefaultColoursNames[2] = {"Harbour Blue", "Ember Red"};

// Driver position, speed display and pressure display: 0 (right, mph, psi)
// for a user whose language is English, else 1.
void SetPlayerLanguageFlags();
// Spare word 0, figure 32, horn 0, lessons cleared, the default skin, and
// colours index -1 with a default colours name for the first two car
// records. Nothing else changes.
void SetPlayerDefaults();
// Reads the file of the current "Ply Name ". A missing, unreadable,
// truncated, foreign, too old or too new file returns 0 and changes nothing,
// except that SetPlayerDefaults runs when useDefaults is non-zero. Returns 1
// after a read. Shows no message.
int ReadPlayerFile(int useDefaults);
// Writes the file (version 7) when "Ply Name " is set. Returns 1 when it was
// written; a failed write leaves the previous file.
int WritePlayerFile();

// The record of the car named by "Selected Car ", or null for an unknown car.
PlayerCarRecord *GetCurrentCarRecord();
// The record of the car with the three-letter code, or null.
PlayerCarRecord *GetCarRecordByCode(const char *code);

// The player's control flags for a car of the given control type (1..5):
// 8 automatic gears, 16 H-pattern shifter, 64 brake help, 128 clutch on an
// axis, 512 automatic clutch, 8192 the driver's view position is set.
uint16_t ComputeControlFlags(int carControlType);
