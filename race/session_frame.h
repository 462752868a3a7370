#pragma once

// Session services that the main loop calls around a frame.

// Snaps the replay speed to 1.0 when within 0.1 of it and shows the speed on
// screen for 4 seconds.
void ShowReplaySpeed();
// Begins the frame and clears it to black when nothing began it in this pass.
void DrawBackgroundScreen();
