#pragma once

#include <cstdint>

// The session clock and frame counters, shared by the game session, the
// race setup's lobby loop and the network layer. Frames are 0.01 s.

// Game-clock time (ms) at which session frame 0 began.
extern uint32_t InitTime;
// Where the clock stands: (GameClock - InitTime) / 10, 0 before InitTime.
extern uint32_t ClockFrame;
// Session frames run.
extern uint32_t SessionFrameCount;
// Frames stored in the own connection's ring.
extern uint32_t OwnFrameMark;
// The frame of the race object's tick 0.
extern uint32_t RaceFrameBase;
// The frame the last flushed batch was stamped with.
extern uint32_t LastFlushedFrame;
// Blank frames stored ahead of every flush: 0 offline, 50 online.
extern int FrameDelay;
// Frames by which the session frame stays behind the clock (0..100).
extern int RunLag;

// ClockFrame from the game clock.
void UpdateSessionClock();
