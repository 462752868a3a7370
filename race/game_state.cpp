#include "race/game_state.h"

#include "race/game_session.h"

int GameState = 1;
GameSession *GameSessionPtr = nullptr;
int NoViewedCarFlag = 0;
int OnlineFlag = 0;
int MultiplayerReplayPlaying = 0;
int RaceKind = 0;

int IsFreeView()
{
    return GameSessionPtr != nullptr && GameSessionPtr->freeView != 0 ? 1 : 0;
}
