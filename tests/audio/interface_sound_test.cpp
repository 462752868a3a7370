#include "audio/interface_sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "sound_fixture.h"

namespace {

using InterfaceSoundTest = ManualSoundTest;

int FixedMode = 0;
int FixedFastForward = 0;
int FixedMessageSetting = 0;

SoundSessionLink FixedSession()
{
    return {[] { return FixedFastForward; }, [] { return FixedMode; }, nullptr, [] { return FixedMessageSetting; }};
}

TEST_F(InterfaceSoundTest, ABufferHoldsSilenceThenTheScaledSound)
{
    SetSample(SoundMessage, {1000, -2001, 3000}, false);
    SetSample(SoundError, {100, 200, -300, -400}, true);
    EffectsVolume = 0.5f;
    InitDirectSound();
    ASSERT_EQ(SoundState, 1);
    EXPECT_EQ(InterfaceSoundRing(SoundClick), nullptr);   // nothing loaded

    struct Case {
        int n;
        std::vector<int16_t> frames;   // after the silence
    } cases[] = {
        {SoundMessage, {500, 500, -1000, -1000, 1500, 1500}},   // -1000.5 rounds to even
        {SoundError, {50, 100, -150, -200}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        SoundRing *ring = InterfaceSoundRing(c.n);
        ASSERT_NE(ring, nullptr);
        const uint32_t bytes = 8820 + static_cast<uint32_t>(c.frames.size()) * 2;
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        ASSERT_EQ(SoundRingLock(ring, 0, bytes, &part1, &size1, &part2, &size2), 0);
        EXPECT_EQ(size1, bytes);
        const int16_t *values = static_cast<const int16_t *>(part1);
        EXPECT_EQ(std::vector<int16_t>(values, values + 4410), std::vector<int16_t>(4410, 0));
        EXPECT_EQ(std::vector<int16_t>(values + 4410, values + bytes / 2), c.frames);
        SoundRingUnlock(ring, part1, size1, part2, size2);
    }

    // Played with the car sound stopped: from its own buffer, once.
    SoundDeviceClearCapture();
    PlayInterfaceSound(SoundMessage);
    SoundDeviceAdvance(2205 + 5);
    const std::vector<int16_t> &out = SoundDeviceCapture();
    EXPECT_EQ(out[2 * 2204], 0);
    EXPECT_EQ(out[2 * 2205], 500);
    EXPECT_EQ(out[2 * 2207 + 1], 1500);
    EXPECT_EQ(out[2 * 2208], 0);
    EXPECT_EQ(SoundRingPlaying(InterfaceSoundRing(SoundMessage)), 0);
}

TEST_F(InterfaceSoundTest, CopyRoundsAndKeepsTheLowBits)
{
    SoundSample sample = {0, 3, new int16_t[3]{3, -3, 32767}};
    int16_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(CopySampleScaled(out, 4, sample, 0.5f), 1);   // ends in the third frame
    EXPECT_EQ(std::vector<int16_t>(out, out + 8), (std::vector<int16_t>{2, 2, -2, -2, 16384, 16384, 9, 9}));
    EXPECT_EQ(CopySampleScaled(out, 2, sample, 1.0f), 0);
    EXPECT_EQ(CopySampleScaled(out, 0, sample, 1.0f), 0);
    // A gain above one wraps instead of clamping.
    EXPECT_EQ(CopySampleScaled(out, 3, sample, 2.0f), 1);
    EXPECT_EQ(out[4], -2);
    sample.Free();
}

TEST_F(InterfaceSoundTest, VoicesQueueOnlyWhileTheCarSoundRuns)
{
    SetSample(SoundClick, {1, 2, 3, 4, 5}, true);   // odd stereo count
    SetSample(SoundMessage, {7, 7}, false);
    InitDirectSound();
    QueueInterfaceVoice(SoundClick);
    EXPECT_EQ(InterfaceVoices.count, 0);   // the car sound is not running
    CarSoundBufferStatus.running = 1;
    for (int i = 0; i < 9; i++) {
        QueueInterfaceVoice(SoundClick);
    }
    EXPECT_EQ(InterfaceVoices.count, 8);   // the ninth is dropped
    EXPECT_EQ(SoundSamples[SoundClick].count, 4u);
    const SampleVoice &voice = InterfaceVoices.voices[7];
    EXPECT_EQ(voice.sample, &SoundSamples[SoundClick]);
    EXPECT_EQ(voice.position, 0);
    EXPECT_FLOAT_EQ(voice.leftGain, 0.667f);
    EXPECT_FLOAT_EQ(voice.rightGain, 0.667f);

    // Stopping the car sound drops them all.
    StopCarSoundBuffer();
    EXPECT_EQ(InterfaceVoices.count, 0);
}

TEST_F(InterfaceSoundTest, PlayRespectsTheSessionAndTheMessageSetting)
{
    for (int n = 0; n < 5; n++) {
        SetSample(n, {100, 100}, false);
    }
    SetSample(SoundWinRace, {100, 100}, true);
    InitDirectSound();
    SetSoundSessionLink(FixedSession());
    CarSoundBufferStatus.running = 1;
    struct Row {
        int n, mode, fastForward, messageSetting;
        bool plays;
    } rows[] = {
        {SoundClick, 0, 0, 0, true},
        {SoundWinRace, 0, 0, 0, false},   // race-end jingles are queued, never played
        {-1, 0, 0, 0, false},
        {SoundClick, 2, 0, 0, false},
        {SoundClick, 1, 0, 0, true},
        {SoundClick, 0, 1, 0, false},
        {SoundSystemMessage, 0, 0, 2, false},
        {SoundSystemMessage, 0, 0, 1, true},
        {SoundMessage, 0, 0, 2, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.n << " mode " << row.mode << " ff " << row.fastForward << " setting "
                                        << row.messageSetting);
        FixedMode = row.mode;
        FixedFastForward = row.fastForward;
        FixedMessageSetting = row.messageSetting;
        // While the car sound runs: a queued voice.
        CarSoundBufferStatus.running = 1;
        InterfaceVoices.count = 0;
        PlayInterfaceSound(row.n);
        EXPECT_EQ(InterfaceVoices.count, row.plays ? 1 : 0);
        // Without it: the sound's own buffer.
        CarSoundBufferStatus.running = 0;
        PlayInterfaceSound(row.n);
        EXPECT_EQ(SoundRingPlaying(InterfaceSoundRing(row.n)), row.plays ? 1 : 0);
        for (int n = 0; n < 5; n++) {
            SoundRingStop(InterfaceSoundRing(n));
        }
    }
    FixedMode = FixedFastForward = FixedMessageSetting = 0;
    // The race end's jingle goes through the queue.
    CarSoundBufferStatus.running = 1;
    InterfaceVoices.count = 0;
    QueueInterfaceVoice(SoundWinRace);
    EXPECT_EQ(InterfaceVoices.count, 1);
    CarSoundBufferStatus.running = 0;
    InterfaceVoices.count = 0;
    EXPECT_TRUE(SoundLines().empty());
}

TEST_F(InterfaceSoundTest, EveryVoiceIsMixedOnceInItsBlock)
{
    SetSample(7, std::vector<int16_t>(100, 1), false);
    SetSample(8, std::vector<int16_t>(1000, 10), false);
    SetSample(9, std::vector<int16_t>(2000, 100), true);
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    InterfaceVoices.count = 3;
    for (int i = 0; i < 3; i++) {
        InterfaceVoices.voices[i] = {};
        InterfaceVoices.voices[i].sample = &SoundSamples[7 + i];
        InterfaceVoices.voices[i].leftGain = 1.0f;
        InterfaceVoices.voices[i].rightGain = 2.0f;
    }
    MixInterfaceVoices();
    EXPECT_EQ(CarSoundMixBuffers[0][0], 111.0f);
    EXPECT_EQ(CarSoundMixBuffers[0][1], 222.0f);
    EXPECT_EQ(CarSoundMixBuffers[0][2 * 99], 111.0f);
    EXPECT_EQ(CarSoundMixBuffers[0][2 * 100], 110.0f);   // the first voice ended
    EXPECT_EQ(CarSoundMixBuffers[0][2 * 440 + 1], 220.0f);
    ASSERT_EQ(InterfaceVoices.count, 2);
    // The last voice took the ended one's slot; both moved one block on.
    EXPECT_EQ(InterfaceVoices.voices[0].sample, &SoundSamples[9]);
    EXPECT_EQ(InterfaceVoices.voices[0].position, 882);
    EXPECT_EQ(InterfaceVoices.voices[1].position, 441);

    // Through the mixer: the voices reach the block before the output stage.
    CarSoundGain = 1.0f;
    int16_t out[CarSoundMixFrames * 2];
    MixCarSounds(out);
    EXPECT_NE(out[0], 0);
    EXPECT_EQ(InterfaceVoices.voices[1].position, 882);
    InterfaceVoices.count = 0;
}

}  // namespace
