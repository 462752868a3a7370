#include "audio/car_sound_buffer.h"

#include <cstring>

#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "audio/sound_links.h"
#include "audio/sound_output.h"
#include "core/shell_globals.h"
#include "platform/sound_device.h"
#include "vehicle/car_object.h"

CarSoundBufferState CarSoundBufferStatus = {0, 0, 1.0f};

namespace {

constexpr uint32_t CarSoundBufferBytes = CarSoundBufferFrames * CarSoundBytesPerFrame;   // 112896

SoundRing *CarRing = nullptr;

int CreateForSpeed(float gameSpeed)
{
    if (SoundState == 0) {
        return 0;
    }
    ReleaseCarSoundBuffer();
    CarSoundBufferStatus.speed = gameSpeed;
    const int rate = CarSoundBufferRate(gameSpeed);
    if (rate == 0) {
        return 0;
    }
    int code = 0;
    CarRing = CreateSoundRing(rate, CarSoundBufferBytes, &code);
    if (CarRing == nullptr) {
        ReportSoundFailure("CreateSoundBuffer:C", code);
        return 0;
    }
    code = SoundRingQueryInterface(CarRing);
    if (code != 0) {
        ReportSoundFailure("QueryInterface:C", code);
        return 0;
    }
    return 1;
}

// The feed's view of the buffer.

int FeedReady()
{
    return SoundState != 0 && CarSoundMixerEnabled != 0 && SoundListenerValid != 0 ? 1 : 0;
}

void FeedRecreate(float gameSpeed)
{
    CreateForSpeed(gameSpeed);
}

int FeedHasBuffer()
{
    return CarRing != nullptr ? 1 : 0;
}

int FeedStartSilent(int frames)
{
    return StartBufferSilent(CarRing, frames, 1, 1);
}

int FeedWriteCursor(uint32_t *bytes)
{
    return SoundRingWriteCursor(CarRing, bytes);
}

int FeedLock(uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2, uint32_t *size2)
{
    return SoundRingLock(CarRing, offset, bytes, part1, size1, part2, size2);
}

void FeedUnlock(void *part1, uint32_t size1, void *part2, uint32_t size2)
{
    SoundRingUnlock(CarRing, part1, size1, part2, size2);
}

void FeedMix(int16_t *samples, int frames)
{
    if (frames == CarSoundMixFrames) {
        MixCarSounds(samples);
    } else {
        std::memset(samples, 0, static_cast<size_t>(frames) * CarSoundBytesPerFrame);
    }
}

float FeedGetVolume()
{
    return CarSoundGain;
}

void FeedSetVolume(float volume)
{
    CarSoundGain = volume;
}

}  // namespace

int CarSoundBufferRate(float gameSpeed)
{
    if (!(gameSpeed >= 0.24f) || gameSpeed > 1.01f) {
        return 0;
    }
    if (gameSpeed < 0.26f) {
        return 11025;
    }
    return gameSpeed < 0.51f ? 22050 : 44100;
}

int CreateCarSoundBuffer()
{
    return CreateForSpeed(GameSpeed);
}

void ReleaseCarSoundBuffer()
{
    ReleaseSoundRing(CarRing);
    CarRing = nullptr;
}

void StopCarSoundBuffer()
{
    if (CarSoundBufferStatus.running == 0) {
        return;
    }
    SoundRingStop(CarRing);
    CarSoundBufferStatus.running = 0;
    carSoundStarted = 0;
    InterfaceVoices.count = 0;
}

int StartBufferSilent(SoundRing *ring, int frames, int clear, int play)
{
    if (SoundState == 0) {
        return 0;
    }
    if (clear) {
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        const uint32_t bytes = static_cast<uint32_t>(frames) * CarSoundBytesPerFrame;
        int code = SoundRingLock(ring, 0, bytes, &part1, &size1, &part2, &size2);
        if (code != 0) {
            ReportSoundFailure("Lock:Z", code);
            return 0;
        }
        std::memset(part1, 0, size1);
        if (part2 != nullptr) {
            std::memset(part2, 0, size2);
        }
        code = SoundRingUnlock(ring, part1, size1, part2, size2);
        if (code != 0) {
            ReportSoundFailure("Unlock:Z", code);
            return 0;
        }
        code = SoundRingSetPosition(ring, 0);
        if (code != 0) {
            ReportSoundFailure("SetCurrentPosition:Z", code);
            return 0;
        }
    }
    if (play) {
        const int code = SoundRingPlay(ring, 1);
        if (code != 0) {
            ReportSoundFailure("Play:Z", code);
            return 0;
        }
    }
    return 1;
}

SoundRing *CarSoundRing()
{
    return CarRing;
}

void RegisterCarSoundOutput()
{
    CarSound = {};
    CarSound.state = &CarSoundBufferStatus;
    CarSound.ready = FeedReady;
    CarSound.recreate = FeedRecreate;
    CarSound.hasBuffer = FeedHasBuffer;
    CarSound.startSilent = FeedStartSilent;
    CarSound.getWriteCursor = FeedWriteCursor;
    CarSound.lock = FeedLock;
    CarSound.unlock = FeedUnlock;
    CarSound.reportFailure = ReportSoundFailure;
    CarSound.mixBlock = FeedMix;
    CarSound.getVolume = FeedGetVolume;
    CarSound.setVolume = FeedSetVolume;
    // The race vote's countdown fades the car sound out over its last 100
    // ticks; without a session it reads 0 and the sound plays at full volume.
    CarSound.startBlockCountdown = SoundSessionRaceVoteCountdown;
}
