#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "vehicle/car_sound_feed.h"

namespace {

// A buffer in memory with a settable write cursor and failures.
struct FakeSound {
    CarSoundBufferState state = {};
    std::vector<int16_t> samples = std::vector<int16_t>(CarSoundBufferFrames * 2, 0);
    uint32_t cursorBytes = 0;
    int cursorError = 0;
    int lockError = 0;
    int hasBuffer = 1;
    int recreations = 0;
    int starts = 0;
    int startFrames = 0;
    int locks = 0;
    int unlocks = 0;
    std::vector<uint32_t> lockedOffsets;
    std::vector<float> mixVolumes;
    std::vector<std::string> failures;
    float volume = 0.8f;
    int countdown = 0;
};

FakeSound fake;

void Install() {
    fake = FakeSound();
    CarSound = {};
    CarSound.state = &fake.state;
    CarSound.ready = [] { return 1; };
    CarSound.recreate = [](float speed) {
        fake.recreations++;
        fake.state.speed = speed;
    };
    CarSound.hasBuffer = [] { return fake.hasBuffer; };
    CarSound.startSilent = [](int frames) {
        fake.starts++;
        fake.startFrames = frames;
        return 1;
    };
    CarSound.getWriteCursor = [](uint32_t *bytes) {
        *bytes = fake.cursorBytes;
        return fake.cursorError;
    };
    CarSound.lock = [](uint32_t offset, uint32_t bytes, void **p1, uint32_t *n1, void **p2, uint32_t *n2) {
        if (fake.lockError != 0)
            return fake.lockError;
        fake.locks++;
        fake.lockedOffsets.push_back(offset);
        *p1 = reinterpret_cast<uint8_t *>(fake.samples.data()) + offset;
        *n1 = bytes;
        *p2 = nullptr;
        *n2 = 0;
        return 0;
    };
    CarSound.unlock = [](void *, uint32_t, void *, uint32_t) { fake.unlocks++; };
    CarSound.reportFailure = [](const char *text, int) { fake.failures.emplace_back(text); };
    CarSound.mixBlock = [](int16_t *samples, int frames) {
        fake.mixVolumes.push_back(fake.volume);
        for (int i = 0; i < frames * 2; i++)
            samples[i] = 1;
    };
    CarSound.getVolume = [] { return fake.volume; };
    CarSound.setVolume = [](float v) { fake.volume = v; };
    CarSound.startBlockCountdown = [] { return fake.countdown; };
}

struct CarSoundFeedTest : ::testing::Test {
    float savedDelay = SoundDelay;
    float savedSpeed = GameSpeed;
    int savedInactive = WindowInactive;

    void SetUp() override {
        Install();
        SoundDelay = 0.05f;   // a lead of 2205 frames
        GameSpeed = 1.0f;
        WindowInactive = 0;
        fake.state.speed = 1.0f;
    }
    void TearDown() override {
        CarSound = {};
        SoundDelay = savedDelay;
        GameSpeed = savedSpeed;
        WindowInactive = savedInactive;
    }
    void Running(uint32_t fill, uint32_t cursorFrames) {
        fake.state.running = 1;
        fake.state.fillPosition = fill;
        fake.cursorBytes = cursorFrames * 4;
    }
};

constexpr uint32_t B = CarSoundBlockFrames;

} // namespace

TEST_F(CarSoundFeedTest, FirstTickStartsSilentWithTheLead) {
    FeedCarSoundBuffer(1);
    EXPECT_EQ(fake.starts, 1);
    EXPECT_EQ(fake.startFrames, 28224);
    EXPECT_EQ(fake.state.running, 1u);
    EXPECT_EQ(fake.state.fillPosition, 2646u);
    EXPECT_EQ(fake.locks, 0);
    EXPECT_EQ(fake.recreations, 0);
}

TEST_F(CarSoundFeedTest, BlocksWrittenAndSkipped) {
    // The lead of 2205 frames puts the target at 6 blocks past a cursor at 0.
    struct Case {
        int flag;
        uint32_t fill, cursor;
        int blocks;
        uint32_t fillAfter;
    };
    const Case cases[] = {
        {0, 3 * B, 0, 1, 4 * B},           // behind: one block per ordinary tick
        {1, 3 * B, 0, 3, 6 * B},           // the last tick of a frame catches up
        {2, 3 * B, 0, 3, 6 * B},
        {0, 7 * B, 0, 0, 7 * B},           // one block ahead: allowed
        {1, 8 * B, 0, 0, 6 * B},           // two ahead: back to the target, unwritten
        {0, 6 * B, 0, 0, 6 * B},           // on the target
        {1, 6 * B, 0, 1, 7 * B},           // flag 1 forces one more block
        {2, 6 * B, 0, 0, 6 * B},           // flag 2 does not
        {0, 4 * B, 63 * B, 1, 5 * B},      // target wrapped past the ring's end
        {1, 62 * B, 63 * B, 0, 5 * B},     // far behind across the wrap counts as ahead
    };
    for (const Case &c : cases) {
        Install();
        Running(c.fill, c.cursor);
        fake.state.speed = 1.0f;
        FeedCarSoundBuffer(c.flag);
        EXPECT_EQ(fake.locks, c.blocks) << c.flag << " " << c.fill << " " << c.cursor;
        EXPECT_EQ(fake.unlocks, c.blocks);
        EXPECT_EQ(fake.state.fillPosition, c.fillAfter) << c.flag << " " << c.fill << " " << c.cursor;
        if (c.blocks > 0) {
            EXPECT_EQ(fake.lockedOffsets[0], c.fill * 4);
        }
    }
}

TEST_F(CarSoundFeedTest, FailuresAreReportedAndStopTheTick) {
    Running(3 * B, 0);
    fake.cursorError = -5;
    FeedCarSoundBuffer(1);
    EXPECT_EQ(fake.failures, std::vector<std::string>{"GetCurrentPosition:P"});
    EXPECT_EQ(fake.locks, 0);
    EXPECT_EQ(fake.state.fillPosition, 3 * B);

    Install();
    Running(3 * B, 0);
    fake.countdown = 60;
    fake.lockError = -7;
    FeedCarSoundBuffer(1);
    EXPECT_EQ(fake.failures, std::vector<std::string>{"Lock:P"});
    EXPECT_TRUE(fake.mixVolumes.empty());
    EXPECT_EQ(fake.state.fillPosition, 3 * B);
    EXPECT_FLOAT_EQ(fake.volume, 0.8f);
}

TEST_F(CarSoundFeedTest, StartBlockFadesTheCarSound) {
    const struct {
        int countdown;
        float mixed;
    } cases[] = {{75, 0.4f}, {40, 0.0f}, {0, 0.8f}, {100, 0.8f}};
    for (const auto &c : cases) {
        Install();
        Running(3 * B, 0);
        fake.countdown = c.countdown;
        FeedCarSoundBuffer(1);
        ASSERT_EQ(fake.mixVolumes.size(), 3u);
        EXPECT_NEAR(fake.mixVolumes[0], c.mixed, 1e-6f) << c.countdown;
        EXPECT_FLOAT_EQ(fake.volume, 0.8f);
    }
}

TEST_F(CarSoundFeedTest, GatesAndSpeedChange) {
    // A speed change while stopped makes the buffer anew at the new rate.
    GameSpeed = 0.5f;
    FeedCarSoundBuffer(1);
    EXPECT_EQ(fake.recreations, 1);
    EXPECT_EQ(fake.state.speed, 0.5f);
    EXPECT_EQ(fake.starts, 1);

    // No buffer: nothing starts.
    Install();
    fake.hasBuffer = 0;
    FeedCarSoundBuffer(1);
    EXPECT_EQ(fake.starts, 0);
    EXPECT_EQ(fake.state.running, 0u);

    // Outside the speeds, with the window inactive, or not ready: nothing.
    for (int gate = 0; gate < 3; gate++) {
        Install();
        fake.state.speed = 1.0f;
        GameSpeed = gate == 0 ? 0.2f : 1.0f;
        WindowInactive = gate == 1 ? 1 : 0;
        if (gate == 2)
            CarSound.ready = [] { return 0; };
        Running(3 * B, 0);
        FeedCarSoundBuffer(1);
        EXPECT_EQ(fake.locks, 0) << gate;
        EXPECT_EQ(fake.state.fillPosition, 3 * B);
    }
    WindowInactive = 0;
    GameSpeed = 1.0f;

    // Nothing registered: nothing happens, nothing crashes.
    CarSound = {};
    FeedCarSoundBuffer(1);
}
