#pragma once

#include <cstdint>

struct OggVorbisStates;

// The music ring: 65,536 frames of 16-bit stereo, the memory of "M".
constexpr uint32_t MusicRingFrames = 65536;

// An Ogg Vorbis stream decoded from the music player's file window into the
// music ring. The window is read from a byte position that the caller owns;
// `windowFill` (set by the caller) is how many bytes of the file the window
// holds, and nothing is read past it.
struct OggStream {
    OggVorbisStates *states = nullptr;
    const uint8_t *lastRead = nullptr;   // the sync buffer of the last read
    uint32_t lastReadBytes = 0;
    float **pcm = nullptr;
    int pcmFrames = 0;
    uint32_t framesPerStep = 0;          // 4,096 / channels
    uint32_t decodeState = 0;            // 0 needs a page, 1 a packet, 2 delivers PCM
    uint32_t endFlag = 0;
    float volumeGain = 1.0f;
    uint32_t ok = 0;
    uint32_t windowFill = 0;
    int channels = 0;

    // Which library states are initialised, so that Close clears exactly
    // those.
    bool syncOn = false;
    bool streamOn = false;
    bool infoOn = false;
    bool commentOn = false;
    bool dspOn = false;
    bool blockOn = false;

    // Reads the headers from the window at the position (which advances by
    // what was taken); `ok` tells success. Prints the stream's comments.
    void Open(const uint8_t *window, uint32_t *position);
    // One decoding state; returns the ring bytes written (4 per frame), 0
    // when this step wrote none. At most `maxFrames` frames are written, from
    // the ring write position (frames), which advances and wraps.
    int Decode(const uint8_t *window, int16_t *ring, uint32_t *position, uint32_t *writeFrames,
               uint32_t maxFrames = MusicRingFrames);
    // Copies up to n bytes of the window from the position (never past
    // windowFill) and advances the position; returns the count copied.
    uint32_t ReadMemory(uint8_t *dest, uint32_t n, const uint8_t *window, uint32_t *position);
    // The volume setting 0..20.
    void SetVolume(float setting);
    // Clears the library states that are initialised; the stream is not ok.
    void Close();

private:
    uint32_t ReadMore(const uint8_t *window, uint32_t *position);
    void Fail(const char *warning);
};

// The program's one music stream.
extern OggStream MusicStream;

// The ring value of a decoded sample at a gain already multiplied by 32,767:
// rounded in single precision and held to -32,767..32,767.
int16_t MusicSampleValue(float scaledGain, float sample);
