#include "audio/sound_output.h"

int SoundState = 0;
int MusicBufferRunning = 0;

// No sound output exists yet: sound stays off, so starting, stopping and
// shutting down have nothing to act on.

void InitDirectSound()
{
}

void StopDirectSound()
{
}

void ShutdownSound()
{
}
