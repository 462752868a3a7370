#pragma once

// Ogg Vorbis fixtures made by the project's encoder, and a music player on
// the manual-clock sound output with a music folder of its own.

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/music_links.h"
#include "audio/music_player.h"
#include "audio/music_stream.h"
#include "core/config_file.h"
#include "core/settings.h"
#include "platform/ogg_vorbis.h"
#include "sound_fixture.h"

// Interleaved frames of one sine per channel (frequency 0: silence).
inline std::vector<float> MusicTone(int frames, const std::vector<double> &frequencies, double amplitude)
{
    const int channels = static_cast<int>(frequencies.size());
    std::vector<float> samples(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<size_t>(i) * channels + c] =
                static_cast<float>(amplitude * std::sin(2.0 * M_PI * frequencies[c] * i / 44100.0));
        }
    }
    return samples;
}

// Stereo noise of a fixed seed: it compresses poorly, so a few seconds make
// a file well above the window.
inline std::vector<float> MusicNoise(int frames, uint32_t seed)
{
    std::vector<float> samples(static_cast<size_t>(frames) * 2);
    for (float &v : samples) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int32_t>(seed) / 2147483648.0 * 0.6);
    }
    return samples;
}

inline std::vector<uint8_t> MusicEncode(const std::vector<float> &samples, int channels, float quality = 0.3f,
                                        const std::vector<std::string> &comments = {})
{
    return EncodeOggVorbis(samples.data(), static_cast<int>(samples.size() / channels), channels, 44100, quality,
                           comments, 7);
}

inline void MusicWriteFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The lines the music player showed, by kind.
struct MusicShown {
    std::vector<std::string> warnings;
    std::vector<std::string> beeps;
    std::vector<std::string> loadErrors;
    std::vector<std::string> hud;
    std::vector<int> hudColours;
};
inline MusicShown &MusicLines()
{
    static MusicShown shown;
    return shown;
}

class MusicTest : public ManualSoundTest {
protected:
    void SetUp() override
    {
        ManualSoundTest::SetUp();
        MusicLines() = {};
        MusicLink link{};
        link.printWarning = [](const char *text) { MusicLines().warnings.emplace_back(text); };
        link.printInfoBeep = [](const char *text) { MusicLines().beeps.emplace_back(text); };
        link.printLoadFileError = [](const char *path) { MusicLines().loadErrors.emplace_back(path); };
        link.showHudMessage = [](const char *text, int colour) {
            MusicLines().hud.emplace_back(text);
            MusicLines().hudColours.push_back(colour);
        };
        SetMusicLink(link);
        std::filesystem::create_directories("music");
        std::snprintf(MusicDir, sizeof(MusicDir), "music");
        std::snprintf(MusicFilePattern, sizeof(MusicFilePattern), "%s\\%%s.ogg", MusicDir);
        savedSetup = MusicSetup;
        savedGame = MusicGame;
        savedReplay = MusicReplay;
        savedChannel = MusicChannel;
        MusicSetup = 1;
        MusicGame = 0;
        MusicReplay = 0;
        MusicChannel = 3;
        SetMusicVolume(20.0f);
        ResetRadio();
    }
    void TearDown() override
    {
        StopMusic(1);
        ShutdownSound();
        SetMusicLink({});
        SetMusicVolume(10.0f);
        MusicSetup = savedSetup;
        MusicGame = savedGame;
        MusicReplay = savedReplay;
        MusicChannel = savedChannel;
        MusicContext = 0;
        ResetRadio();
        std::filesystem::remove_all("music");
        ManualSoundTest::TearDown();
    }
    static void ResetRadio()
    {
        RadioChannelCount = 0;
        RadioTrackCount = 0;
        RadioCurrentTrack = -1;
        RadioHistoryCount = 0;
        RadioStopRequest = 0;
        SelectedMusicPlaying = 0;
    }
    // Sound on the manual clock with the file window.
    static void StartMusicSound()
    {
        StartSound();
        ASSERT_EQ(SoundState, 1);
    }
    // Runs the output for `frames` frames in main-loop passes of 512.
    static void PlayFor(int frames, bool radio = false)
    {
        for (int done = 0; done < frames; done += 512) {
            SoundDeviceAdvance(512);
            if (SoundState != 0 && MusicBufferRunning) {
                UpdateMusicBuffer();
            }
            if (radio) {
                UpdateMusic(0);
            } else {
                RunRadio(1);
            }
        }
    }
    static void AddTrack(const char *name, std::vector<uint8_t> weights)
    {
        RadioTrack &track = RadioTracks[RadioTrackCount++];
        track = {};
        std::snprintf(track.name, sizeof(track.name), "%s", name);
        for (size_t c = 0; c < weights.size(); ++c) {
            track.weights[c] = weights[c];
        }
    }
    int savedSetup = 0;
    int savedGame = 0;
    int savedReplay = 0;
    int savedChannel = 0;
};
