#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/music_links.h"
#include "audio/music_player.h"
#include "audio/music_stream.h"
#include "audio/sound_output.h"
#include "core/settings.h"
#include "tools/default_music.h"

namespace {

std::vector<std::string> Beeps;

std::vector<uint8_t> ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every tune is longer than the file window, decodes whole at a steady
// level, names itself once, and the radio file puts both on the radio.
TEST(DefaultMusicTest, TunesAndRadioFile)
{
    ASSERT_EQ(WriteDefaultMusic("."), nullptr);
    MusicLink link{};
    link.printInfoBeep = [](const char *text) { Beeps.emplace_back(text); };
    SetMusicLink(link);
    for (int n = 0; n < DefaultTuneCount; ++n) {
        SCOPED_TRACE(DefaultTuneNames[n]);
        const std::vector<uint8_t> file = ReadAll(std::string("data/ogg/") + DefaultTuneNames[n] + ".ogg");
        EXPECT_GT(file.size(), MusicFileWindowBytes);
        OggStream stream;
        stream.SetVolume(20.0f);
        stream.windowFill = static_cast<uint32_t>(file.size());
        uint32_t position = 0;
        Beeps.clear();
        stream.Open(file.data(), &position);
        ASSERT_EQ(stream.ok, 1u);
        ASSERT_EQ(Beeps.size(), 1u);
        EXPECT_EQ(Beeps[0].rfind("OGG: TITLE=", 0), 0u);
        std::vector<int16_t> ring(MusicRingFrames * 2);
        uint32_t w = 0;
        uint64_t frames = 0;
        // The level of each second, from the written frames.
        std::vector<double> energy(40, 0.0);
        while (stream.ok) {
            const uint32_t before = w;
            const int bytes = stream.Decode(file.data(), ring.data(), &position, &w);
            for (int i = 0; i < bytes / 4; ++i) {
                const uint32_t f = (before + static_cast<uint32_t>(i)) % MusicRingFrames;
                const double l = ring[2 * f];
                const double r = ring[2 * f + 1];
                energy[std::min<size_t>(39, (frames + static_cast<uint64_t>(i)) / 44100)] += l * l + r * r;
            }
            frames += static_cast<uint64_t>(bytes / 4);
        }
        stream.Close();
        EXPECT_GE(frames, 20u * 44100u);
        EXPECT_LE(frames, 30u * 44100u);
        for (uint64_t s = 0; s + 1 < frames / 44100; ++s) {
            const double rms = std::sqrt(energy[s] / (2.0 * 44100.0));
            EXPECT_GT(rms, 2500.0) << "second " << s;   // about -22 dBFS or louder
        }
    }
    SetMusicLink({});
    char saved[sizeof(MusicDir)];
    std::memcpy(saved, MusicDir, sizeof(MusicDir));
    std::snprintf(MusicDir, sizeof(MusicDir), "data\\ogg");
    RadioChannelCount = 0;
    RadioTrackCount = 0;
    ASSERT_EQ(ReadRadioFile(), 1);
    std::memcpy(MusicDir, saved, sizeof(MusicDir));
    EXPECT_EQ(RadioChannelCount, 4);
    ASSERT_EQ(RadioTrackCount, DefaultTuneCount);
    for (int n = 0; n < DefaultTuneCount; ++n) {
        EXPECT_STREQ(RadioTracks[n].name, DefaultTuneNames[n]);
        EXPECT_GT(RadioTracks[n].weights[0], 0);
        EXPECT_GT(RadioTracks[n].weights[3], 0);
    }
    EXPECT_GT(RadioTracks[0].weights[1], 0);
    EXPECT_EQ(RadioTracks[1].weights[1], 0);
    EXPECT_GT(RadioTracks[1].weights[2], 0);
    EXPECT_EQ(RadioTracks[0].weights[2], 0);
    // A second run writes the same bytes.
    std::filesystem::create_directories("again");
    ASSERT_EQ(WriteDefaultMusic("again"), nullptr);
    for (const char *name : {"morning_drive.ogg", "harbour_lights.ogg", "radio.rad"}) {
        EXPECT_EQ(ReadAll(std::string("data/ogg/") + name), ReadAll(std::string("again/data/ogg/") + name)) << name;
    }
    RadioChannelCount = 0;
    RadioTrackCount = 0;
}

}  // namespace
