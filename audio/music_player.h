#pragma once

// Refills the streaming music buffer from the music file; once per main-loop
// pass while sound is on and the music buffer plays.
void UpdateMusicBuffer();

// Stops the music: with the music buffer running and `rewind` set, the
// buffer stops and goes back to its start, and sound leaves the
// music-playing state (2 -> 1).
void StopMusic(int rewind);
