#pragma once

#include <cstdint>
#include <cstdio>

// The reader of the text settings files (cfg.txt, card_cfg.txt,
// interface_cfg.txt, update_cfg.txt).
//
// A file is read character by character into a history of the last 64
// characters, newest first. After each character the history is matched
// against the file's key table; every key ends in one blank, the match is
// exact and case-sensitive, and the first key in table order wins (so a key
// that ends another key must stand after it: "Editor Options " before
// "Options "). On a match the key's value is read right after the blank.
// The characters a value reader consumes never enter the history, so keys
// are found anywhere, even in the middle of a line, and a later copy of a
// key overrides an earlier one.
//
// Numbers are scanned like fscanf's "%d" and "%f": white space, line ends
// included, is skipped first; when no number follows, the variable keeps its
// value (the clamp still applies) and the character that stopped the scan
// goes back to the file, to be read into the history. Scanning never depends
// on the C library's locale.

constexpr int TextKeyHistorySize = 64;

// count when the newest character (history[0]) is not a blank; otherwise the
// index of the first key whose whole text equals the last characters read
// (key character j against history[length - 1 - j]), count when none does.
int MatchTextKey(const char *history, const char *const *keys, int count);

// Zero-fills the n-byte buffer and reads up to a NUL, CR, LF or the end of
// the file. Characters below 32 are dropped; at most n - 1 are kept and the
// rest of the line is read and dropped. Returns the character that ended the
// line (EOF at the end of the file).
int ReadTextLine(FILE *file, char *buffer, int n);

// As ReadTextLine, but also drops the characters that file names may not
// hold (* : \ # < ? > / " |), and stops as soon as n - 1 characters are
// kept, leaving the rest of the line unread for the key matcher. Returns the
// character that ended the line, or the last character kept.
int ReadTextLineNoEscapes(FILE *file, char *buffer, int n);

// "%d": true when a number was scanned into value. Numbers beyond the int
// range saturate.
bool ScanTextInt(FILE *file, int *value);
// "%d", then below min gives min and above max gives max.
void ReadClampedInt(FILE *file, int *variable, int min, int max);
// "%d" (signed), then the variable is ANDed with the mask.
void ReadMaskedInt(FILE *file, uint32_t *variable, uint32_t mask);
// "%f" ("nan" and "inf" included), then a value below min, or NaN, gives
// min; a value above max gives max.
void ReadClampedFloat(FILE *file, float *variable, float min, float max);

// Reads a whole open file: every character goes through the history, and on
// each match the handler reads the value of key index key from the file.
using TextKeyHandler = void (*)(FILE *file, int key, void *context);
void ReadTextSettings(FILE *file, const char *const *keys, int count, TextKeyHandler handler, void *context);
