#include "tools/default_music.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "audio/music_player.h"
#include "core/settings.h"
#include "platform/ogg_vorbis.h"

const char *const DefaultTuneNames[DefaultTuneCount] = {"morning_drive", "harbour_lights"};

namespace {

constexpr int Rate = 44100;
constexpr float Quality = 0.3f;   // about 110 kbit/s: each tune is well above the 128 KB window

struct Tune {
    const char *title;
    uint32_t seed;
    double tempo;            // beats per minute
    int root;                // MIDI note of the key
    int chords[4][3];        // semitones above the root, one chord per bar
    int scale[7];
};

const Tune Tunes[DefaultTuneCount] = {
    {"Morning Drive", 0x4d0121u, 112.0, 57, {{0, 4, 7}, {5, 9, 12}, {7, 11, 14}, {0, 4, 7}}, {0, 2, 4, 5, 7, 9, 11}},
    {"Harbour Lights", 0x7ab0e5u, 92.0, 50, {{0, 3, 7}, {8, 12, 15}, {3, 7, 10}, {10, 14, 17}}, {0, 2, 3, 5, 7, 8, 10}},
};

double NoteFrequency(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

struct Noise {
    uint32_t state;
    double Next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>(state) / 2147483648.0;
    }
};

// Stereo frames of one tune.
std::vector<float> Synthesise(const Tune &tune)
{
    const int frames = static_cast<int>(DefaultTuneSeconds * Rate);
    std::vector<double> left(frames, 0.0);
    std::vector<double> right(frames, 0.0);
    Noise noise{tune.seed};
    const double beat = 60.0 / tune.tempo;
    const int beats = static_cast<int>(DefaultTuneSeconds / beat);
    auto add = [&](int start, int length, double pan, auto &&voice) {
        for (int i = 0; i < length && start + i < frames; ++i) {
            const double v = voice(i, static_cast<double>(i) / Rate);
            left[start + i] += v * (1.0 - pan);
            right[start + i] += v * pan;
        }
    };
    // The melody's notes: a walk on the scale, chosen per half beat.
    int degree = 4;
    double hatLast = 0.0;
    for (int b = 0; b < beats; ++b) {
        const int start = static_cast<int>(b * beat * Rate);
        const int bar = (b / 4) % 4;
        const int *chord = tune.chords[bar];
        // Chords: soft triangles on the first beat of each bar, a bar long.
        if (b % 4 == 0) {
            for (int n = 0; n < 3; ++n) {
                const double f = NoteFrequency(tune.root + chord[n]);
                add(start, static_cast<int>(4 * beat * Rate), 0.3 + 0.2 * n, [&](int, double t) {
                    const double phase = std::fmod(f * t, 1.0);
                    const double tri = 4.0 * std::fabs(phase - 0.5) - 1.0;
                    const double envelope = std::min(1.0, t * 8.0) * std::exp(-t * 0.6);
                    return 0.06 * tri * envelope;
                });
            }
        }
        // Bass: the chord's root an octave down, on every beat.
        {
            const double f = NoteFrequency(tune.root - 12 + chord[b % 2 == 0 ? 0 : 2]);
            add(start, static_cast<int>(beat * Rate), 0.5, [&](int, double t) {
                const double phase = std::fmod(f * t, 1.0);
                const double saw = 2.0 * phase - 1.0;
                return 0.12 * (0.6 * saw + 0.4 * std::sin(2.0 * M_PI * f * t)) * std::exp(-t * 3.0);
            });
        }
        // Melody: two notes a beat, resting now and then.
        for (int half = 0; half < 2; ++half) {
            const double step = noise.Next();
            degree += step > 0.5 ? 2 : step > 0.0 ? 1 : step > -0.5 ? -1 : -2;
            degree = std::max(0, std::min(13, degree));
            if (noise.Next() < -0.7) {
                continue;
            }
            const int note = tune.root + 12 + tune.scale[degree % 7] + 12 * (degree / 7);
            const double f = NoteFrequency(note);
            add(start + static_cast<int>(half * beat * 0.5 * Rate), static_cast<int>(beat * 0.5 * Rate), 0.65,
                [&](int, double t) {
                    const double vibrato = 1.0 + 0.004 * std::sin(2.0 * M_PI * 5.5 * t);
                    const double envelope = std::min(1.0, t * 40.0) * std::exp(-t * 4.0);
                    return 0.1 * std::sin(2.0 * M_PI * f * vibrato * t) * envelope;
                });
        }
        // Drums: a kick on beats 1 and 3, a snare on 2 and 4, hats each half beat.
        if (b % 2 == 0) {
            add(start, Rate / 4, 0.5, [&](int, double t) {
                return 0.35 * std::sin(2.0 * M_PI * (50.0 * t + 60.0 * (1.0 - std::exp(-t * 30.0)) / 30.0)) *
                       std::exp(-t * 12.0);
            });
        } else {
            add(start, Rate / 5, 0.45, [&](int, double t) { return 0.12 * noise.Next() * std::exp(-t * 20.0); });
        }
        for (int half = 0; half < 2; ++half) {
            add(start + static_cast<int>(half * beat * 0.5 * Rate), Rate / 20, 0.6, [&](int i, double t) {
                const double n = noise.Next();
                const double high = n - (i == 0 ? 0.0 : hatLast);
                hatLast = n;
                return 0.03 * high * std::exp(-t * 60.0);
            });
        }
    }
    // Brought to a peak of 0.9, faded at both ends, interleaved.
    double largest = 0.0;
    for (int i = 0; i < frames; ++i) {
        largest = std::max(largest, std::max(std::fabs(left[i]), std::fabs(right[i])));
    }
    const double scale = largest > 0.0 ? 0.9 / largest : 0.0;
    for (int i = 0; i < frames; ++i) {
        left[i] *= scale;
        right[i] *= scale;
    }
    std::vector<float> samples(2 * static_cast<size_t>(frames));
    const int fade = Rate / 2;
    for (int i = 0; i < frames; ++i) {
        double gain = 1.0;
        if (i < fade / 10) {
            gain = static_cast<double>(i) / (fade / 10);
        } else if (frames - i < fade) {
            gain = static_cast<double>(frames - i) / fade;
        }
        samples[2 * static_cast<size_t>(i)] = static_cast<float>(std::max(-1.0, std::min(1.0, left[i] * gain)));
        samples[2 * static_cast<size_t>(i) + 1] = static_cast<float>(std::max(-1.0, std::min(1.0, right[i] * gain)));
    }
    return samples;
}

}  // namespace

const char *WriteDefaultMusic(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "ogg";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }
    for (int n = 0; n < DefaultTuneCount; ++n) {
        const std::vector<float> samples = Synthesise(Tunes[n]);
        const std::vector<uint8_t> file =
            EncodeOggVorbis(samples.data(), static_cast<int>(samples.size() / 2), 2, Rate, Quality,
                            {std::string("TITLE=") + Tunes[n].title}, 1000 + n);
        if (file.empty()) {
            error = std::string("cannot encode ") + DefaultTuneNames[n];
            return error.c_str();
        }
        const std::filesystem::path path = folder / (std::string(DefaultTuneNames[n]) + ".ogg");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(file.data()), static_cast<std::streamsize>(file.size()));
        if (!out) {
            error = "cannot write " + path.string();
            return error.c_str();
        }
    }
    // The radio: the setup channel and three of our own; both tunes in the
    // setup and race channels, one each in the other two.
    static const char *const channelNames[4] = {"Setup", "Easy", "Evening", "Race"};
    static const uint8_t weights[DefaultTuneCount][4] = {{2, 3, 0, 2}, {2, 0, 3, 2}};
    RadioChannelCount = 4;
    for (int c = 0; c < 4; ++c) {
        std::memset(RadioChannels[c].name, 0, sizeof(RadioChannels[c].name));
        std::snprintf(RadioChannels[c].name, sizeof(RadioChannels[c].name), "%s", channelNames[c]);
    }
    RadioTrackCount = DefaultTuneCount;
    for (int n = 0; n < DefaultTuneCount; ++n) {
        RadioTracks[n] = {};
        std::snprintf(RadioTracks[n].name, sizeof(RadioTracks[n].name), "%s", DefaultTuneNames[n]);
        for (int c = 0; c < 4; ++c) {
            RadioTracks[n].weights[c] = weights[n][c];
        }
    }
    // The writer names the file from the music folder setting: write from
    // inside the run folder so that the setting keeps its default form.
    const std::filesystem::path before = std::filesystem::current_path(ec);
    char savedDir[sizeof(MusicDir)];
    std::memcpy(savedDir, MusicDir, sizeof(MusicDir));
    std::snprintf(MusicDir, sizeof(MusicDir), "data\\ogg");
    std::filesystem::current_path(runFolder, ec);
    const int written = ec ? 0 : WriteRadioFile(nullptr);
    std::filesystem::current_path(before, ec);
    std::memcpy(MusicDir, savedDir, sizeof(MusicDir));
    if (!written) {
        error = "cannot write data/ogg/radio.rad";
        return error.c_str();
    }
    return nullptr;
}
