#pragma once

#include <cstdint>

// Two small settings files of data\misc, read once at start-up: the names the
// race setup gives to computer drivers (drv.nam) and the texts the function
// keys send (fkeys.msg). Both are data files with the id "QZAINM"; a missing
// or unreadable file leaves the built-in defaults.

constexpr const char *DriverNamesPath = "data\\misc\\drv.nam";
constexpr const char *FKeyMessagesPath = "data\\misc\\fkeys.msg";
constexpr const char *DriverNamesFileId = "QZAINM";
constexpr int DriverNamesVersion = 247;        // written; 246 is read as well
constexpr int DriverNamesOldestVersion = 246;
constexpr int FKeyMessagesVersion = 250;       // 32 messages; 249 holds 20, 248 holds 16
constexpr int FKeyMessagesOldestVersion = 248;

constexpr int AiDriverCount = 20;
constexpr int AiDriverNameSize = 24;           // at most 23 characters
constexpr int AiDriverShortTextSize = 8;
constexpr int FKeyMessageCount = 32;
constexpr int FKeyMessageSize = 64;            // at most 63 characters
constexpr int FKeyDefaultCount = 24;           // slots 24..31 have no default

// One AI driver's record, stored as these 36 bytes.
struct AiDriverRecord {
    char name[AiDriverNameSize];
    char shortText[AiDriverShortTextSize];
    uint8_t flag;                              // 0 or 1, toggled on the options screen
    uint8_t extra[3];                          // kept as read, written back unchanged
};
static_assert(sizeof(AiDriverRecord) == 36, "an AI driver record is stored as 36 bytes");

extern AiDriverRecord AiDriverNames[AiDriverCount];
// Function-key texts: slots 0..7 keys 1..8, 8..19 Ctrl with keys 1..12,
// 20..31 Alt with keys 1..12. Always zero-terminated.
extern char FKeyMessages[FKeyMessageCount][FKeyMessageSize];

// Reads drv.nam. Records the file does not hold (a short count, a truncated
// file) keep their defaults, "AI 1" to "AI 20".
void ReadDriverNames();
// Reads fkeys.msg. Slots the file does not hold keep their defaults.
void ReadFKeyMessages();
// Writes drv.nam (version 247, all 20 records) and fkeys.msg (version 250,
// all 32 messages); a file that cannot be created is skipped.
void WriteDriverNames();
void WriteFKeyMessages();
// The default tables: "AI 1" to "AI 20" (returns 20), and the 24 default
// function-key texts with the other slots empty.
int DefaultDriverNames();
void DefaultFKeyMessages();
// The record whose name equals the text without regard to case; 0 when
// none does (as for the first record).
int FindDriverName(const char *name);
