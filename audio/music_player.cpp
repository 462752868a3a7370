#include "audio/music_player.h"

#include "audio/sound_output.h"
#include "platform/sound_device.h"

// No music plays yet, so there is nothing to refill.
void UpdateMusicBuffer()
{
}

// The buffer's half: no music file is open yet.
void StopMusic(int rewind)
{
    if (rewind == 0 || MusicBufferRunning == 0) {
        return;
    }
    SoundRingStop(MusicRing());
    SoundRingSetPosition(MusicRing(), 0);
    MusicBufferRunning = 0;
    if (SoundState == 2) {
        SoundState = 1;
    }
}
