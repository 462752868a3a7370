#include "platform/sound_device.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>

// One output stream runs the mixing core over every linked ring. With SDL the
// core runs in SDL's audio callback, on SDL's own thread and under the
// device lock; with the manual clock it runs inside SoundDeviceAdvance.
//
// Locking: the ring list, a ring's play and stop, its position change and
// its release happen under the device lock, so the callback sees each whole.
// The cursors and the playing flag are atomics that the program reads without
// the lock; SoundRingLock never takes it (the program never waits for the
// callback). SoundRingUnlock publishes the written bytes with a release store
// that the callback acquires before it reads a ring. A ring is unlinked under
// the lock before its memory is freed.

struct SoundRing {
    int16_t *frames = nullptr;       // left, right interleaved; never moves
    uint32_t frameCount = 0;
    int rate = 0;
    uint32_t step = 0;               // ring frames per output frame, 16.16
    std::atomic<uint64_t> position{0};   // next frame to read, 16.16
    std::atomic<int> playing{0};
    std::atomic<int> looping{0};
    std::atomic<uint32_t> published{0};
};

namespace {

constexpr uint32_t BytesPerFrame = 4;
constexpr int FullScale = 32767;

struct Injection {
    bool active = false;
    int skip = 0;
    int code = 0;
};

struct OutputDevice {
    int startCount = 0;
    bool manualClock = false;
    SDL_AudioDeviceID id = 0;
    std::vector<SoundRing *> rings;   // under the device lock
    std::vector<int32_t> mix;         // one chunk of summed frames
    std::vector<int16_t> capture;     // manual clock only
    std::vector<SoundLockRecord> locks;  // manual clock only
    Injection injections[static_cast<int>(SoundDeviceCall::Unlock) + 1];
};

// Never destroyed: the audio thread may still run while the program's
// statics are torn down at exit.
OutputDevice &Device = *new OutputDevice;

int Injected(SoundDeviceCall call)
{
    Injection &injection = Device.injections[static_cast<int>(call)];
    if (!injection.active) {
        return 0;
    }
    if (injection.skip > 0) {
        injection.skip--;
        return 0;
    }
    injection.active = false;
    return injection.code;
}

void LockDevice()
{
    if (Device.id != 0) {
        SDL_LockAudioDevice(Device.id);
    }
}

void UnlockDevice()
{
    if (Device.id != 0) {
        SDL_UnlockAudioDevice(Device.id);
    }
}

// Adds `frames` output frames of the ring into the sum; a one-shot ring that
// reaches its end stops there and goes back to 0.
void MixRing(SoundRing *ring, int32_t *sum, int frames)
{
    ring->published.load(std::memory_order_acquire);
    const uint64_t end = static_cast<uint64_t>(ring->frameCount) << 16;
    const bool looping = ring->looping.load(std::memory_order_relaxed) != 0;
    const int16_t *data = ring->frames;
    uint64_t position = ring->position.load(std::memory_order_relaxed);
    if (position >= end) {
        position = 0;
    }
    for (int f = 0; f < frames; f++) {
        const uint32_t i = static_cast<uint32_t>(position >> 16);
        const int64_t fraction = static_cast<int64_t>(position & 0xffff);
        int32_t left = data[2 * i];
        int32_t right = data[2 * i + 1];
        if (fraction != 0) {
            uint32_t next = i + 1;
            int32_t nextLeft = left;
            int32_t nextRight = right;
            if (next < ring->frameCount || looping) {
                next = next < ring->frameCount ? next : 0;
                nextLeft = data[2 * next];
                nextRight = data[2 * next + 1];
            }
            left += static_cast<int32_t>(((nextLeft - left) * fraction) >> 16);
            right += static_cast<int32_t>(((nextRight - right) * fraction) >> 16);
        }
        sum[2 * f] += left;
        sum[2 * f + 1] += right;
        position += ring->step;
        if (position >= end) {
            if (looping) {
                position -= end;
            } else {
                position = 0;
                ring->playing.store(0, std::memory_order_relaxed);
                break;
            }
        }
    }
    ring->position.store(position, std::memory_order_release);
}

// The core: `frames` output frames of every playing ring, summed in 32 bits
// and held to the 16-bit range.
void RunCore(int16_t *out, int frames)
{
    const int chunk = static_cast<int>(Device.mix.size() / 2);
    while (frames > 0) {
        const int n = std::min(frames, chunk);
        int32_t *sum = Device.mix.data();
        std::fill(sum, sum + 2 * n, 0);
        for (SoundRing *ring : Device.rings) {
            if (ring->playing.load(std::memory_order_acquire) != 0) {
                MixRing(ring, sum, n);
            }
        }
        for (int i = 0; i < 2 * n; i++) {
            out[i] = static_cast<int16_t>(std::clamp(sum[i], -FullScale, FullScale));
        }
        out += 2 * n;
        frames -= n;
    }
}

void SDLCALL FillOutput(void *, Uint8 *stream, int length)
{
    RunCore(reinterpret_cast<int16_t *>(stream), length / static_cast<int>(BytesPerFrame));
}

bool Inside(const SoundRing *ring, const void *piece, uint32_t size)
{
    const uint8_t *p = static_cast<const uint8_t *>(piece);
    const uint8_t *begin = reinterpret_cast<const uint8_t *>(ring->frames);
    const size_t bytes = static_cast<size_t>(ring->frameCount) * BytesPerFrame;
    return p >= begin && size <= bytes && static_cast<size_t>(p - begin) <= bytes - size;
}

int OpenSystemOutput()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return SoundDeviceStartError;
    }
    SDL_AudioSpec want = {};
    want.freq = SoundDeviceRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = SoundDevicePeriodFrames;
    want.callback = FillOutput;
    SDL_AudioSpec have = {};
    // No changes allowed: SDL converts to what the hardware takes.
    Device.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (Device.id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return SoundDeviceStartError;
    }
    Device.mix.assign(static_cast<size_t>(std::max<int>(have.samples, SoundDevicePeriodFrames)) * 2, 0);
    SDL_PauseAudioDevice(Device.id, 0);
    return 0;
}

void CloseSystemOutput()
{
    SDL_CloseAudioDevice(Device.id);   // waits for a running callback
    Device.id = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) {
        SDL_Quit();
    }
}

}  // namespace

int SoundDeviceStart()
{
    if (const int code = Injected(SoundDeviceCall::Start)) {
        return code;
    }
    if (Device.startCount == 0) {
        if (Device.manualClock) {
            Device.mix.assign(static_cast<size_t>(SoundDevicePeriodFrames) * 2, 0);
        } else if (const int code = OpenSystemOutput()) {
            return code;
        }
    }
    Device.startCount++;
    return 0;
}

void SoundDeviceStop()
{
    if (Device.startCount == 0 || --Device.startCount > 0) {
        return;
    }
    if (Device.id != 0) {
        CloseSystemOutput();
    }
}

int SoundDeviceSetCooperativeLevel()
{
    return Injected(SoundDeviceCall::SetCooperativeLevel);
}

SoundRing *CreateSoundRing(int rate, uint32_t bytes, int *error)
{
    *error = 0;
    if (Device.startCount == 0) {
        *error = SoundDeviceStartError;
        return nullptr;
    }
    if (const int code = Injected(SoundDeviceCall::CreateRing)) {
        *error = code;
        return nullptr;
    }
    if (rate <= 0 || rate > SoundDeviceRate || bytes == 0 || bytes % BytesPerFrame != 0) {
        *error = SoundDeviceParamError;
        return nullptr;
    }
    SoundRing *ring = new SoundRing;
    ring->frameCount = bytes / BytesPerFrame;
    ring->frames = new int16_t[static_cast<size_t>(ring->frameCount) * 2]();
    ring->rate = rate;
    ring->step = static_cast<uint32_t>((static_cast<uint64_t>(rate) << 16) / SoundDeviceRate);
    LockDevice();
    Device.rings.push_back(ring);
    UnlockDevice();
    return ring;
}

int SoundRingQueryInterface(SoundRing *ring)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    return Injected(SoundDeviceCall::QueryInterface);
}

void ReleaseSoundRing(SoundRing *ring)
{
    if (ring == nullptr) {
        return;
    }
    LockDevice();
    Device.rings.erase(std::remove(Device.rings.begin(), Device.rings.end(), ring), Device.rings.end());
    UnlockDevice();
    delete[] ring->frames;
    delete ring;
}

int SoundRingPlay(SoundRing *ring, int looping)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::Play)) {
        return code;
    }
    LockDevice();
    ring->looping.store(looping != 0 ? 1 : 0, std::memory_order_relaxed);
    ring->playing.store(1, std::memory_order_release);
    UnlockDevice();
    return 0;
}

int SoundRingStop(SoundRing *ring)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::Stop)) {
        return code;
    }
    LockDevice();
    ring->playing.store(0, std::memory_order_release);
    UnlockDevice();
    return 0;
}

int SoundRingPlaying(const SoundRing *ring)
{
    return ring != nullptr && ring->playing.load(std::memory_order_acquire) != 0 ? 1 : 0;
}

int SoundRingRate(const SoundRing *ring)
{
    return ring != nullptr ? ring->rate : 0;
}

int SoundRingSetPosition(SoundRing *ring, uint32_t bytes)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::SetPosition)) {
        return code;
    }
    if (bytes / BytesPerFrame >= ring->frameCount || bytes % BytesPerFrame != 0) {
        return SoundDeviceParamError;
    }
    LockDevice();
    ring->position.store(static_cast<uint64_t>(bytes / BytesPerFrame) << 16, std::memory_order_release);
    UnlockDevice();
    return 0;
}

int SoundRingPlayCursor(SoundRing *ring, uint32_t *bytes)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::PlayCursor)) {
        return code;
    }
    const uint64_t position = ring->position.load(std::memory_order_acquire);
    *bytes = static_cast<uint32_t>(position >> 16) % ring->frameCount * BytesPerFrame;
    return 0;
}

int SoundRingWriteCursor(SoundRing *ring, uint32_t *bytes)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::WriteCursor)) {
        return code;
    }
    const uint64_t position = ring->position.load(std::memory_order_acquire);
    // One output period ahead, in ring frames, rounded up.
    const uint32_t ahead = static_cast<uint32_t>(
        (static_cast<uint64_t>(SoundDevicePeriodFrames) * static_cast<uint64_t>(ring->rate) + SoundDeviceRate - 1) /
        SoundDeviceRate);
    const uint32_t frame = static_cast<uint32_t>(position >> 16);
    *bytes = (frame + ahead) % ring->frameCount * BytesPerFrame;
    return 0;
}

int SoundRingLock(SoundRing *ring, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2,
                  uint32_t *size2)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::Lock)) {
        return code;
    }
    const uint32_t size = ring->frameCount * BytesPerFrame;
    if (offset >= size || bytes == 0 || bytes > size) {
        return SoundDeviceParamError;
    }
    if (Device.manualClock) {
        Device.locks.push_back({ring, offset, bytes});
    }
    uint8_t *base = reinterpret_cast<uint8_t *>(ring->frames);
    const uint32_t first = size - offset < bytes ? size - offset : bytes;
    *part1 = base + offset;
    *size1 = first;
    if (first < bytes) {
        *part2 = base;
        *size2 = bytes - first;
    } else {
        *part2 = nullptr;
        *size2 = 0;
    }
    return 0;
}

int SoundRingUnlock(SoundRing *ring, void *part1, uint32_t size1, void *part2, uint32_t size2)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (const int code = Injected(SoundDeviceCall::Unlock)) {
        return code;
    }
    if (!Inside(ring, part1, size1) || (part2 != nullptr && !Inside(ring, part2, size2))) {
        return SoundDeviceParamError;
    }
    ring->published.fetch_add(1, std::memory_order_release);
    return 0;
}

void SoundDeviceUseManualClock(bool on)
{
    if (Device.startCount == 0) {
        Device.manualClock = on;
    }
}

void SoundDeviceAdvance(int frames)
{
    if (!Device.manualClock || Device.startCount == 0 || frames <= 0) {
        return;
    }
    const size_t from = Device.capture.size();
    Device.capture.resize(from + static_cast<size_t>(frames) * 2);
    RunCore(Device.capture.data() + from, frames);
}

const std::vector<int16_t> &SoundDeviceCapture()
{
    return Device.capture;
}

void SoundDeviceClearCapture()
{
    Device.capture.clear();
}

const std::vector<SoundLockRecord> &SoundDeviceLocks()
{
    return Device.locks;
}

void SoundDeviceClearLocks()
{
    Device.locks.clear();
}

void SoundDeviceFailCall(SoundDeviceCall call, int skip, int code)
{
    Device.injections[static_cast<int>(call)] = {true, skip, code};
}

void SoundDeviceClearFailures()
{
    for (Injection &injection : Device.injections) {
        injection = {};
    }
}
