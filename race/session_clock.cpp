#include "race/session_clock.h"

#include "core/shell_globals.h"

uint32_t InitTime = 0;
uint32_t ClockFrame = 0;
uint32_t SessionFrameCount = 0;
uint32_t OwnFrameMark = 0;
uint32_t RaceFrameBase = 0;
uint32_t LastFlushedFrame = 0;
int FrameDelay = 0;
int RunLag = 0;

void UpdateSessionClock()
{
    ClockFrame = GameClock > InitTime ? (GameClock - InitTime) / 10 : 0;
}
