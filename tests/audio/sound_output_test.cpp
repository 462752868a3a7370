#include "audio/sound_output.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct GainCase {
    float setting;
    float gain;
};

TEST(SoundOutputTest, VolumeSettingsMapToGains)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const GainCase cases[] = {
        {20.0f, 0.99997f},
        {10.0f, 0.247178f},
        {0.0f, 0.0610986f},  // never silence
        {35.0f, 0.99997f},   // outside the setting's range: the nearer end
        {-4.0f, 0.0610986f},
        {nan, 0.0610986f},
    };
    for (const GainCase &c : cases) {
        SCOPED_TRACE(c.setting);
        EXPECT_NEAR(VolumeGain(c.setting), c.gain, 2e-5f);
    }
}

TEST(SoundOutputTest, EachVolumeSetsItsOwnGain)
{
    SetMusicVolume(0.0f);
    SetEffectsVolume(10.0f);
    SetCarSoundVolume(20.0f);
    EXPECT_EQ(MusicGain, VolumeGain(0.0f));
    EXPECT_EQ(EffectsVolume, VolumeGain(10.0f));
    EXPECT_EQ(CarSoundGain, VolumeGain(20.0f));
}

}  // namespace
