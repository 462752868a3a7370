#pragma once

#include <cstdio>

// Settings files are written to a temporary file beside them, which replaces
// the file only once everything was written and closed without an error. A
// full disk or a crash in the middle of a save leaves the old file whole.

constexpr int SafeWritePathSize = 160;

struct SafeWrite {
    char path[SafeWritePathSize];  // the file to replace
    char temp[SafeWritePathSize];  // path + ".tmp"
};

// Fills both names; false when the path does not fit.
bool PrepareSafeWrite(SafeWrite *write, const char *path);

// Opens the temporary text file for writing; null when it cannot be made.
FILE *OpenSafeWriteText(SafeWrite *write, const char *path);

// Closes the temporary text file and finishes the write as below.
bool CloseSafeWriteText(SafeWrite *write, FILE *file);

// When written is true, renames the temporary over the file; otherwise (or
// when the rename fails) deletes the temporary. Returns true when the file
// now holds the new contents.
bool FinishSafeWrite(const SafeWrite *write, bool written);
