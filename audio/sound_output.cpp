#include "audio/sound_output.h"

#include <cmath>
#include <cstdio>

#include "audio/car_sound_buffer.h"
#include "audio/interface_sound.h"
#include "audio/music_player.h"
#include "audio/music_stream.h"
#include "audio/sound_links.h"
#include "core/colour.h"
#include "platform/sound_device.h"
#include "world/light_scheme.h"

int SoundState = 0;
int MusicBufferRunning = 0;
uint8_t *MusicFileWindow = nullptr;
float MusicGain = 1.0f;
float EffectsVolume = 1.0f;
float CarSoundGain = 1.0f;

namespace {

constexpr float MaxVolumeSetting = 20.0f;
constexpr float VolumeStep = 1.15f;
constexpr float VolumeGainAtZero = 0.06109855f;

SoundRing *MusicBuffer = nullptr;

void PrintSoundLine(const char *heading, const char *text, int code)
{
    char detail[128];
    std::snprintf(detail, sizeof(detail), "(%s %d)", text, code);
    SoundPrintMessageLatinTail(heading, detail, ColourSalmon);
}

}  // namespace

void StartSound()
{
    if (MusicFileWindow == nullptr) {
        MusicFileWindow = new uint8_t[MusicFileWindowBytes]();
    }
    LoadSoundSamples();
    InitDirectSound();
}

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
    const int level = SoundDeviceSetCooperativeLevel();
    if (level != 0) {
        ReportSoundFailure("SetCooperativeLevel:I", level);
        return;
    }
    // Each reports its own failure; after a failure sound is off and the
    // later ones make nothing.
    CreateMusicBuffer();
    CreateCarSoundBuffer();
    CreateInterfaceBuffers();
}

void StopDirectSound()
{
    if (SoundState == 0) {
        return;
    }
    StopMusic(1);
    StopCarSoundBuffer();
    ReleaseInterfaceBuffers();
    SoundState = 0;
    ReleaseMusicBuffer();
    ReleaseCarSoundBuffer();
    SoundDeviceStop();
}

void RestartSound()
{
    StopDirectSound();
    InitDirectSound();
}

void ShutdownSound()
{
    StopDirectSound();
    FreeSoundSamples();
    delete[] MusicFileWindow;
    MusicFileWindow = nullptr;
}

void SetWaveFormat(WaveFormat *format, uint32_t rate)
{
    *format = {};
    format->formatTag = 1;
    format->channels = 2;
    format->samplesPerSecond = rate;
    format->bytesPerSecond = rate * 4;
    format->blockAlign = 4;
    format->bitsPerSample = 16;
}

int CreateMusicBuffer()
{
    if (SoundState == 0) {
        return 0;
    }
    ReleaseMusicBuffer();
    WaveFormat format;
    SetWaveFormat(&format, 44100);
    int code = 0;
    MusicBuffer = CreateSoundRing(static_cast<int>(format.samplesPerSecond), MusicBufferBytes, &code);
    if (MusicBuffer == nullptr) {
        ReportSoundFailure("CreateSoundBuffer:M", code);
        return 0;
    }
    code = SoundRingQueryInterface(MusicBuffer);
    if (code != 0) {
        ReportSoundFailure("QueryInterface:M", code);
        return 0;
    }
    return 1;
}

void ReleaseMusicBuffer()
{
    ReleaseSoundRing(MusicBuffer);
    MusicBuffer = nullptr;
}

SoundRing *MusicRing()
{
    return MusicBuffer;
}

int StopLoopSound()
{
    if (SoundState == 0 || MusicBufferRunning == 0) {
        return 0;
    }
    MusicBufferRunning = 0;
    SoundRingStop(MusicBuffer);
    return 1;
}

void PlayLoopSound()
{
    if (SoundState == 0) {
        return;
    }
    const int code = SoundRingPlay(MusicBuffer, 1);
    if (code != 0) {
        ReportSoundFailure("Play:S", code);
        return;
    }
    MusicBufferRunning = 1;
}

void RegisterLoopSoundHooks()
{
    SetLoopSoundHooks({StopLoopSound, PlayLoopSound});
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
    MusicStream.SetVolume(setting);
    MusicGain = MusicStream.volumeGain;
}

void SetEffectsVolume(float setting)
{
    EffectsVolume = VolumeGain(setting);
}

void SetCarSoundVolume(float setting)
{
    CarSoundGain = VolumeGain(setting);
}
