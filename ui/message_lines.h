#pragma once

#include <cstdint>

#include "core/colour.h"

// The on-screen message lines: short texts for the user (system notices,
// warnings, command results) shown at the top left. Up to 20 lines are
// current; each goes 6 s after it was added, or when a newer line needs its
// place, and then moves into a history of the last 20 removed lines.
//
// Every added line is also copied to the debug log while a log file is named
// (DebugLogPath), and printed on standard output while MessageLineEcho is set
// (the text console of a host without graphics).

constexpr int MessageLineLimit = 20;
constexpr int MessageTextSize = 128;         // a line keeps at most 127 characters
constexpr uint32_t MessageLifeMs = 6000;

// Targets of AddMessageLine.
constexpr int MessageTargetSystem = -1;      // a system line in the translation's code page
constexpr int MessageTargetHidden = -2;      // kept and passed on, never drawn
constexpr int MessageTargetLatin = -3;       // a system line in code page 0

constexpr uint8_t MessageFlagHidden = 1;

struct MessageLine {
    uint8_t Flags = 0;                       // MessageFlagHidden
    uint8_t Sequence = 0;                    // MessageSequence when added (wraps at 256)
    uint8_t PrefixLength = 0;                // length of a speaker's name prefix, else 0
    uint8_t CodePage = 0;                    // code-page table index the text is drawn in
    uint32_t Time = 0;                       // milliseconds of the platform clock when added
    char Text[MessageTextSize] = {};         // marked-up text; empty = free line
    const ::Colour *Colour = nullptr;
};

// Oldest first; the used lines are always at the start.
extern MessageLine MessageLines[MessageLineLimit];
extern MessageLine MessageHistory[MessageLineLimit];
extern int MessageLineCount;
extern uint32_t MessageSequence;
extern int MessagesChanged;                  // set whenever the lines change
// The y of the first line in screen units; the main loop sets it to -1 each pass.
extern float MessageTop;
// Non-zero: every line that is not hidden is also printed on standard output.
extern int MessageLineEcho;

// 0 all lines, 1 only lines that are not player chat, 2 no lines at all.
extern uint32_t MessageFilter;
// Non-zero: the history is drawn instead of the current lines ('H').
extern int ShowMessageHistory;

// What the message lines ask of the layers above: the connections, InSim,
// the session's suppression, the interface display state and the interface
// sounds. The program registers them at start-up; a null member answers 0
// (one own connection named by "Ply Name " for the connection questions).
struct MessageLineServices {
    int (*connectionCount)();
    const char *(*playerName)(int connection);
    int (*inSimConnectionId)(int connection);
    int (*playerId)(int connection);
    int (*inSimActive)();
    int (*isInSimPrefixInUse)(char prefix);
    // In the message-out packet's field order.
    void (*inSimSendMessageOut)(int connectionId, int playerId, int userType, int textStart, const char *text);
    int (*messagesSuppressed)();
    int (*hudShown)();
    void (*playInterfaceSound)(int sound);
};
void SetMessageLineServices(const MessageLineServices &services);
// The millisecond clock of line times and expiry; null: the platform's.
void SetMessageClock(uint32_t (*clock)());

// The core printer (an empty text adds nothing). target: 0 or more, the
// connection whose player speaks; MessageTargetSystem, MessageTargetHidden
// or MessageTargetLatin. toInSim 0 keeps the line from the InSim guests.
// Every text is cut to 127 bytes, never inside a double-byte pair. From a
// thread other than the main thread the line is queued for
// DrainMessageQueue.
void AddMessageLine(const char *text, const Colour *colour, int target, int toInSim = 1);
// Adds the lines other threads queued; the main loop calls it at the start of
// each pass.
void DrainMessageQueue();
// Makes the calling thread the one whose lines are added at once.
void SetMessageMainThread();

void PrintHiddenMessage(const char *text, const Colour *colour);
void PrintLatinMessage(const char *text, const Colour *colour);
// A connection's chat: the text after the packet's four header bytes, green.
void PrintPlayerChat(const uint8_t *packet, int connection);
void PrintMessage2(const char *a, const char *b, const Colour *colour);
void PrintLabelled(const char *label, const char *text, const Colour *colour);
void PrintMessageLatinTail(const char *a, const char *b, const Colour *colour);
void PrintMessageFloat(const char *format, double value, const Colour *colour);
void PrintInfoF(const char *format, ...);
void PrintInfoBeep(const char *text);
void PrintWarning(const char *text);
void PrintLoadFileError(const char *path);
void PrintSaveFileError(const char *path);
// Shown only while NetworkDebug is on, and never passed to InSim.
void PrintNetDebug(const char *text, const Colour *colour);
void PrintNetDebugF(const char *format, int value, const Colour *colour);
void PrintNetDebug2(const char *a, const char *b, const Colour *colour);

// Step through the shown texts from the text entry: copy a line's text
// without its name prefix (at most size - 1 characters), give its code page
// and return its sequence. See the .cpp for the order.
int RecallMessageBefore(char *buffer, int sequence, int size, int *codePage);
int RecallMessageAfter(char *buffer, int sequence, int size, int *codePage);
// A system line in the given colour (one of MessageColours).
void PrintMessage(const char *text, const Colour *colour);
// PrintMessage of a printf text with one int value, cut at 127 characters.
void PrintMessageArg(const char *format, int value, const Colour *colour);
// Moves current line n into the history.
void RemoveMessageLine(int n);
// Moves every current line into the history, oldest first.
void ClearMessageLines();
// Removes the lines older than 6 s; once per frame.
void ExpireMessageLines();
