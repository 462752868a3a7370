#include "race/game_state.h"

int GameState = 1;
GameSession *GameSessionPtr = nullptr;
int NoViewedCarFlag = 0;
int OnlineFlag = 0;
int MultiplayerReplayPlaying = 0;
int RaceKind = 0;

// There is no game session yet, so there is no free view either.
int IsFreeView()
{
    return 0;
}
