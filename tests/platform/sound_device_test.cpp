#include "platform/sound_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "test_files.h"

namespace {

// The output core under the manual clock: nothing moves but by Advance.
class SoundDeviceCore : public testing::Test {
protected:
    void SetUp() override
    {
        SoundDeviceUseManualClock(true);
        ASSERT_EQ(SoundDeviceStart(), 0);
        SoundDeviceClearCapture();
    }
    void TearDown() override
    {
        for (SoundRing *ring : rings) {
            ReleaseSoundRing(ring);
        }
        SoundDeviceStop();
        SoundDeviceClearFailures();
        SoundDeviceClearCapture();
        SoundDeviceUseManualClock(false);
    }

    // A ring whose frame i holds (values[i], -values[i]).
    SoundRing *Ring(int rate, const std::vector<int16_t> &values)
    {
        int error = 0;
        SoundRing *ring = CreateSoundRing(rate, static_cast<uint32_t>(values.size() * 4), &error);
        EXPECT_NE(ring, nullptr);
        EXPECT_EQ(error, 0);
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        EXPECT_EQ(SoundRingLock(ring, 0, static_cast<uint32_t>(values.size() * 4), &part1, &size1, &part2, &size2), 0);
        int16_t *frames = static_cast<int16_t *>(part1);
        for (size_t i = 0; i < values.size(); i++) {
            frames[2 * i] = values[i];
            frames[2 * i + 1] = static_cast<int16_t>(-values[i]);
        }
        EXPECT_EQ(SoundRingUnlock(ring, part1, size1, part2, size2), 0);
        rings.push_back(ring);
        return ring;
    }

    // The left values of the next `frames` output frames.
    std::vector<int> Next(int frames)
    {
        SoundDeviceClearCapture();
        SoundDeviceAdvance(frames);
        std::vector<int> left;
        for (int i = 0; i < frames; i++) {
            left.push_back(SoundDeviceCapture()[2 * i]);
        }
        return left;
    }

    uint32_t PlayCursor(SoundRing *ring)
    {
        uint32_t bytes = 0;
        EXPECT_EQ(SoundRingPlayCursor(ring, &bytes), 0);
        return bytes;
    }

    std::vector<SoundRing *> rings;
};

TEST_F(SoundDeviceCore, AOneShotRingPlaysOnceAndAgainFromItsStart)
{
    SoundRing *ring = Ring(44100, {1, 2, 3, 4});
    EXPECT_EQ(Next(2), (std::vector<int>{0, 0}));   // made silent and stopped
    ASSERT_EQ(SoundRingPlay(ring, 0), 0);
    EXPECT_EQ(Next(6), (std::vector<int>{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(SoundRingPlaying(ring), 0);
    EXPECT_EQ(PlayCursor(ring), 0u);

    ASSERT_EQ(SoundRingPlay(ring, 0), 0);
    EXPECT_EQ(Next(2), (std::vector<int>{1, 2}));
    ASSERT_EQ(SoundRingPlay(ring, 0), 0);   // playing: goes on where it is
    EXPECT_EQ(Next(3), (std::vector<int>{3, 4, 0}));
    EXPECT_EQ(SoundDeviceCapture()[1], -3);   // the right channel is its own
}

TEST_F(SoundDeviceCore, StopKeepsTheCursorAndLocksWrapAroundTheEnd)
{
    SoundRing *ring = Ring(44100, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(SoundRingPlay(ring, 1), 0);
    EXPECT_EQ(Next(8), (std::vector<int>{1, 2, 3, 4, 5, 6, 1, 2}));   // looping
    ASSERT_EQ(SoundRingStop(ring), 0);
    EXPECT_EQ(PlayCursor(ring), 2u * 4);
    EXPECT_EQ(Next(2), (std::vector<int>{0, 0}));
    ASSERT_EQ(SoundRingPlay(ring, 1), 0);
    EXPECT_EQ(Next(1), (std::vector<int>{3}));
    ASSERT_EQ(SoundRingSetPosition(ring, 0), 0);
    EXPECT_EQ(Next(2), (std::vector<int>{1, 2}));

    // The write cursor is one output period ahead of the play cursor.
    uint32_t write = 0;
    ASSERT_EQ(SoundRingWriteCursor(ring, &write), 0);
    EXPECT_EQ(write, (2u + SoundDevicePeriodFrames) % 6 * 4);

    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    ASSERT_EQ(SoundRingLock(ring, 16, 12, &part1, &size1, &part2, &size2), 0);
    EXPECT_EQ(size1, 8u);
    EXPECT_EQ(size2, 4u);
    EXPECT_EQ(static_cast<int16_t *>(part1)[0], 5);
    EXPECT_EQ(static_cast<int16_t *>(part2)[0], 1);
    EXPECT_EQ(SoundRingUnlock(ring, part1, size1, part2, size2), 0);
    EXPECT_EQ(SoundRingLock(ring, 24, 4, &part1, &size1, &part2, &size2), SoundDeviceParamError);
    EXPECT_EQ(SoundRingSetPosition(ring, 24), SoundDeviceParamError);
}

TEST_F(SoundDeviceCore, SlowRingsAdvanceAtTheirOwnRateAndInterpolate)
{
    const struct {
        int rate;
        uint32_t ahead;
    } rows[] = {{11025, 128}, {22050, 256}, {44100, 512}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.rate);
        SoundRing *ring = Ring(row.rate, std::vector<int16_t>(28224, 0));
        ASSERT_EQ(SoundRingPlay(ring, 1), 0);
        SoundDeviceAdvance(44100);
        EXPECT_EQ(PlayCursor(ring), static_cast<uint32_t>(row.rate) % 28224 * 4);
        uint32_t write = 0;
        ASSERT_EQ(SoundRingWriteCursor(ring, &write), 0);
        EXPECT_EQ(write, (static_cast<uint32_t>(row.rate) + row.ahead) % 28224 * 4);
        SoundRingStop(ring);
    }

    // 22,050 Hz: every other output frame is the midpoint.
    SoundRing *ring = Ring(22050, {0, 100, 300, 300});
    ASSERT_EQ(SoundRingPlay(ring, 1), 0);
    EXPECT_EQ(Next(9), (std::vector<int>{0, 50, 100, 200, 300, 300, 300, 150, 0}));
}

TEST_F(SoundDeviceCore, RingsAddUpAndSaturateInsteadOfWrapping)
{
    SoundRing *a = Ring(44100, {32767, -32767, 1000});
    SoundRing *b = Ring(44100, {32767, -32767, -300});
    SoundRingPlay(a, 0);
    SoundRingPlay(b, 0);
    EXPECT_EQ(Next(3), (std::vector<int>{32767, -32767, 700}));
}

TEST_F(SoundDeviceCore, InjectedFailuresHappenOnceAfterTheSkippedCalls)
{
    SoundRing *ring = Ring(44100, {1, 2});
    SoundDeviceFailCall(SoundDeviceCall::Play, 1, -77);
    EXPECT_EQ(SoundRingPlay(ring, 0), 0);
    EXPECT_EQ(SoundRingPlay(ring, 0), -77);
    EXPECT_EQ(SoundRingPlay(ring, 0), 0);
    SoundDeviceFailCall(SoundDeviceCall::CreateRing, 0, -5);
    int error = 0;
    EXPECT_EQ(CreateSoundRing(44100, 8, &error), nullptr);
    EXPECT_EQ(error, -5);
    EXPECT_EQ(SoundRingPlay(nullptr, 1), SoundDeviceLostError);
}

// The system output through SDL's disk driver, which writes what it plays
// into a raw file.
TEST(SoundDeviceSdl, AToneInARingReachesTheOutputFile)
{
    const std::filesystem::path folder = std::filesystem::absolute("disk_audio");
    std::filesystem::create_directories(folder);
    const std::string raw = (folder / "output.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    SoundDeviceUseManualClock(false);
    const int started = SoundDeviceStart();
    unsetenv("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (started != 0) {
        GTEST_SKIP() << "no disk sound driver";
    }
    // 50 ms of silence, then 0.3 s of 1 kHz.
    const int silent = 2205;
    const int tone = 13230;
    int error = 0;
    SoundRing *ring = CreateSoundRing(44100, (silent + tone) * 4, &error);
    ASSERT_NE(ring, nullptr);
    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    ASSERT_EQ(SoundRingLock(ring, 0, (silent + tone) * 4, &part1, &size1, &part2, &size2), 0);
    int16_t *frames = static_cast<int16_t *>(part1);
    for (int i = 0; i < tone; i++) {
        const int16_t v = static_cast<int16_t>(std::lrint(12000.0 * std::sin(2.0 * M_PI * 1000.0 * i / 44100.0)));
        frames[2 * (silent + i)] = v;
        frames[2 * (silent + i) + 1] = v;
    }
    ASSERT_EQ(SoundRingUnlock(ring, part1, size1, part2, size2), 0);
    ASSERT_EQ(SoundRingPlay(ring, 0), 0);
    // Waits for the one-shot ring to end (the driver plays in real time).
    for (int i = 0; i < 500 && SoundRingPlaying(ring); i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(SoundRingPlaying(ring), 0);
    ReleaseSoundRing(ring);
    SoundDeviceStop();

    const std::vector<uint8_t> bytes = ReadFileBytes(raw);
    std::vector<int16_t> left;
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        left.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    size_t onset = 0;
    while (onset < left.size() && left[onset] == 0) {
        onset++;
    }
    ASSERT_GE(left.size(), onset + 8820) << "the tone is missing from the output";
    EXPECT_GE(onset, static_cast<size_t>(silent));   // at least the ring's silence first
    std::vector<double> x(left.begin() + static_cast<long>(onset), left.begin() + static_cast<long>(onset) + 8820);
    auto power = [&x](double f) {
        const double w = 2.0 * M_PI * f / 44100.0;
        const double c = 2.0 * std::cos(w);
        double s1 = 0.0, s2 = 0.0;
        for (double v : x) {
            const double s0 = v + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        return s1 * s1 + s2 * s2 - c * s1 * s2;
    };
    EXPECT_GT(power(1000.0), 100.0 * power(700.0));
    EXPECT_GT(power(1000.0), 100.0 * power(1400.0));
}

}  // namespace
