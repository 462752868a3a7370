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

// The core printer (an empty text adds nothing): target is MessageTargetSystem, MessageTargetHidden or
// MessageTargetLatin (lines of a speaking connection are not taken yet).
void AddMessageLine(const char *text, const Colour *colour, int target);
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
