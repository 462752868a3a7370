#pragma once

// Text utilities shared by every subsystem: the "^" markup escapes, bounded
// copies and fixed-width text fields, small parsers and the time texts.
//
// Escape alphabet ("^" and one character):
//   "^0".."^7"  colours;  "^8", "^9" back to the caller's colour; "^:" is the
//               stored form of "^8" inside names (see MarkupName);
//   "^L" "^E" "^T" "^B" "^J" "^C" "^G" "^H" "^S" "^K"  code pages 0..9
//               (Latin 1, Central European, Turkish, Baltic, Japanese,
//               Cyrillic, Greek, traditional Chinese, simplified Chinese,
//               Korean);
//   "^^"        a literal "^";
//   "^a" "^c" "^d" "^h" "^l" "^q" "^r" "^s" "^t" "^v"  the characters
//               * : \ # < ? > / " | that file names may not hold.

struct DataStream;

// Code page of the loaded language (0 = Latin 1). The translation loader sets
// it; everything here only reads it.
extern int LanguageCodePage;

// Fills exactly n bytes of out from the marked-up text without its colours:
// "^0".."^7" and "^9" are removed, "^8" and "^:" become "^L", "^^" stays, any
// other "^" code is copied as it stands. The rest of the field is zero-filled;
// a text that fills the field leaves no terminating zero (pass one below the
// buffer size when one is needed). A two-byte pair is written only when both
// bytes fit. Returns the position in out of position cursor of the text (0
// when the cursor falls on the second character of a removed or rewritten
// pair).
int StripColourCodes(char *out, const char *text, int n, int cursor = 0);
// The same field written to a stream: exactly n bytes.
void WriteTextNoColours(DataStream *stream, const char *text, int n);

// 1 when codePage is not 0 and the text holds a character of 128 or above or
// a backslash (the yen or won sign in the Asian code pages).
int NeedsCodePage(const char *text, int codePage);
// Moves the text two places right inside its buffer of size bytes (the last
// byte becomes 0) and writes "^" and the code page's letter in front. A buffer
// below 3 bytes, or an unknown code page, leaves the text unchanged.
void PrefixCodePage(char *text, int size, int codePage);
// PrefixCodePage when NeedsCodePage says so.
void AddCodePagePrefix(char *text, int size, int codePage);

// Prepares a name (at most its first 24 characters are used) for display
// next to translated text: "^8" becomes "^:", a final lone "^" is dropped,
// and while the language's code page is not 0 a name with a character of 128
// or above or a backslash gets "^L" in front. The result lies in one of two
// 32-byte buffers used in turn, so the result of the call before stays valid.
const char *MarkupName(const char *name);
// MarkupName followed by "^8".
const char *MarkupNameReset(const char *name);

// The escape letter of a character file names may not hold, else 0.
char FileCharToEscape(int character);
// The file-name character of an escape letter, else 0.
char EscapeToFileChar(int letter);
// Removes the ten forbidden file-name characters, in place.
void StripFileNameChars(char *text);
// In place: "^" and an escape letter become the character; "^" and any other
// character stay as both characters; a final lone "^" stays.
void DecodeNameEscapes(char *text);

// Copies at most n - 1 characters and zero-fills dest up to n bytes.
void CopyString(char *dest, const char *source, int n);
// Writes at most n - 1 characters, then zeros up to n bytes in all.
void WriteTextField(DataStream *stream, const char *text, int n);
// Copies the source without its double quotes, looking at no more than
// maxSource source characters, and terminates dest (which must hold
// maxSource + 1 bytes). Returns the number of characters copied.
int CopyWithoutQuotes(char *dest, const char *source, int maxSource);

// "" for 1, "s" for any other count.
const char *PluralSuffix(int count);
int IsHexDigit(int character);
// 1 when text begins with prefix, letters compared case-insensitively; an
// empty prefix matches.
int StartsWithNoCase(const char *text, const char *prefix);
// 1 when the two texts are equal with ASCII letters compared without regard
// to case, else 0.
int EqualsNoCase(const char *a, const char *b);
// The decimal integer at the start of the text (leading blanks skipped), 0
// when there is none; out-of-range values are clamped to the int range.
int ParseInt(const char *text);
// The number at the start of the text, with "," taken as the decimal point
// (only the first 15 characters are looked at); 0 when there is none.
float ParseFloat(const char *text);
// Compares the 8-character tags that follow the 24-character names of two
// 32-byte player name records, up to the first zero; 1 when they differ.
int PlayerTagDiffers(const char *recordA, const char *recordB);

// Writes prefix, a blank when spaced, and the time as "m:ss.hh" (below one
// hour) or "h:mm:ss.hh" into out (size bytes, always terminated when size is
// 1 or more). A negative time counts as 0. When font is not 0, (font + 5) x 16
// is added to every character, moving it into a digit font's range.
void FormatRaceTime(char *out, int size, const char *prefix, int spaced, int hundredths, int font);
// Writes the local time into out[0] and the universal time into out[1], each
// raised by 112 into the clock font. The local time is 12-hour ("1:05") when
// bit 0x80 of EditorOptions is set, else "13:05".
void FormatClockTexts(char out[2][8]);
