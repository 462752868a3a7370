#pragma once

// A start with a file or a link instead of options, the program's data
// sub-folders, and the exit with a code.

// Replay, set-up or layout file handed to the program: 0 none, 1 SPR, 2 MPR,
// 3 SET, 4 LYT; the entry screen opens a pending replay and clears it.
constexpr int PendingFileNameSize = 64;
extern int PendingFileType;
extern char PendingFileName[PendingFileNameSize];

// Looks at the command line before the options are read. Options (empty, or
// beginning with '/') go on as they are. A "kzv://" link is decoded in place
// into options ("%" and two hexadecimal digits give that byte). Returns 1 to
// go on starting, 0 when the start is finished without an error, -1 after an
// error, which has been shown.
//
// Handing a replay, set-up or layout file to the program is not done yet:
// such a command line is left as it is for the option reader, which refuses
// it.
int HandleFileArgument(char *commandLine);

// Makes sure data\<name> exists and a file can be written in it. Returns 0
// when it can, non-zero otherwise.
int EnsureDataFolder(const char *name);

// Ends the program with the code (kept when one was set before), through the
// window-close path.
void ExitProgram(int code);
