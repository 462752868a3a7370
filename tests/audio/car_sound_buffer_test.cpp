#include "audio/car_sound_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "audio/sound_output.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/sound_device.h"
#include "vehicle/car_race_services.h"

namespace {

std::vector<std::string> printed;

void RecordLine(const char *text, int)
{
    printed.emplace_back(text);
}

TEST(CarSoundBufferRate, FollowsTheGameSpeed)
{
    const struct {
        float speed;
        int rate;
    } rows[] = {
        {0.2f, 0},      {0.24f, 11025}, {0.25f, 11025}, {0.26f, 22050}, {0.5f, 22050},
        {0.51f, 44100}, {1.0f, 44100},  {1.01f, 44100}, {1.02f, 0},      {2.0f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(CarSoundBufferRate(row.speed), row.rate) << row.speed;
    }
}

// The output stage: V (1.5 s - 0.5 s^3) of the summed sample, full scale
// held at 1 with the clipping flag, accumulators emptied after the block.
TEST(CarSoundMixerOutput, SaturatesClampsAndEmptiesTheAccumulators)
{
    const float savedGain = CarSoundGain;
    CarSoundGain = 0.5f;
    const float v = 0.5f * 32767.0f;
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    CarSoundMixBuffers[0][0] = 32767.0f;                      // s = 1: exactly V
    CarSoundMixBuffers[0][1] = 8000.0f;                       // s = 0.5 from two accumulators
    CarSoundMixBuffers[2][1] = 8383.5f;
    CarSoundMixBuffers[0][2] = 8000.0f;
    CarSoundMixBuffers[2][2] = -8000.0f;                      // cancels out
    CarSoundMixBuffers[1][3] = -16383.5f;                     // s = -0.5 from the direct one
    int16_t out[CarSoundMixFrames * 2];
    MixCarSounds(out);
    EXPECT_EQ(CarSoundClipping, 0u);
    EXPECT_EQ(out[0], static_cast<int16_t>(std::round(v)));
    const float half = std::round((1.5f * v - 0.25f * 0.5f * v) * 0.5f);
    EXPECT_EQ(out[1], static_cast<int16_t>(half));
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], static_cast<int16_t>(-half));
    EXPECT_EQ(out[CarSoundMixFrames * 2 - 1], 0);
    for (const auto &buffer : CarSoundMixBuffers) {
        for (float s : buffer) {
            ASSERT_EQ(s, 0.0f);
        }
    }

    CarSoundMixBuffers[2][5] = 40000.0f;
    CarSoundMixBuffers[0][6] = -1.0e9f;
    MixCarSounds(out);
    EXPECT_EQ(CarSoundClipping, 1u);
    EXPECT_EQ(out[5], static_cast<int16_t>(std::round(v)));
    EXPECT_EQ(out[6], static_cast<int16_t>(-std::round(v)));
    MixCarSounds(out);
    EXPECT_EQ(CarSoundClipping, 0u);   // only the block that went beyond
    CarSoundGain = savedGain;
}

// The car-sound buffer over the system's output, played by SDL's silent
// driver, fed by the physics tick's feed through what the sound layer
// registers.
class CarSoundBufferTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        savedServices = RaceServices;
        savedSpeed = GameSpeed;
        savedDelay = SoundDelay;
        savedInactive = WindowInactive;
        RaceServices.printMessage = RecordLine;
        printed.clear();
        GameSpeed = 1.0f;
        SoundDelay = 0.05f;
        WindowInactive = 0;
        CarSoundBufferStatus = {0, 0, 1.0f};
        InitDirectSound();
        if (SoundState == 0) {
            GTEST_SKIP() << "no sound output on this system";
        }
    }
    void TearDown() override
    {
        StopDirectSound();
        CarSound = {};
        CarSoundMixerEnabled = 0;
        SoundListenerValid = 0;
        RaceServices = savedServices;
        GameSpeed = savedSpeed;
        SoundDelay = savedDelay;
        WindowInactive = savedInactive;
    }

    CarRaceServices savedServices;
    float savedSpeed = 0.0f;
    float savedDelay = 0.0f;
    int savedInactive = 0;
};

TEST_F(CarSoundBufferTest, StartingSoundRegistersTheBufferForTheFeed)
{
    EXPECT_EQ(SoundState, 1);
    ASSERT_NE(CarSoundRing(), nullptr);
    EXPECT_EQ(CarSound.state, &CarSoundBufferStatus);
    EXPECT_EQ(CarSoundBufferStatus.speed, 1.0f);

    // The feed waits for the mixer and the listener.
    FeedCarSoundBuffer(1);
    EXPECT_EQ(CarSoundBufferStatus.running, 0u);

    CarSoundMixerEnabled = 1;
    SoundListenerValid = 1;
    FeedCarSoundBuffer(1);
    EXPECT_EQ(CarSoundBufferStatus.running, 1u);
    EXPECT_EQ(CarSoundBufferStatus.fillPosition, 2646u);

    // A catching-up tick mixes blocks into the ring from the fill position.
    const uint32_t from = CarSoundBufferStatus.fillPosition;
    CarSoundMixBuffers[0][0] = 32767.0f;
    FeedCarSoundBuffer(1);
    EXPECT_NE(CarSoundBufferStatus.fillPosition, from);
    EXPECT_EQ(CarSoundBufferStatus.fillPosition % CarSoundBlockFrames, 0u);
    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    ASSERT_EQ(SoundRingLock(CarSoundRing(), from * 4, CarSoundBlockBytes, &part1, &size1, &part2, &size2), 0);
    const int16_t *block = static_cast<const int16_t *>(part1);
    EXPECT_EQ(block[0], static_cast<int16_t>(std::round(CarSoundGain * 32767.0f)));
    EXPECT_EQ(block[1], 0);
    EXPECT_EQ(SoundRingUnlock(CarSoundRing(), part1, size1, part2, size2), 0);

    // The buffer stops when the view changes; the next tick starts it again.
    StopCarSoundBuffer();
    EXPECT_EQ(CarSoundBufferStatus.running, 0u);
    FeedCarSoundBuffer(0);
    EXPECT_EQ(CarSoundBufferStatus.running, 1u);
    EXPECT_TRUE(printed.empty());
}

TEST_F(CarSoundBufferTest, AGameSpeedChangeWhileStoppedMakesTheBufferAgain)
{
    CarSoundMixerEnabled = 1;
    SoundListenerValid = 1;
    GameSpeed = 0.5f;
    FeedCarSoundBuffer(0);
    EXPECT_EQ(CarSoundBufferStatus.speed, 0.5f);
    ASSERT_NE(CarSoundRing(), nullptr);
    EXPECT_EQ(CarSoundBufferStatus.running, 1u);

    // Outside the buffer's speeds no buffer is made, but the speed is kept.
    GameSpeed = 2.0f;
    EXPECT_EQ(CreateCarSoundBuffer(), 0);
    EXPECT_EQ(CarSoundRing(), nullptr);
    EXPECT_EQ(CarSoundBufferStatus.speed, 2.0f);
    EXPECT_EQ(SoundState, 1);
    EXPECT_TRUE(printed.empty());
}

TEST_F(CarSoundBufferTest, AFailureTurnsSoundOffOnce)
{
    CarSoundMixerEnabled = 1;
    SoundListenerValid = 1;
    FeedCarSoundBuffer(0);
    ASSERT_EQ(CarSoundBufferStatus.running, 1u);

    // A lock outside the ring fails; the report stops all sound.
    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    const int code = CarSound.lock(CarSoundBufferFrames * 4, 4, &part1, &size1, &part2, &size2);
    EXPECT_EQ(code, SoundDeviceParamError);
    CarSound.reportFailure("Lock:P", code);
    EXPECT_EQ(printed, std::vector<std::string>{"No sound (Lock:P -3)"});
    EXPECT_EQ(SoundState, 0);
    EXPECT_EQ(CarSoundRing(), nullptr);
    EXPECT_EQ(CarSoundBufferStatus.running, 0u);

    // Sound is off: later failures and feeds do nothing.
    ReportSoundFailure("GetCurrentPosition:P", -4);
    FeedCarSoundBuffer(1);
    EXPECT_EQ(printed.size(), 1u);
    EXPECT_EQ(CarSoundBufferStatus.running, 0u);
}

TEST_F(CarSoundBufferTest, SilentStartOfAMissingBufferFails)
{
    EXPECT_EQ(StartBufferSilent(nullptr, CarSoundBufferFrames, 1, 1), 0);
    EXPECT_EQ(printed, std::vector<std::string>{"No sound (Lock:Z -4)"});
    EXPECT_EQ(SoundState, 0);
    EXPECT_EQ(StartBufferSilent(nullptr, CarSoundBufferFrames, 1, 1), 0);
    EXPECT_EQ(printed.size(), 1u);
}

}  // namespace
