#pragma once

#include <cstdint>

struct DataStream;
struct MenuPage;
struct RaceObject;

// Single-player replays: every offline race is recorded into
// "data\spr\temp_spr.spr" and kept under a name on request; a kept file is
// played back tick for tick through the same simulation. The file layout is
// described in docs/replays.md.

constexpr const char *SprFileId = "KZVSPR";
constexpr int SprFileVersion = 251;
constexpr int SprOldestVersion = 250;
constexpr int SprFormat = 14;
constexpr int SprOldestFormat = 12;
constexpr const char *TempSprPath = "data\\spr\\temp_spr.spr";

// Offsets of the fixed part of the file.
constexpr long SprPlayerBlockOffset = 64;
constexpr long SprCheckBlockOffset = 192;
constexpr int SprSkinNames = 48;
constexpr int SprSkinNameSize = 20;
// The largest name SaveSprAs keeps (63 characters).
constexpr int SprMaxNameLength = 63;

// Record types.
constexpr uint8_t SprReliablePacket = 250;
constexpr uint8_t SprTimedPacket = 251;
constexpr uint8_t SprStateCheck = 252;
constexpr uint8_t SprControls = 254;
constexpr uint8_t SprEnd = 255;

// The format new recordings are written in; a format-12 or -13 replay being
// played lowers it until the session is left (no recording then).
extern int ReplayFormat;

// What the replay player asks of the layers above race/.
struct ReplayLinkServices {
    // A recorded chat message handed to the reliable-packet handler.
    void (*handleReliablePacket)(const uint8_t *packet, int length);
    // The replay's skins looked for (with graphics only).
    void (*loadSessionSkins)();
};
extern ReplayLinkServices ReplayLinks;

// --- The hot-lap check ---

// The 16-byte key of the set-up blocks from the salt, the local player's
// slot flags, the lap time (hundredths) and the file length; returns the
// check value stored beside the salt.
uint32_t HotLapCheckValue(uint32_t key[4], uint32_t salt, uint16_t slotFlags, uint32_t lapTime, uint32_t fileLength);

// --- Recording ---

void StartSprRecording();
// Ends a recording (or closes a replay being played): 1 when a recording
// was running.
int StopSprRecording();
int SprRecordingActive();
// A control-change record of the session tick: {0, count, {u16 index,
// u16 value}...} of a slot, written in the file's form.
void SprRecordControls(int slot, const uint8_t *record, int length);
void SprRecordStateCheck(uint32_t hash);
// A game packet queued while recording, for the race tick less tickOffset.
void SprRecordTimedText(const uint8_t *packet, int length, int tickOffset);
// A chat packet of the command interpreter.
void SprRecordText(const uint8_t *packet, int length);

// --- Saving ---

// The temporary recording kept as data\spr\<name>.spr (then <name>_2, _3
// ... unless overwrite): 1 when saved.
int SaveSprAs(const char *name, int overwrite);
// The name the last successful SaveSprAs kept.
extern char LastSavedSprName[64];
// The default name of the recording just ended, saved without overwrite:
// 1 when saved.
int MakeDefaultSprName();
// "%s%d%s%d%s%d": minutes, then seconds and hundredths with a leading "0"
// below 10.
void FormatReplayTime(char *out, int size, const char *prefix, uint32_t hundredths);
// The message of a rename's C library error number.
const char *RenameErrorText(int error);

// --- Playback ---

// The replay to play (its name without folder and extension).
extern char SprPlaybackName[64];
// Opens data\spr\<name>.spr and takes the race settings (create: a new race
// object). A different track is armed for loading: *trackLoading is then 1
// and ReadSprPlayers waits for it. 1 when open.
int OpenSprForPlayback(MenuPage *page, const char *name, int create, int *trackLoading);
// The players, the layout and the first record header: 1 when ready.
int ReadSprPlayers(MenuPage *page, int create);
// The replay's length in ticks measured; the reading position put back.
int32_t SprReadFirstRecord();
// The records of the race tick: 1 at the end of the replay.
int SprPlayUntilTick(uint32_t raceTick, int apply);
// The file closed; freeRace: the race object deleted.
void CloseSprPlayback(int freeRace);
int SprPlaybackOpen();
// The file offset of the first record of the replay being played.
long SprFirstRecordOffset();
// The replay of SprPlaybackName opened again in the running session (the
// session's restart): 1 when ready.
int ReopenSprPlayback();

// --- Summary ---

struct ReplaySummary {
    char trackName[32];
    uint8_t text[16];
    uint8_t config[3];     // light scheme, configuration, reversed
    uint8_t resultRows;
    uint8_t raceLength;
    uint8_t raceSetting;
    uint8_t playerCount;
    uint8_t hotLap;
    uint8_t status;        // 0 readable, 6 cannot open, 7 wrong version
    uint8_t spare[3];
    uint32_t length;       // ticks
};

// Fills the summary of data\spr\<name>.spr: 0, or the message of a file that
// cannot be read (status 6 or 7).
const char *ReadSprSummary(const char *name, ReplaySummary *summary);

// Registers the recorder and player into the session's and the race's
// entries.
void InstallSprReplays();
