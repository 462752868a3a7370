#pragma once

// Refills the streaming music buffer from the music file; once per main-loop
// pass while sound is on and the music buffer plays.
void UpdateMusicBuffer();
