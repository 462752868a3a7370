// The car-sound feed over the real output on the manual clock: the physics
// tick's feed writes one block a tick into "C" while the output plays it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "sound_analysis.h"
#include "sound_fixture.h"
#include "vehicle/car_sound_feed.h"

namespace {

constexpr double ToneAmplitude = 10000.0;
constexpr double ToneFrequency = 220.0;

// A sine that goes on from block to block at the buffer's rate, scaled by
// the car-sound gain as the mixer's output stage is.
double TonePhase = 0.0;
double TonePhaseStep = 0.0;

void MixTone(int16_t *samples, int frames)
{
    for (int i = 0; i < frames; i++) {
        TonePhase += TonePhaseStep;
        const auto v = static_cast<int16_t>(std::lrint(ToneAmplitude * CarSoundGain * std::sin(TonePhase)));
        samples[2 * i] = v;
        samples[2 * i + 1] = v;
    }
}

int Countdown = 0;

class CarSoundFeedTest : public ManualSoundTest {
protected:
    // Starts sound at the speed's rate with the tone as the mixer.
    int Start(float speed)
    {
        GameSpeed = speed;
        InitDirectSound();
        EXPECT_EQ(SoundState, 1);
        CarSound.mixBlock = MixTone;
        CarSoundMixerEnabled = 1;
        SoundListenerValid = 1;
        const int rate = CarSoundBufferRate(speed);
        TonePhase = 0.0;
        TonePhaseStep = 2.0 * M_PI * ToneFrequency / rate;
        SoundDeviceClearCapture();
        return rate;
    }
    // One physics tick, then the output plays for its real length.
    void Tick(int rate)
    {
        FeedCarSoundBuffer(1);
        SoundDeviceAdvance(441 * (44100 / rate));
    }
};

TEST_F(CarSoundFeedTest, EachRateIsFilledWithoutAGapOrARepeat)
{
    for (float speed : {0.25f, 0.5f, 1.0f}) {
        SCOPED_TRACE(speed);
        const int rate = Start(speed);
        for (int tick = 0; tick < 1000; tick++) {
            Tick(rate);
        }
        EXPECT_TRUE(SoundLines().empty());
        const std::vector<int16_t> &out = SoundDeviceCapture();
        const size_t frames = out.size() / 2;
        ASSERT_EQ(frames, 1000u * 441 * (44100 / rate));

        // Writing begins a block beyond the lead of 0.05 s: ring frame 2646,
        // which the slower rates already lean towards from the frame before.
        size_t onset = 0;
        while (onset < frames && out[2 * onset] == 0) {
            onset++;
        }
        EXPECT_EQ(onset, 2645u * (44100 / rate) + 1);

        // From there on the tone never steps further than the sine itself.
        const double limit = ToneAmplitude * TonePhaseStep + 1.0;
        double largest = 0.0;
        for (size_t i = onset + 1; i < frames; i++) {
            largest = std::max(largest, std::fabs(static_cast<double>(out[2 * i]) - out[2 * i - 2]));
        }
        EXPECT_LE(largest, limit);
        // And it is the tone: its strength at 220 Hz in the last second.
        const std::vector<double> last = SoundChannel(out.data() + 2 * (frames - 44100), 44100, 2, 0);
        EXPECT_NEAR(std::sqrt(SoundGoertzel(last, ToneFrequency, 44100) * 4),
                    ToneAmplitude, ToneAmplitude * 0.05);
        WriteTestWav("car_sound_feed_" + std::to_string(rate), out.data(), static_cast<uint32_t>(frames), 2);
        StopDirectSound();
    }
}

// The race vote's last 100 ticks fade the car sound: 75 ticks left mix at
// half volume, 40 at none, and the volume is back afterwards.
TEST_F(CarSoundFeedTest, TheRaceVoteCountdownFadesTheBlocks)
{
    SetSoundSessionLink({nullptr, nullptr, [] { return Countdown; }, nullptr});
    const int rate = Start(1.0f);
    auto peak = [](size_t from, size_t to) {
        const std::vector<int16_t> &out = SoundDeviceCapture();
        int largest = 0;
        for (size_t i = from; i < to; i++) {
            largest = std::max(largest, std::abs(static_cast<int>(out[2 * i])));
        }
        return largest;
    };
    const int countdowns[] = {0, 75, 40, 0};
    for (int c : countdowns) {
        Countdown = c;
        for (int tick = 0; tick < 100; tick++) {
            Tick(rate);
        }
    }
    // The middle of each stretch of 100 ticks (the lead is about 7 ticks).
    EXPECT_NEAR(peak(30 * 441, 90 * 441), ToneAmplitude, 50);
    EXPECT_NEAR(peak(130 * 441, 190 * 441), ToneAmplitude / 2, 50);
    EXPECT_EQ(peak(230 * 441, 290 * 441), 0);
    EXPECT_NEAR(peak(330 * 441, 390 * 441), ToneAmplitude, 50);
    EXPECT_EQ(CarSoundGain, 1.0f);
    Countdown = 0;
}

}  // namespace
