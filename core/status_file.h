#pragma once

// The host's or guest's status file for host operators and outside tools:
// "host<Game Port>.txt" on a host, "guest.txt" on a guest, rewritten whole
// whenever the session's state changes and deleted when hosting or joining
// ends. Nothing is written or deleted while a multiplayer replay plays; a
// file that cannot be written is skipped silently.

constexpr int StatusMaxConnections = 48;

// The session's state as the network and race code know it.
struct SessionStatus {
    int isHost;
    int online;
    int replayPlaying;        // a multiplayer replay plays
    int racing;               // a race runs (game state 2)
    int qualifyMinutes;
    int raceLengthCode;
    char trackCode[8];        // site code, configuration digit, "R" when reversed
    char joinedHost[32];      // the host a guest joined
    int connectionCount;      // the host's own included
    const char *connectionNames[StatusMaxConnections];  // host first
};

// Fills the record; registered by the network code at start-up. Without one
// the program counts as an offline host.
using SessionStatusReader = void (*)(SessionStatus *status);
void SetSessionStatusReader(SessionStatusReader reader);

void WriteStatusFile();
void DeleteHostStatusFile();

