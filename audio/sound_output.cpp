#include "audio/sound_output.h"

#include <cmath>

int SoundState = 0;
int MusicBufferRunning = 0;
float MusicGain = 1.0f;
float EffectsVolume = 1.0f;
float CarSoundGain = 1.0f;

namespace {

constexpr float MaxVolumeSetting = 20.0f;
constexpr float VolumeStep = 1.15f;
constexpr float VolumeGainAtZero = 0.06109855f;

}  // namespace

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

float VolumeGain(float setting)
{
    if (!(setting >= 0.0f)) {  // also NaN
        setting = 0.0f;
    } else if (setting > MaxVolumeSetting) {
        setting = MaxVolumeSetting;
    }
    return std::pow(VolumeStep, setting) * VolumeGainAtZero;
}

void SetMusicVolume(float setting)
{
    MusicGain = VolumeGain(setting);
}

void SetEffectsVolume(float setting)
{
    EffectsVolume = VolumeGain(setting);
}

void SetCarSoundVolume(float setting)
{
    CarSoundGain = VolumeGain(setting);
}
