#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio/music_player.h"
#include "audio/music_stream.h"
#include "audio/sound_output.h"
#include "core/config_file.h"
#include "core/settings.h"
#include "platform/ogg_vorbis.h"
#include "platform/sound_device.h"
#include "vehicle/car_race_services.h"

namespace {

constexpr double MusicSeconds = 30.0;

// 30 s of chords over noise at the default music's quality.
void WriteBenchMusic()
{
    const int frames = static_cast<int>(MusicSeconds * 44100);
    std::vector<float> samples(2 * static_cast<size_t>(frames));
    uint32_t seed = 12345;
    for (int i = 0; i < frames; ++i) {
        const double t = i / 44100.0;
        const double chord = 0.15 * (std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t) +
                                     std::sin(2 * M_PI * 329.6 * t));
        seed = seed * 1664525u + 1013904223u;
        const double noise = 0.05 * static_cast<int32_t>(seed) / 2147483648.0;
        samples[2 * static_cast<size_t>(i)] = static_cast<float>(chord + noise);
        samples[2 * static_cast<size_t>(i) + 1] = static_cast<float>(chord - noise);
    }
    const std::vector<uint8_t> file = EncodeOggVorbis(samples.data(), frames, 2, 44100, 0.3f, {"TITLE=Bench"}, 3);
    std::filesystem::create_directories("bench_music");
    std::ofstream out("bench_music/bench.ogg", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(file.data()), static_cast<std::streamsize>(file.size()));
}

void IgnoreLine(const char *, int)
{
}

// The whole file through DecodeMusic, one 4,096-frame play step at a time,
// with the window slid as the radio slides it.
void BM_DecodeMusic(benchmark::State &state)
{
    WriteBenchMusic();
    RaceServices.printMessage = IgnoreLine;
    std::snprintf(MusicDir, sizeof(MusicDir), "bench_music");
    std::snprintf(MusicFilePattern, sizeof(MusicFilePattern), "%s\\%%s.ogg", MusicDir);
    SoundDeviceUseManualClock(true);
    StartSound();
    double decodeSeconds = 0.0;
    double musicSeconds = 0.0;
    for (auto _ : state) {
        if (!PlayMusicFile("bench")) {
            state.SkipWithError("the music file does not play");
            break;
        }
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        SoundRingLock(MusicRing(), 0, MusicBufferBytes, &part1, &size1, &part2, &size2);
        int16_t *ring = static_cast<int16_t *>(part1);
        uint64_t frames = 0;
        const auto start = std::chrono::steady_clock::now();
        while (MusicFile != nullptr && MusicStream.ok) {
            const uint32_t before = MusicRingWrite;
            // The next play step at least 1,024 frames on, as the play cursor leaves it.
            const uint32_t step = ((MusicRingWrite + 1024) / 4096 * 4096 + 4096) % MusicRingFrames;
            DecodeMusic(step, reinterpret_cast<uint8_t *>(ring) + MusicRingWrite * 4);
            frames += (MusicRingWrite - before) % MusicRingFrames;
            if (MusicBytesConsumed < MusicFileSize && MusicReadPointer > 0x1E000) {
                SlideMusicWindow();
            }
        }
        decodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        musicSeconds += static_cast<double>(frames) / 44100.0;
        SoundRingUnlock(MusicRing(), part1, size1, part2, size2);
        StopMusic(1);
    }
    // Milliseconds of one core per second of music.
    state.counters["ms_per_music_second"] = musicSeconds > 0 ? 1000.0 * decodeSeconds / musicSeconds : 0.0;
    state.counters["music_seconds"] = musicSeconds / static_cast<double>(state.iterations());
    ShutdownSound();
    SoundDeviceUseManualClock(false);
    std::filesystem::remove_all("bench_music");
}

}  // namespace

BENCHMARK(BM_DecodeMusic)->Unit(benchmark::kMillisecond)->Iterations(3);
