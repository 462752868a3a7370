#pragma once

// What the program is doing with races, read by the main loop, the window and
// the network code.

struct GameSession;

// 0 credits, 1 no race (the menus), 2 racing, 3 single-player replay playback.
extern int GameState;
// The game session: exists while the user is on the track, null otherwise.
extern GameSession *GameSessionPtr;
// 1 while the game session exists but views no car.
extern int NoViewedCarFlag;
// Non-zero while online.
extern int OnlineFlag;
// Non-zero while a multiplayer replay plays.
extern int MultiplayerReplayPlaying;

// Non-zero while the game session is in free view or the layout editor.
int IsFreeView();

// The session's race kind: 0 none, 1 race, 2 qualifying.
extern int RaceKind;
