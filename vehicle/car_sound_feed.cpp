#include "vehicle/car_sound_feed.h"

#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "vehicle/car_object.h"

CarSoundOutput CarSound = {};

namespace {

// A race vote's start block fades the car sound out over its last 100 ticks.
void FadeForStartBlock(float volume) {
    if (CarSound.startBlockCountdown == nullptr || CarSound.setVolume == nullptr || CarSound.getVolume == nullptr)
        return;
    const int n = CarSound.startBlockCountdown();
    if (n < 1 || n > 99)
        return;
    CarSound.setVolume(n <= 50 ? 0.0f : static_cast<float>(n - 50) * 0.02f * volume);
}

} // namespace

void FeedCarSoundBuffer(int lastTickOfFrame) {
    CarSoundBufferState *state = CarSound.state;
    if (state == nullptr || CarSound.ready == nullptr || CarSound.ready() == 0)
        return;
    if (GameSpeed < 0.24f || GameSpeed > 1.01f || WindowInactive != 0)
        return;
    const float leadSeconds = SoundDelay * 44100.0f;
    const int lead = leadSeconds > 0.0f ? static_cast<int>(leadSeconds + 0.5f) : 0;

    if (state->running == 0) {
        if (state->speed != GameSpeed && CarSound.recreate != nullptr)
            CarSound.recreate(GameSpeed);
        if (CarSound.hasBuffer == nullptr || CarSound.hasBuffer() == 0 || CarSound.startSilent == nullptr)
            return;
        state->running = CarSound.startSilent(CarSoundBufferFrames) != 0 ? 1u : 0u;
        carSoundStarted = static_cast<int>(state->running);
        state->fillPosition = static_cast<uint32_t>((lead / CarSoundBlockFrames + 1) * CarSoundBlockFrames);
        return;
    }

    uint32_t cursorBytes = 0;
    if (CarSound.getWriteCursor == nullptr)
        return;
    const int cursorError = CarSound.getWriteCursor(&cursorBytes);
    if (cursorError != 0) {
        if (CarSound.reportFailure != nullptr)
            CarSound.reportFailure("GetCurrentPosition:P", cursorError);
        return;
    }
    const uint32_t ring = CarSoundBufferFrames;
    const uint32_t block = CarSoundBlockFrames;
    const uint32_t w = (cursorBytes / CarSoundBytesPerFrame) % ring;
    uint32_t target = (((static_cast<uint32_t>(lead) + w) / block + 1) * block) % ring;
    uint32_t &fill = state->fillPosition;
    fill %= ring;

    if (fill == target) {
        if (lastTickOfFrame != 1)
            return;
        target = (fill + block) % ring;
    } else {
        const uint32_t a = (fill + ring - w) % ring;
        const uint32_t b = (target + ring - w) % ring;
        if (a > b) {
            if (a - b != block)
                fill = target;
            return;
        }
    }

    const float volume = CarSound.getVolume != nullptr ? CarSound.getVolume() : 0.0f;
    FadeForStartBlock(volume);
    while (fill != target) {
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        const int lockError = CarSound.lock != nullptr
                                  ? CarSound.lock(fill * CarSoundBytesPerFrame, CarSoundBlockBytes, &part1, &size1,
                                                  &part2, &size2)
                                  : -1;
        if (lockError != 0 || part1 == nullptr || size1 < static_cast<uint32_t>(CarSoundBlockBytes)) {
            if (lockError == 0 && CarSound.unlock != nullptr)
                CarSound.unlock(part1, size1, part2, size2);
            if (CarSound.reportFailure != nullptr)
                CarSound.reportFailure("Lock:P", lockError);
            break;
        }
        if (CarSound.mixBlock != nullptr)
            CarSound.mixBlock(static_cast<int16_t *>(part1), CarSoundBlockFrames);
        fill = (fill + block) % ring;
        if (CarSound.unlock != nullptr)
            CarSound.unlock(part1, size1, part2, size2);
        if (lastTickOfFrame == 0)
            break;
    }
    if (CarSound.setVolume != nullptr && CarSound.getVolume != nullptr)
        CarSound.setVolume(volume);
}
