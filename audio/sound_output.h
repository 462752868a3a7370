#pragma once

// The sound output: the interface, music and car-sound buffers.

// 0 off, 1 on, 2 on with a music file playing.
extern int SoundState;
// 1 while the music buffer plays.
extern int MusicBufferRunning;

// Starts sound output; does nothing while it is on.
void InitDirectSound();
// Stops all sound and releases the output; does nothing while it is off.
void StopDirectSound();
// The shutdown step: stops the output and frees the samples and the music
// file; harmless when nothing was started.
void ShutdownSound();
