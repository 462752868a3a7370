// The generated sound samples load at start as the program loads them: each
// of the length and channel count it was made with, the loops seamless.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/interface_sound.h"
#include "audio/sound_links.h"
#include "sound_analysis.h"
#include "tools/default_sounds.h"
#include "vehicle/car_race_services.h"

namespace {

std::vector<std::string> Lines;

class DefaultSoundsTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved = RaceServices;
        RaceServices.printMessage = [](const char *text, int) { Lines.emplace_back(text); };
        Lines.clear();
        ASSERT_EQ(WriteDefaultSounds("."), nullptr);
    }
    void TearDown() override
    {
        FreeSoundSamples();
        RaceServices = saved;
    }
    CarRaceServices saved;
};

TEST_F(DefaultSoundsTest, EverySampleLoadsWithItsShapeAndTheLoopsJoin)
{
    LoadSoundSamples();
    EXPECT_TRUE(Lines.empty());
    for (int n = 0; n < SoundSampleCount; n++) {
        SCOPED_TRACE(SoundSampleNames[n]);
        const SoundSample &sample = SoundSamples[n];
        const DefaultSoundShape shape = DefaultSoundShapeOf(n);
        ASSERT_NE(sample.values, nullptr);
        EXPECT_EQ(sample.stereo, shape.channels == 2 ? 1 : 0);
        EXPECT_EQ(sample.count, shape.frames * static_cast<uint32_t>(shape.channels));
        const std::vector<double> x = SoundChannel(sample.values, sample.count / shape.channels, shape.channels, 0);
        EXPECT_GT(SoundRms(x), 300.0);   // audible
        if (n >= FirstLoopSample) {
            EXPECT_GE(shape.frames, 22050u);
            EXPECT_LE(shape.frames, 44100u);
            double largest = 0.0;
            for (size_t i = 1; i < x.size(); i++) {
                largest = std::max(largest, std::fabs(x[i] - x[i - 1]));
            }
            EXPECT_LE(std::fabs(x.front() - x.back()), largest);
        }
        WriteTestWav(std::string("sample_") + SoundSampleNames[n], sample.values, sample.count / shape.channels,
                     shape.channels);
    }

    // The interface sounds are short, the jingles about two seconds.
    for (int n = 0; n < 5; n++) {
        EXPECT_LE(DefaultSoundShapeOf(n).frames, 44100u * 2 / 5);
    }
    EXPECT_NEAR(DefaultSoundShapeOf(SoundWinRace).frames / 44100.0, 2.0, 0.5);
    EXPECT_NEAR(DefaultSoundShapeOf(SoundFinishRace).frames / 44100.0, 2.0, 0.5);
}

TEST_F(DefaultSoundsTest, AMissingSampleIsNamedAndStaysSilent)
{
    std::filesystem::remove("data/sound/Message.wav");
    LoadSoundSamples();
    EXPECT_EQ(Lines, std::vector<std::string>{"Could not open file : data\\sound\\Message.wav"});
    EXPECT_EQ(SoundSamples[SoundMessage].values, nullptr);
    EXPECT_EQ(SoundSamples[SoundMessage].count, 0u);
    EXPECT_NE(SoundSamples[SoundClick].values, nullptr);
}

// The generator is deterministic: a second run writes the same bytes.
TEST_F(DefaultSoundsTest, TheSamplesAreTheSameEveryRun)
{
    std::filesystem::create_directories("again");
    ASSERT_EQ(WriteDefaultSounds("again"), nullptr);
    for (int n = 0; n < SoundSampleCount; n++) {
        const std::string name = std::string(SoundSampleNames[n]) + ".wav";
        EXPECT_EQ(std::filesystem::file_size("data/sound/" + name), std::filesystem::file_size("again/data/sound/" + name));
        std::ifstream a("data/sound/" + name, std::ios::binary);
        std::ifstream b("again/data/sound/" + name, std::ios::binary);
        EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b))) << name;
    }
}

}  // namespace
