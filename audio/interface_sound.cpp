#include "audio/interface_sound.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/car_sound_buffer.h"
#include "audio/car_sound_mixer.h"
#include "audio/sound_links.h"
#include "audio/sound_output.h"
#include "audio/wave_file.h"
#include "platform/sound_device.h"

SoundSample SoundSamples[SoundSampleCount] = {};

const char *const SoundSampleNames[SoundSampleCount] = {
    "ButtonClick",      "Message",          "SysMessage",       "InvalidKey",         "Error",
    "WinRace",          "FinishRace",       "Road",             "SkidRoadLight",      "SkidRoadHeavyPre",
    "SkidRoadHeavyMinor", "SkidRoadHeavyMajor", "SkidGrass",    "SkidDirt",           "SkidSand",
    "ScrapeHard",       "ScrapeSoft",       "WindExternal",     "Horn1",              "Horn2",
    "Horn3",            "Horn4",            "Horn5",
};

InterfaceVoiceQueue InterfaceVoices = {};

namespace {

constexpr int SilentFrames = 2205;   // 50 ms before an interface sound
constexpr uint32_t SilentBytes = SilentFrames * 4;
constexpr float VoiceGain = 0.667f;

SoundRing *InterfaceRings[InterfaceSoundCount] = {};

bool SilencesSystemMessage(int n)
{
    return n == SoundSystemMessage && SoundSessionSystemMessageSetting() == 2;
}

}  // namespace

int SoundSample::LoadWav(const char *path, int mixDown, int loop)
{
    Free();
    int16_t *read = nullptr;
    uint32_t n = 0;
    int isStereo = 0;
    if (!ReadWavFile(nullptr, path, mixDown, SoundSampleMaxValues, loop, &read, &n, &isStereo)) {
        return 0;
    }
    values = read;
    count = n;
    stereo = static_cast<uint8_t>(isStereo);
    return 1;
}

void SoundSample::Free()
{
    delete[] values;
    values = nullptr;
    count = 0;
    stereo = 0;
}

void LoadSoundSamples()
{
    for (int n = 0; n < SoundSampleCount; n++) {
        char path[64];
        std::snprintf(path, sizeof(path), "data\\sound\\%s.wav", SoundSampleNames[n]);
        const int loop = n >= FirstLoopSample ? 1 : 0;
        SoundSamples[n].LoadWav(path, loop, loop);
    }
}

void FreeSoundSamples()
{
    for (SoundSample &sample : SoundSamples) {
        sample.Free();
    }
}

void CreateInterfaceBuffers()
{
    if (SoundState == 0) {
        return;
    }
    for (int n = 0; n < InterfaceSoundCount; n++) {
        ReleaseSoundRing(InterfaceRings[n]);
        InterfaceRings[n] = nullptr;
        const SoundSample &sample = SoundSamples[n];
        if (sample.values == nullptr || sample.count == 0) {
            continue;
        }
        // Whole stereo frames: a stray odd value of a stereo sample is not played.
        const uint32_t bytes = SilentBytes + (sample.stereo ? (sample.count & ~1u) * 2 : sample.count * 4);
        int code = 0;
        SoundRing *ring = CreateSoundRing(44100, bytes, &code);
        if (ring == nullptr) {
            ReportSoundError("CreateSoundBuffer:S", code);
            continue;
        }
        InterfaceRings[n] = ring;
        code = SoundRingQueryInterface(ring);
        if (code != 0) {
            ReportSoundFailure("QueryInterface:S", code);
            return;
        }
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        code = SoundRingLock(ring, 0, bytes, &part1, &size1, &part2, &size2);
        if (code != 0) {
            ReportSoundFailure("Lock:S", code);
            return;
        }
        int16_t *frames = static_cast<int16_t *>(part1);
        std::memset(frames, 0, SilentBytes);
        CopySampleScaled(frames + 2 * SilentFrames, static_cast<int>(bytes / 4) - SilentFrames, sample,
                         EffectsVolume);
        code = SoundRingUnlock(ring, part1, size1, part2, size2);
        if (code != 0) {
            ReportSoundFailure("Unlock:S", code);
            return;
        }
    }
}

void ReleaseInterfaceBuffers()
{
    for (SoundRing *&ring : InterfaceRings) {
        ReleaseSoundRing(ring);
        ring = nullptr;
    }
}

SoundRing *InterfaceSoundRing(int n)
{
    return n >= 0 && n < InterfaceSoundCount ? InterfaceRings[n] : nullptr;
}

int CopySampleScaled(int16_t *destination, int frames, const SoundSample &sample, float gain)
{
    if (frames < 1) {
        return 0;
    }
    uint32_t i = 0;
    for (int f = 0; f < frames; f++) {
        if (i >= sample.count) {
            return 1;
        }
        destination[2 * f] = static_cast<int16_t>(static_cast<uint32_t>(std::lrint(sample.values[i] * gain)));
        if (sample.stereo && i + 1 < sample.count) {
            i++;
        }
        destination[2 * f + 1] = static_cast<int16_t>(static_cast<uint32_t>(std::lrint(sample.values[i] * gain)));
        i++;
        if (i >= sample.count) {
            return 1;
        }
    }
    return 0;
}

void PlayInterfaceSound(int n)
{
    if (SoundState == 0) {
        return;
    }
    if (n < 0 || n >= InterfaceSoundCount || SoundSessionFastForward() != 0) {
        return;
    }
    if (SoundSessionModeWord() == 2 || SilencesSystemMessage(n)) {
        return;
    }
    if (CarSoundBufferStatus.running != 0) {
        QueueInterfaceVoice(n);
        return;
    }
    if (InterfaceRings[n] == nullptr) {
        return;
    }
    const int code = SoundRingPlay(InterfaceRings[n], 0);
    if (code != 0) {
        ReportSoundError("Play:B", code);
    }
}

void QueueInterfaceVoice(int n)
{
    if (SoundState == 0 || CarSoundBufferStatus.running == 0 || InterfaceVoices.count >= MaxInterfaceVoices) {
        return;
    }
    if (n < 0 || n >= SoundSampleCount || SilencesSystemMessage(n)) {
        return;
    }
    SampleVoice &voice = InterfaceVoices.voices[InterfaceVoices.count];
    voice = {};
    voice.leftGain = EffectsVolume * VoiceGain;
    voice.rightGain = EffectsVolume * VoiceGain;
    voice.sample = &SoundSamples[n];
    if (SoundSamples[n].stereo) {
        SoundSamples[n].count &= ~1u;   // a stereo voice ends on a whole frame
    }
    InterfaceVoices.count++;
}

void MixInterfaceVoices()
{
    for (int i = 0; i < InterfaceVoices.count;) {
        if (MixInterfaceVoice(InterfaceVoices.voices[i]) == 0) {
            i++;
            continue;
        }
        // The voice ended: the last one takes its slot and is mixed there.
        InterfaceVoices.count--;
        if (i == InterfaceVoices.count) {
            break;
        }
        InterfaceVoices.voices[i] = InterfaceVoices.voices[InterfaceVoices.count];
    }
}

int MixInterfaceVoice(SampleVoice &voice)
{
    const SoundSample *sample = voice.sample;
    if (sample == nullptr || sample->values == nullptr || sample->count == 0) {
        return 1;
    }
    float *dry = CarSoundMixBuffers[0];
    uint32_t position = static_cast<uint32_t>(voice.position);
    for (int f = 0; f < CarSoundMixFrames; f++) {
        if (position >= sample->count) {
            return 1;
        }
        dry[2 * f] += static_cast<float>(sample->values[position]) * voice.leftGain;
        if (sample->stereo) {
            position++;
            if (position >= sample->count) {
                return 1;
            }
        }
        dry[2 * f + 1] += static_cast<float>(sample->values[position]) * voice.rightGain;
        position++;
        voice.position = static_cast<int32_t>(position);
        if (position == sample->count) {
            return 1;
        }
    }
    return 0;
}
