#pragma once

// Session services that the main loop calls around a frame.

// With a session: snaps the replay speed to 1.0 when within 0.1 of it and
// shows the speed on screen for 4 seconds.
void ShowReplaySpeed();
// Begins the frame and clears it to black when nothing began it in this pass.
void DrawBackgroundScreen();
// The replay speed halved (not below 0.125) or doubled (not above 32), then
// shown.
void HalveReplaySpeed();
void DoubleReplaySpeed();
