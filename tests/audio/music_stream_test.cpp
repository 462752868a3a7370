#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "music_fixture.h"
#include "sound_analysis.h"

namespace {

// Decodes a whole file image in one pass into stereo frames, the file held
// in one window as large as the file.
std::vector<int16_t> DecodeAll(const std::vector<uint8_t> &file, float setting, OggStream &stream)
{
    std::vector<int16_t> out;
    std::vector<int16_t> ring(MusicRingFrames * 2 + 16, 0x5A5A);
    uint32_t position = 0;
    stream.SetVolume(setting);
    stream.windowFill = static_cast<uint32_t>(file.size());
    stream.Open(file.data(), &position);
    if (stream.ok == 0) {
        return out;
    }
    uint32_t w = 0;
    while (stream.ok) {
        const uint32_t before = w;
        const int bytes = stream.Decode(file.data(), ring.data(), &position, &w);
        for (uint32_t i = 0; i < static_cast<uint32_t>(bytes) / 4; ++i) {
            const uint32_t f = (before + i) % MusicRingFrames;
            out.push_back(ring[2 * f]);
            out.push_back(ring[2 * f + 1]);
        }
    }
    // Nothing beyond the ring's values was written.
    for (size_t i = MusicRingFrames * 2; i < ring.size(); ++i) {
        EXPECT_EQ(ring[i], 0x5A5A);
    }
    stream.Close();
    return out;
}

class MusicStreamTest : public MusicTest {};

}  // namespace

TEST_F(MusicStreamTest, ToneKeepsItsChannelsAndLevel)
{
    const std::vector<uint8_t> file = MusicEncode(MusicTone(3 * 44100, {440.0, 660.0}, 0.5), 2, 0.4f);
    ASSERT_FALSE(file.empty());
    for (const float setting : {10.0f, 20.0f}) {
        OggStream stream;
        const std::vector<int16_t> pcm = DecodeAll(file, setting, stream);
        ASSERT_GT(pcm.size() / 2, 2u * 44100u) << setting;
        const size_t frames = pcm.size() / 2 - 8192;
        const std::vector<double> left = SoundChannel(pcm.data() + 8192, frames - 8192, 2, 0);
        const std::vector<double> right = SoundChannel(pcm.data() + 8192, frames - 8192, 2, 1);
        EXPECT_GT(SoundGoertzel(left, 440.0, 44100.0), 100.0 * SoundGoertzel(left, 660.0, 44100.0));
        EXPECT_GT(SoundGoertzel(right, 660.0, 44100.0), 100.0 * SoundGoertzel(right, 440.0, 44100.0));
        const double expected = 0.5 * VolumeGain(setting) * 32767.0 / std::sqrt(2.0);
        EXPECT_NEAR(SoundRms(left), expected, expected * 0.05) << setting;
        EXPECT_NEAR(SoundRms(right), expected, expected * 0.05) << setting;
    }
}

TEST(MusicSampleScaling, FullScaleRoundsAndClamps)
{
    const float g = VolumeGain(20.0f) * 32767.0f;
    struct Case {
        float sample;
        int value;
    };
    for (const Case c : {Case{1.0f, 32766}, Case{1.2f, 32767}, Case{-1.2f, -32767}, Case{-1.0f, -32766},
                         Case{0.0f, 0}, Case{100.0f, 32767}, Case{-100.0f, -32767}}) {
        EXPECT_EQ(MusicSampleValue(g, c.sample), c.value) << c.sample;
    }
    EXPECT_EQ(MusicSampleValue(g, std::nanf("")), 0);
}

TEST_F(MusicStreamTest, CommentsAreShownOnceWithTheChime)
{
    const std::vector<uint8_t> file =
        MusicEncode(MusicTone(44100 / 2, {440.0, 440.0}, 0.3), 2, 0.3f, {"TITLE=Test", "ARTIST=Us"});
    OggStream stream;
    DecodeAll(file, 10.0f, stream);
    EXPECT_EQ(MusicLines().beeps, (std::vector<std::string>{"OGG: TITLE=Test", "OGG: ARTIST=Us"}));
    EXPECT_TRUE(MusicLines().warnings.empty());
}

TEST_F(MusicStreamTest, MonoSoundsOnBothSidesAndThreeChannelsWriteTwo)
{
    {
        OggStream stream;
        const std::vector<int16_t> pcm =
            DecodeAll(MusicEncode(MusicTone(44100, {500.0}, 0.5), 1), 20.0f, stream);
        ASSERT_GT(pcm.size(), 40000u);
        for (size_t i = 0; i < pcm.size(); i += 2) {
            ASSERT_EQ(pcm[i], pcm[i + 1]) << i;
        }
        EXPECT_GT(SoundRms(SoundChannel(pcm.data(), pcm.size() / 2, 2, 0)), 5000.0);
    }
    {
        OggStream stream;
        const std::vector<int16_t> pcm =
            DecodeAll(MusicEncode(MusicTone(44100, {440.0, 660.0, 880.0}, 0.5), 3), 20.0f, stream);
        ASSERT_GT(pcm.size(), 40000u);
        const std::vector<double> right = SoundChannel(pcm.data() + 8192, pcm.size() / 2 - 8192, 2, 1);
        EXPECT_GT(SoundGoertzel(right, 660.0, 44100.0), 100.0 * SoundGoertzel(right, 880.0, 44100.0));
    }
}

TEST(MusicReadMemory, NeverReadsPastTheFileBytesInTheWindow)
{
    std::vector<uint8_t> window(MusicFileWindowBytes);
    for (size_t i = 0; i < window.size(); ++i) {
        window[i] = static_cast<uint8_t>(i);
    }
    struct Case {
        uint32_t fill;
        uint32_t position;
        uint32_t n;
        uint32_t copied;
    };
    for (const Case c : {Case{100, 50, 4096, 50}, Case{100, 100, 4096, 0}, Case{100, 150, 4096, 0},
                         Case{MusicFileWindowBytes, MusicFileWindowBytes - 1000, 4096, 1000},
                         Case{MusicFileWindowBytes, 0, 4096, 4096}}) {
        OggStream stream;
        stream.windowFill = c.fill;
        std::vector<uint8_t> dest(4096, 0xEE);
        uint32_t position = c.position;
        EXPECT_EQ(stream.ReadMemory(dest.data(), c.n, window.data(), &position), c.copied);
        EXPECT_EQ(position, c.position + c.copied);
        if (c.copied > 0) {
            EXPECT_EQ(dest[0], static_cast<uint8_t>(c.position));
        }
        EXPECT_EQ(dest[c.copied < dest.size() ? c.copied : 0], c.copied < dest.size() ? 0xEE : dest[0]);
    }
}
