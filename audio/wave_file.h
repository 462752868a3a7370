#pragma once

#include <cstdint>

struct MenuPage;

// RIFF WAVE files of 16-bit PCM: every recorded sound enters the program this
// way, and the program writes its own captures and engine waves so.

constexpr int WavHeaderBytes = 44;

// Reads a 16-bit PCM file of 22,050 or 44,100 Hz, mono or stereo. With
// mixDown a stereo file becomes mono (each value the floored mean of its
// pair); 22,050 Hz data is doubled to 44,100 Hz by linear interpolation,
// and with loop the last value's midpoint is taken with the first (a
// seamless loop), otherwise the result ends on the last input value.
// At most maxValues values. Returns 1 with *values a new array the caller
// frees with delete[]; 0 on failure, the reason shown with the path over the
// page (an empty data chunk fails with no text). The outputs are cleared
// first and stay cleared after a failure.
int ReadWavFile(MenuPage *page, const char *path, int mixDown, uint32_t maxValues, int loop, int16_t **values,
                uint32_t *count, int *stereo);

// The 44-byte header of a 44,100 Hz file of frames x channels values.
void BuildWavHeader(uint8_t header[WavHeaderBytes], uint32_t frames, int channels);
// Writes frames x channels values at 44,100 Hz; 1, or 0 with "Could not
// create file :" shown with the path.
int WriteWavFile(MenuPage *page, const char *path, uint32_t frames, int channels, const int16_t *data);
