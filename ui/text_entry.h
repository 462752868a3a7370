#pragma once

#include <cstdint>

// The one line of text being edited (the entry line of the text input
// dialog). It is held twice: as decoded characters, each with its own code
// page, colour and trail byte, and as the marked-up text the rest of the
// program reads and draws. Every change re-encodes the text, so the two
// always agree.

constexpr int EntrySize = 96;
constexpr int EntryDefaultColour = 8;
constexpr int SlashLineLimit = 64;    // a "/" line (other than "/me ") stays below this many bytes
constexpr int PasteCharacterLimit = 95;

enum EntryModes {
    EntryModeAny = 0,
    EntryModeFileName = 1,   // no "." at the start; characters file names forbid kept as "^" escapes
    EntryModeLatin = 2,      // double-byte characters refused (passwords)
};

struct EntryChar {
    uint8_t c;       // the character, or the lead byte of a double-byte one
    uint8_t page;    // code-page table index
    uint8_t colour;  // 0..7, 8 the default
    uint8_t trail;   // 0 for a single-byte character
};
static_assert(sizeof(EntryChar) == 4, "an entry character is four bytes");

extern char EntryText[EntrySize];
extern EntryChar EntryChars[EntrySize];
extern int EntryMaxLength;
extern int EntryRoom;
extern int EntryCursor;
extern int EntryCursorByte;
extern int EntryFixedLength;
extern uint8_t EntryMode;
extern uint8_t EntryColour;
extern uint8_t PendingLeadByte;
extern int RecallSequence;

// Where copy and paste go: the desktop's clipboard in UTF-8 unless a test
// hands in its own pair. A null pair restores the desktop's.
struct EntryClipboard {
    bool (*get)(char *out, int size);
    bool (*set)(const char *utf8);
};
void SetEntryClipboard(const EntryClipboard *clipboard);

// Clears both forms and starts a line: at most min(maxLength, 96) bytes with
// the terminator; the initial text (null: none) decoded; the cursor at the
// given character (-1 the end), and everything before it fixed.
void BeginTextEntry(int maxLength, const char *initial, int cursor, int mode);
// Walks marked-up text as the drawing does and writes either characters or
// plain bytes (lead and trail in order, terminated); either may be null.
// Returns the number of characters.
int DecodeCodedText(EntryChar *chars, int charCapacity, char *bytes, int byteCapacity, const char *text,
                    int codePage);
// Writes the characters back into EntryText; returns its length.
int EncodeEntryText();
// A typed character in the keyboard's code page and the chosen colour.
int TypeEntryChar(int code);
// 1 when the character was taken or ignored, 0 when refused (sound 3).
int InsertEntryChar(int c, int trail, int page, int colour);
// The editing keys, colours, recall, copy and paste; other codes are typed.
void TextEntryKey(int code);
// Trims blanks after the fixed start (in file-name mode also ".") and at the
// end; the cursor goes to the end.
void FinishEntryText();
// Keeps a text without its marks / tells whether another equals it.
void SetPlainCompareText(const char *text);
int EqualsPlainCompareText(const char *text);
// Types the function-key line queued while the entry was open; 1 when it
// was typed completely. The text comes from the caller's lookup.
int TakeQueuedInputLine(const char *(*lineText)(int index));
void DeleteCharBeforeCursor();
void DeleteCharAtCursor();
int CountEntryChars();
// 1 for the characters a line can hold: 32..255 except 127.
int IsPrintableChar(int code);
