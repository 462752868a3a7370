#include "audio/sound_output.h"

#include <gtest/gtest.h>

#include <limits>

#include "audio/music_player.h"
#include "sound_fixture.h"
#include "world/light_scheme.h"
#include "world/world.h"

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

using SoundOutputDevice = ManualSoundTest;

// Interface sounds 0..4 with a few values each, so that every buffer exists.
void LoadInterfaceSamples()
{
    for (int n = 0; n < InterfaceSoundCount; n++) {
        SoundSample &sample = SoundSamples[n];
        sample.Free();
        sample.values = new int16_t[4]{100, 200, 300, 400};
        sample.count = 4;
        sample.stereo = 1;
    }
}

bool AllBuffersMade()
{
    for (int n = 0; n < InterfaceSoundCount; n++) {
        if (InterfaceSoundRing(n) == nullptr) {
            return false;
        }
    }
    return MusicRing() != nullptr && CarSoundRing() != nullptr;
}

TEST_F(SoundOutputDevice, TheGameSpeedChoosesTheCarSoundRate)
{
    const struct {
        float speed;
        int rate;
    } rows[] = {{0.2f, 0}, {2.0f, 0}, {0.25f, 11025}, {0.5f, 22050}, {1.0f, 44100}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.speed);
        GameSpeed = row.speed;
        InitDirectSound();
        ASSERT_EQ(SoundState, 1);
        EXPECT_EQ(SoundRingRate(CarSoundRing()), row.rate);
        EXPECT_EQ(CarSoundBufferStatus.speed, row.speed);
        StopDirectSound();
    }
    EXPECT_TRUE(SoundLines().empty());
}

// Every step of the table: its failure, the line it prints and whether sound
// stays on. A report once sound is off prints nothing more.
TEST_F(SoundOutputDevice, EveryFailedStepIsReportedOnce)
{
    enum Phase { Init, FeedStart, FeedRun, PlayInterface, PlayLoop };
    const struct {
        SoundDeviceCall call;
        int skip;
        Phase phase;
        const char *line;   // nullptr: nothing printed
        int state;
    } rows[] = {
        {SoundDeviceCall::Start, 0, Init, nullptr, 0},   // "DirectSoundCreate8:I", silent
        {SoundDeviceCall::SetCooperativeLevel, 0, Init, "No sound (SetCooperativeLevel:I -9)", 0},
        {SoundDeviceCall::CreateRing, 0, Init, "No sound (CreateSoundBuffer:M -9)", 0},
        {SoundDeviceCall::QueryInterface, 0, Init, "No sound (QueryInterface:M -9)", 0},
        {SoundDeviceCall::CreateRing, 1, Init, "No sound (CreateSoundBuffer:C -9)", 0},
        {SoundDeviceCall::QueryInterface, 1, Init, "No sound (QueryInterface:C -9)", 0},
        {SoundDeviceCall::CreateRing, 2, Init, "Sound error (CreateSoundBuffer:S -9)", 1},
        {SoundDeviceCall::QueryInterface, 2, Init, "No sound (QueryInterface:S -9)", 0},
        {SoundDeviceCall::Lock, 0, Init, "No sound (Lock:S -9)", 0},
        {SoundDeviceCall::Unlock, 0, Init, "No sound (Unlock:S -9)", 0},
        {SoundDeviceCall::Lock, 0, FeedStart, "No sound (Lock:Z -9)", 0},
        {SoundDeviceCall::Unlock, 0, FeedStart, "No sound (Unlock:Z -9)", 0},
        {SoundDeviceCall::SetPosition, 0, FeedStart, "No sound (SetCurrentPosition:Z -9)", 0},
        {SoundDeviceCall::Play, 0, FeedStart, "No sound (Play:Z -9)", 0},
        {SoundDeviceCall::WriteCursor, 0, FeedRun, "No sound (GetCurrentPosition:P -9)", 0},
        {SoundDeviceCall::Lock, 1, FeedRun, "No sound (Lock:P -9)", 0},
        {SoundDeviceCall::Play, 0, PlayInterface, "Sound error (Play:B -9)", 1},
        {SoundDeviceCall::Play, 0, PlayLoop, "No sound (Play:S -9)", 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line != nullptr ? row.line : "DirectSoundCreate8:I");
        SoundLines().clear();
        LoadInterfaceSamples();
        CarSoundMixerEnabled = 1;
        SoundListenerValid = 1;
        if (row.phase == Init) {
            SoundDeviceFailCall(row.call, row.skip, -9);
            InitDirectSound();
        } else {
            InitDirectSound();
            ASSERT_TRUE(AllBuffersMade());
            SoundDeviceFailCall(row.call, row.skip, -9);
            if (row.phase == FeedStart || row.phase == FeedRun) {
                FeedCarSoundBuffer(1);
                if (row.phase == FeedRun) {
                    ASSERT_EQ(CarSoundBufferStatus.running, 1u);
                    FeedCarSoundBuffer(1);
                }
            } else if (row.phase == PlayInterface) {
                PlayInterfaceSound(SoundClick);
            } else {
                PlayLoopSound();
            }
        }
        const std::vector<std::string> expected =
            row.line != nullptr ? std::vector<std::string>{row.line} : std::vector<std::string>{};
        EXPECT_EQ(SoundLines(), expected);
        EXPECT_EQ(SoundState, row.state);
        if (row.state == 0) {
            EXPECT_EQ(MusicRing(), nullptr);
            EXPECT_EQ(CarSoundRing(), nullptr);
            EXPECT_EQ(InterfaceSoundRing(0), nullptr);
            ReportSoundFailure("Lock:P", -1);
            ReportSoundError("Play:B", -1);
            EXPECT_EQ(SoundLines().size(), expected.size());
        }
        StopDirectSound();
        SoundDeviceClearFailures();
    }
}

TEST_F(SoundOutputDevice, StopAndStartMakesEveryBufferAgain)
{
    LoadInterfaceSamples();
    InitDirectSound();
    ASSERT_TRUE(AllBuffersMade());
    PlayLoopSound();
    EXPECT_EQ(MusicBufferRunning, 1);
    CarSoundMixerEnabled = 1;
    SoundListenerValid = 1;
    FeedCarSoundBuffer(1);
    EXPECT_EQ(CarSoundBufferStatus.running, 1u);
    SoundState = 2;   // a music file plays

    StopDirectSound();
    EXPECT_EQ(SoundState, 0);
    EXPECT_EQ(MusicBufferRunning, 0);
    EXPECT_EQ(CarSoundBufferStatus.running, 0u);
    EXPECT_EQ(MusicRing(), nullptr);
    InitDirectSound();
    EXPECT_EQ(SoundState, 1);
    EXPECT_TRUE(AllBuffersMade());
    EXPECT_EQ(MusicBufferRunning, 0);
    EXPECT_EQ(CarSoundBufferStatus.running, 0u);

    // The key's restart does both.
    RestartSound();
    EXPECT_EQ(SoundState, 1);
    EXPECT_TRUE(AllBuffersMade());
    EXPECT_TRUE(SoundLines().empty());
}

TEST_F(SoundOutputDevice, StopMusicStopsAndRewindsTheMusicBuffer)
{
    InitDirectSound();
    PlayLoopSound();
    SoundState = 2;
    SoundDeviceAdvance(1000);
    StopMusic(0);   // the file half only: the buffer plays on
    EXPECT_EQ(SoundRingPlaying(MusicRing()), 1);
    StopMusic(1);
    EXPECT_EQ(SoundRingPlaying(MusicRing()), 0);
    EXPECT_EQ(MusicBufferRunning, 0);
    EXPECT_EQ(SoundState, 1);
    uint32_t cursor = 1;
    ASSERT_EQ(SoundRingPlayCursor(MusicRing(), &cursor), 0);
    EXPECT_EQ(cursor, 0u);
}

TEST_F(SoundOutputDevice, TheLoopSoundPausesOnlyARunningMusicBuffer)
{
    EXPECT_EQ(StopLoopSound(), 0);   // sound off
    InitDirectSound();
    EXPECT_EQ(StopLoopSound(), 0);   // not playing
    PlayLoopSound();
    EXPECT_EQ(MusicBufferRunning, 1);
    EXPECT_EQ(SoundRingPlaying(MusicRing()), 1);
    EXPECT_EQ(StopLoopSound(), 1);
    EXPECT_EQ(MusicBufferRunning, 0);
    EXPECT_EQ(SoundRingPlaying(MusicRing()), 0);
    EXPECT_EQ(StopLoopSound(), 0);

    // A light change reaches both through the world's hooks.
    RegisterLoopSoundHooks();
    World *world = WorldCreate();
    world->lightSchemeCount = 2;
    PlayLoopSound();
    SelectLightScheme(world, 1);
    EXPECT_EQ(world->lightSchemeIndex, 1);
    EXPECT_EQ(MusicBufferRunning, 1);   // stopped and played again
    EXPECT_EQ(SoundRingPlaying(MusicRing()), 1);
    StopLoopSound();
    SelectLightScheme(world, 0);
    EXPECT_EQ(MusicBufferRunning, 0);   // not restarted: it had not played
    EXPECT_EQ(SoundRingPlaying(MusicRing()), 0);
    world->lightSchemeCount = 0;
    WorldDestroy(world);
    SetLoopSoundHooks({nullptr, nullptr});
    EXPECT_TRUE(SoundLines().empty());
}

}  // namespace
