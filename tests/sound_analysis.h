#pragma once

// Measures for sound tests: level, the strength of one frequency, the period
// of a signal; and the writing of what a test heard into the build tree's
// test-output folder, where a developer can listen to it.

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/wave_file.h"

// Root mean square.
inline double SoundRms(const std::vector<double> &x)
{
    double sum = 0.0;
    for (double v : x) {
        sum += v * v;
    }
    return x.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(x.size()));
}

// One channel of interleaved 16-bit frames as doubles.
inline std::vector<double> SoundChannel(const int16_t *values, size_t frames, int channels, int channel)
{
    std::vector<double> x(frames);
    for (size_t i = 0; i < frames; i++) {
        x[i] = values[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
    }
    return x;
}

// The power of one frequency (Goertzel), normalised so that a sine of
// amplitude A gives about A^2 / 4 whatever the length.
inline double SoundGoertzel(const std::vector<double> &x, double frequency, double rate)
{
    const double w = 2.0 * M_PI * frequency / rate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    const double n = static_cast<double>(x.size());
    return n > 0 ? power / (n * n) : 0.0;
}

// The lag in minLag..maxLag with the largest normalised autocorrelation.
inline int SoundAutocorrelationPeak(const std::vector<double> &x, int minLag, int maxLag)
{
    int best = minLag;
    double bestValue = -2.0;
    for (int lag = minLag; lag <= maxLag && lag < static_cast<int>(x.size()); lag++) {
        double sum = 0.0;
        double e0 = 0.0;
        double e1 = 0.0;
        for (size_t i = 0; i + static_cast<size_t>(lag) < x.size(); i++) {
            sum += x[i] * x[i + static_cast<size_t>(lag)];
            e0 += x[i] * x[i];
            e1 += x[i + static_cast<size_t>(lag)] * x[i + static_cast<size_t>(lag)];
        }
        const double value = e0 > 0 && e1 > 0 ? sum / std::sqrt(e0 * e1) : 0.0;
        if (value > bestValue) {
            bestValue = value;
            best = lag;
        }
    }
    return best;
}

// The folder test renders go to (made when missing).
inline std::string SoundTestOutputFolder()
{
#ifdef KZV_TEST_OUTPUT_DIR
    const std::string folder = KZV_TEST_OUTPUT_DIR;
#else
    const std::string folder = "test-output";
#endif
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

// Writes a render as name.wav in the test-output folder, for listening.
inline void WriteTestWav(const std::string &name, const int16_t *values, uint32_t frames, int channels)
{
    const std::string path = SoundTestOutputFolder() + "/" + name + ".wav";
    WriteWavFile(nullptr, path.c_str(), frames, channels, values);
}
