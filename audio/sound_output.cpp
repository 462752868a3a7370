#include "audio/sound_output.h"

#include <cmath>
#include <cstdio>

#include "audio/car_sound_buffer.h"
#include "core/colour.h"
#include "platform/sound_device.h"
#include "vehicle/car_race_services.h"

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

namespace {

void PrintSoundLine(const char *heading, const char *text, int code)
{
    char line[128];
    std::snprintf(line, sizeof(line), "%s (%s %d)", heading, text, code);
    RacePrintMessage(line, ColourSalmon);
}

}  // namespace

// Sound starts with the car-sound buffer only: the music and interface
// buffers join it with their players.
void InitDirectSound()
{
    if (SoundState != 0) {
        return;
    }
    const int code = SoundDeviceStart();
    if (code != 0) {
        ReportSoundError("DirectSoundCreate8:I", code);   // sound stays off, silently
        return;
    }
    SoundState = 1;
    RegisterCarSoundOutput();
    CreateCarSoundBuffer();
}

void StopDirectSound()
{
    if (SoundState == 0) {
        return;
    }
    StopCarSoundBuffer();
    SoundState = 0;
    ReleaseCarSoundBuffer();
    SoundDeviceStop();
}

void ShutdownSound()
{
    StopDirectSound();
}

void ReportSoundFailure(const char *text, int code)
{
    if (SoundState == 0) {
        return;
    }
    PrintSoundLine("No sound", text, code);
    StopDirectSound();
}

void ReportSoundError(const char *text, int code)
{
    if (SoundState == 0) {
        return;
    }
    PrintSoundLine("Sound error", text, code);
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
