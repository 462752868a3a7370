#include "platform/sound_device.h"

#include <SDL.h>

#include <cstring>
#include <vector>

// Each ring is one SDL audio device stream whose callback copies from the
// ring at the play position. The play position and the playing flag are
// shared with the callback's thread and touched only under the device's
// lock; the ring bytes the program writes lie beyond the write cursor,
// where the callback does not read until it gets there.

struct SoundRing {
    SDL_AudioDeviceID device = 0;
    std::vector<uint8_t> bytes;
    uint32_t playPosition = 0;   // bytes, under the device lock
    uint32_t periodBytes = 0;    // what the device takes per callback
    int playing = 0;             // under the device lock
};

namespace {

constexpr uint32_t BytesPerFrame = 4;
int StartCount = 0;

void SDLCALL FillFromRing(void *user, Uint8 *stream, int length)
{
    SoundRing *ring = static_cast<SoundRing *>(user);
    uint32_t left = static_cast<uint32_t>(length);
    if (!ring->playing || ring->bytes.empty()) {
        std::memset(stream, 0, left);
        return;
    }
    const uint32_t size = static_cast<uint32_t>(ring->bytes.size());
    while (left > 0) {
        uint32_t piece = size - ring->playPosition;
        if (piece > left) {
            piece = left;
        }
        std::memcpy(stream, ring->bytes.data() + ring->playPosition, piece);
        stream += piece;
        left -= piece;
        ring->playPosition = (ring->playPosition + piece) % size;
    }
}

// About 12 ms per callback at every rate.
uint16_t PeriodFrames(int rate)
{
    if (rate >= 44100) {
        return 512;
    }
    return rate >= 22050 ? 256 : 128;
}

bool Inside(const SoundRing *ring, const void *piece, uint32_t size)
{
    const uint8_t *p = static_cast<const uint8_t *>(piece);
    const uint8_t *begin = ring->bytes.data();
    return p >= begin && size <= ring->bytes.size() && static_cast<size_t>(p - begin) <= ring->bytes.size() - size;
}

}  // namespace

int SoundDeviceStart()
{
    if (StartCount == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return SoundDeviceStartError;
    }
    StartCount++;
    return 0;
}

void SoundDeviceStop()
{
    if (StartCount == 0) {
        return;
    }
    if (--StartCount == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) {
            SDL_Quit();
        }
    }
}

SoundRing *CreateSoundRing(int rate, uint32_t bytes, int *error)
{
    *error = 0;
    if (StartCount == 0) {
        *error = SoundDeviceStartError;
        return nullptr;
    }
    if (rate <= 0 || bytes == 0 || bytes % BytesPerFrame != 0) {
        *error = SoundDeviceParamError;
        return nullptr;
    }
    SoundRing *ring = new SoundRing;
    ring->bytes.assign(bytes, 0);
    SDL_AudioSpec want = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = PeriodFrames(rate);
    want.callback = FillFromRing;
    want.userdata = ring;
    SDL_AudioSpec have = {};
    // No changes allowed: SDL converts to what the hardware takes.
    ring->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (ring->device == 0) {
        delete ring;
        *error = SoundDeviceOpenError;
        return nullptr;
    }
    ring->periodBytes = (static_cast<uint32_t>(have.samples) * BytesPerFrame) % bytes;
    SDL_PauseAudioDevice(ring->device, 0);   // silent until played
    return ring;
}

void ReleaseSoundRing(SoundRing *ring)
{
    if (ring == nullptr) {
        return;
    }
    SDL_CloseAudioDevice(ring->device);
    delete ring;
}

int SoundRingPlay(SoundRing *ring)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    SDL_LockAudioDevice(ring->device);
    ring->playing = 1;
    SDL_UnlockAudioDevice(ring->device);
    return 0;
}

int SoundRingStop(SoundRing *ring)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    SDL_LockAudioDevice(ring->device);
    ring->playing = 0;
    SDL_UnlockAudioDevice(ring->device);
    return 0;
}

int SoundRingSetPosition(SoundRing *ring, uint32_t bytes)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    if (bytes >= ring->bytes.size() || bytes % BytesPerFrame != 0) {
        return SoundDeviceParamError;
    }
    SDL_LockAudioDevice(ring->device);
    ring->playPosition = bytes;
    SDL_UnlockAudioDevice(ring->device);
    return 0;
}

int SoundRingWriteCursor(SoundRing *ring, uint32_t *bytes)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    SDL_LockAudioDevice(ring->device);
    const uint32_t play = ring->playPosition;
    SDL_UnlockAudioDevice(ring->device);
    *bytes = (play + ring->periodBytes) % static_cast<uint32_t>(ring->bytes.size());
    return 0;
}

int SoundRingLock(SoundRing *ring, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2,
                  uint32_t *size2)
{
    if (ring == nullptr) {
        return SoundDeviceLostError;
    }
    const uint32_t size = static_cast<uint32_t>(ring->bytes.size());
    if (offset >= size || bytes == 0 || bytes > size) {
        return SoundDeviceParamError;
    }
    const uint32_t first = size - offset < bytes ? size - offset : bytes;
    *part1 = ring->bytes.data() + offset;
    *size1 = first;
    if (first < bytes) {
        *part2 = ring->bytes.data();
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
    if (!Inside(ring, part1, size1) || (part2 != nullptr && !Inside(ring, part2, size2))) {
        return SoundDeviceParamError;
    }
    return 0;
}
