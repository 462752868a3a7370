#pragma once

#include <cstdint>

// The looping car-sound buffer: 64 blocks of 441 stereo 16-bit frames. One
// block is 0.01 s of simulated time whatever the game speed, since the
// buffer's rate follows the speed.
constexpr int CarSoundBlockFrames = 441;
constexpr int CarSoundBufferFrames = 64 * CarSoundBlockFrames;   // 28224
constexpr int CarSoundBytesPerFrame = 4;
constexpr int CarSoundBlockBytes = CarSoundBlockFrames * CarSoundBytesPerFrame;   // 1764

// The buffer's running state, kept by the sound layer: it stops the buffer
// and clears `running`; the feed starts it and moves the fill position.
struct CarSoundBufferState {
    uint32_t running;        // 1 while the buffer plays
    uint32_t fillPosition;   // next frame to write, a multiple of 441
    float speed;             // the game speed the buffer was created for
};

// What the feed asks of the sound layer, which registers it at start-up
// (tests install fakes). With no state registered the feed does nothing.
struct CarSoundOutput {
    CarSoundBufferState *state;
    // Sound is on, the car-sound mixer is ready and the listener is placed.
    int (*ready)();
    // Releases the buffer and creates it for the game speed (which becomes
    // state->speed even when no buffer could be made).
    void (*recreate)(float gameSpeed);
    int (*hasBuffer)();
    // Starts the buffer playing from silence over `frames` frames: 1, or 0 on
    // failure.
    int (*startSilent)(int frames);
    // The hardware write cursor in bytes: 0, or the failure code.
    int (*getWriteCursor)(uint32_t *bytes);
    // Locks `bytes` bytes at byte offset `offset`: 0, or the failure code.
    int (*lock)(uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2, uint32_t *size2);
    void (*unlock)(void *part1, uint32_t size1, void *part2, uint32_t size2);
    // A sound failure: the step text and the code.
    void (*reportFailure)(const char *text, int code);
    // Mixes the cars' sounds into `frames` stereo frames.
    void (*mixBlock)(int16_t *samples, int frames);
    // The car sound volume the mixer uses.
    float (*getVolume)();
    void (*setVolume)(float volume);
    // Ticks left of a race vote's start block, 0 when none runs.
    int (*startBlockCountdown)();
};

extern CarSoundOutput CarSound;

// Keeps the car-sound buffer filled a fixed lead ahead of the hardware:
// one block per physics tick, catching up (to the lead) only when
// lastTickOfFrame is 1, skipping back when far ahead.
void FeedCarSoundBuffer(int lastTickOfFrame);
