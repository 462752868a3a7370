#pragma once

#include <cstddef>

#include "platform/window.h"

// A start with a file or a link instead of options, the hand-over of a file
// to a program that already runs, the program's data sub-folders, and the
// exit with a code.
//
// The command line is a file argument when it does not begin with "kzv://",
// its last three letters or digits are SPR, MPR, SET or LYT (any case) and it
// names an existing regular file. A "kzv://" link is decoded into options.
// Everything else is options.
//
// A running program is found through the socket file InstanceSocketName in
// the program folder (platform/instance_link.h), which the program with the
// main window listens on.

constexpr const char *InstanceSocketName = "kzv.sock";

// Replay, set-up or layout file handed to the program: 0 none, 1 SPR, 2 MPR,
// 3 SET, 4 LYT; the entry screen opens a pending replay and clears it.
enum PendingFileKind {
    PendingFileNone = 0,
    PendingFileSpr = 1,
    PendingFileMpr = 2,
    PendingFileSet = 3,
    PendingFileLyt = 4,
};
constexpr int PendingFileNameSize = 64;
extern int PendingFileType;
extern char PendingFileName[PendingFileNameSize];
// 1 when the command line was a link: its options are read in link mode.
extern int CommandLineIsLink;

// What the hand-over needs of the subsystems above core, registered at
// start-up. Null members: no file is accepted, nothing is refreshed or
// raised, boxes go to PlatformMessageBox and the program folder is found by
// PlatformFindRunFolder.
struct FileHandOverServices {
    // The entry screen is idle, or the replays page or a replay started from
    // it shows without a child page.
    int (*canAcceptExternalFile)();
    // A set-up file arrived: the garage's set-up list is read again.
    void (*refreshSetupList)();
    // A file was taken: the window comes to the front.
    void (*raiseWindow)();
    PlatformAnswer (*messageBox)(const char *title, const char *text, PlatformMessageBoxKind kind);
    bool (*findProgramFolder)(char *out, size_t size);
};
void SetFileHandOverServices(const FileHandOverServices &services);

// Looks at the command line before the options are read (the link's text is
// decoded in place into options). Returns 1 to go on starting, 0 when the
// start is finished without an error (file copied or handed over, nothing to
// copy, or the user said No), -1 after an error, which has been shown.
int HandleFileArgument(char *commandLine);

// The running program's answer to a hand-over request: 1 taken, 3 not now
// (not idle on the entry screen), 4 the name is unusable, else 0.
int OnExternalFileMessage(int type, const char *name);
int CanAcceptExternalFile();

// 1 when another program listens in the current folder; never waits.
int ProbeRunningInstance();
// Starts listening for hand-overs: 1 listening, 0 another program holds the
// socket, -1 error.
int StartInstanceListener();
// Answers the requests that have arrived; never waits. Main loop.
void ServeInstanceRequests();
// Stops listening and removes the socket file. Shutdown.
void StopInstanceListener();

// 1 when the name can only name a file inside its data folder: not empty,
// and no '/', '\', ':' or "..".
int IsPlainFileName(const char *name);

// Makes sure data\<name> exists and a file can be written in it. Returns 0
// when it can, non-zero otherwise.
int EnsureDataFolder(const char *name);

// Ends the program with the code (kept when one was set before), through the
// window-close path.
void ExitProgram(int code);
