#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/data_stream.h"
#include "music_fixture.h"
#include "race/game_state.h"
#include "sound_analysis.h"

namespace {

class MusicPlayerTest : public MusicTest {
protected:
    void TearDown() override
    {
        GameState = savedGameState;
        MusicTest::TearDown();
    }
    // A short tone file in the music folder.
    static void WriteTune(const char *name, double frequency = 440.0, double seconds = 0.5)
    {
        MusicWriteFile(std::string("music/") + name + ".ogg",
                       MusicEncode(MusicTone(static_cast<int>(seconds * 44100), {frequency, frequency}, 0.4), 2));
    }
    int savedGameState = GameState;
};

// Single-pass decode of a file image (the reference of what must be heard).
std::vector<int16_t> ReferenceDecode(const std::vector<uint8_t> &file)
{
    OggStream stream;
    std::vector<int16_t> out;
    std::vector<int16_t> ring(MusicRingFrames * 2);
    uint32_t position = 0;
    stream.SetVolume(20.0f);
    stream.windowFill = static_cast<uint32_t>(file.size());
    stream.Open(file.data(), &position);
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
    stream.Close();
    return out;
}

// The radio.rad of a test: header, then the raw body.
void WriteRadioImage(int version, const std::vector<uint8_t> &body)
{
    std::vector<uint8_t> bytes = {'Q', 'Z', 'R', 'D', 'I', 'O', static_cast<uint8_t>(version >> 8),
                                  static_cast<uint8_t>(version)};
    bytes.insert(bytes.end(), body.begin(), body.end());
    MusicWriteFile("music/radio.rad", bytes);
}

void PutU32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void PutName(std::vector<uint8_t> &out, const char *name, size_t bytes)
{
    std::vector<uint8_t> field(bytes, 0);
    std::memcpy(field.data(), name, std::min(bytes, std::strlen(name)));
    out.insert(out.end(), field.begin(), field.end());
}

}  // namespace

TEST_F(MusicPlayerTest, AFileLargerThanTheWindowPlaysWhole)
{
    const std::vector<uint8_t> file = MusicEncode(MusicNoise(5 * 44100, 99), 2, 1.0f);
    ASSERT_GT(file.size(), 300u * 1024u);
    MusicWriteFile("music/big.ogg", file);
    const std::vector<int16_t> reference = ReferenceDecode(file);
    StartMusicSound();
    ASSERT_EQ(PlayMusicFile("big"), 1);
    EXPECT_EQ(SoundState, 2);
    uint32_t slides = 0;
    uint32_t lastRead = MusicBytesRead;
    const size_t frames = reference.size() / 2;
    // Past the first lap of silence, through the whole file.
    const int total = static_cast<int>(MusicRingFrames + frames);
    for (int done = 0; done < total; done += 512) {
        SoundDeviceAdvance(512);
        UpdateMusicBuffer();
        RunRadio(1);
        if (MusicBytesRead != lastRead) {
            ++slides;
            lastRead = MusicBytesRead;
        }
        // The decoder never reads bytes the window does not hold.
        ASSERT_LE(MusicReadPointer, MusicStream.windowFill);
    }
    EXPECT_GE(slides, 2u);
    EXPECT_EQ(MusicBytesRead, file.size());
    const std::vector<int16_t> &capture = SoundDeviceCapture();
    ASSERT_GE(capture.size(), 2 * (MusicRingFrames + frames));
    for (size_t i = 0; i < MusicRingFrames * 2; ++i) {
        ASSERT_EQ(capture[i], 0) << "first lap " << i;
    }
    size_t mismatches = 0;
    for (size_t i = 0; i < frames * 2; ++i) {
        if (capture[MusicRingFrames * 2 + i] != reference[i] && mismatches++ < 5) {
            ADD_FAILURE() << "frame " << i / 2 << ": " << capture[MusicRingFrames * 2 + i] << " != " << reference[i];
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(MusicPlayerTest, EachNewPlayStepDecodesUpToIt)
{
    MusicWriteFile("music/tone.ogg", MusicEncode(MusicTone(4 * 44100, {440.0, 660.0}, 0.5), 2));
    StartMusicSound();
    ASSERT_EQ(PlayMusicFile("tone"), 1);
    for (int pass = 0; pass < 200; ++pass) {
        const uint32_t lastStep = MusicLastPlayStep;
        const uint32_t write = MusicRingWrite;
        SoundDeviceAdvance(700);
        UpdateMusicBuffer();
        uint32_t cursor = 0;
        SoundRingPlayCursor(MusicRing(), &cursor);
        const uint32_t step = cursor / 16384 * 4096;
        EXPECT_EQ(MusicLastPlayStep, step);
        if (step == lastStep) {
            EXPECT_EQ(MusicRingWrite, write) << pass;   // nothing decoded while the step stands
        } else {
            // Decoded up to the step and never past it.
            const uint32_t behind = (step - MusicRingWrite) % MusicRingFrames;
            EXPECT_LT(behind, 1024u) << pass;
        }
    }
}

TEST_F(MusicPlayerTest, DecodeAheadLocksOncePerNewPlayStep)
{
    MusicWriteFile("music/tone.ogg", MusicEncode(MusicTone(6 * 44100, {440.0, 660.0}, 0.5), 2));
    StartMusicSound();
    ASSERT_EQ(PlayMusicFile("tone"), 1);
    SoundDeviceClearLocks();
    const auto musicLocks = []() {
        std::vector<SoundLockRecord> locks;
        for (const SoundLockRecord &lock : SoundDeviceLocks()) {
            if (lock.ring == MusicRing()) {
                locks.push_back(lock);
            }
        }
        return locks;
    };
    // Passes shorter and longer than a step, and two with no time at all.
    const int advances[] = {700, 0, 5000, 100, 3000, 9000, 0, 4096, 1, 12000};
    int steps = 0;
    for (int round = 0; round < 20; ++round) {
        for (const int frames : advances) {
            SCOPED_TRACE(testing::Message() << "round " << round << " advance " << frames);
            const uint32_t lastStep = MusicLastPlayStep;
            const uint32_t write = MusicRingWrite;
            const size_t before = musicLocks().size();
            SoundDeviceAdvance(frames);
            UpdateMusicBuffer();
            uint32_t cursor = 0;
            SoundRingPlayCursor(MusicRing(), &cursor);
            const uint32_t step = cursor / 16384 * 4096;
            const std::vector<SoundLockRecord> locks = musicLocks();
            if (step == lastStep) {
                EXPECT_EQ(locks.size(), before);  // no lock while the cursor stays in its step
                continue;
            }
            ++steps;
            ASSERT_EQ(locks.size(), before + 1);
            EXPECT_EQ(locks.back().offset, write * 4);
            EXPECT_EQ(locks.back().bytes, ((step - lastStep) % MusicRingFrames) * 4);
        }
    }
    EXPECT_GT(steps, 50);
}

TEST_F(MusicPlayerTest, HeaderFailuresAreReportedAndTheBufferStops)
{
    std::mt19937 random(5);
    auto randomBytes = [&](size_t n) {
        std::vector<uint8_t> bytes(n);
        for (uint8_t &b : bytes) {
            b = static_cast<uint8_t>(random());
        }
        return bytes;
    };
    const std::vector<uint8_t> good = MusicEncode(MusicTone(44100, {440.0, 660.0}, 0.5), 2);
    // The first page holds the identification header alone.
    const size_t firstPage = 27 + good[26] + [&] {
        size_t body = 0;
        for (int i = 0; i < good[26]; ++i) {
            body += good[27 + i];
        }
        return body;
    }();
    std::vector<uint8_t> hole = good;
    {
        uint8_t *page = hole.data() + firstPage;
        uint32_t sequence;
        std::memcpy(&sequence, page + 18, 4);
        ++sequence;
        std::memcpy(page + 18, &sequence, 4);
        long body = 0;
        for (int i = 0; i < page[26]; ++i) {
            body += page[27 + i];
        }
        SetOggPageChecksum(page, 27 + page[26], body);
    }
    const std::vector<uint8_t> notVorbis =
        EncodeOggPackets({std::vector<uint8_t>(30, 'x'), std::vector<uint8_t>(50, 'y')}, 3);
    const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(firstPage));
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        const char *warning;
    };
    const Case cases[] = {
        {"noise", randomBytes(5000), "OGG: Input does not appear to be an Ogg bitstream"},
        {"short", randomBytes(100), "OGG: Run out of data"},
        {"other", notVorbis, "OGG: This Ogg bitstream does not contain Vorbis audio data"},
        {"hole", hole, "OGG: Corrupt secondary header"},
        {"cut", cut, "OGG: End of file before finding all Vorbis headers"},
    };
    StartMusicSound();
    for (const Case &c : cases) {
        MusicWriteFile(std::string("music/") + c.name + ".ogg", c.bytes);
        MusicLines() = {};
        SoundLines().clear();
        EXPECT_EQ(PlayMusicFile(c.name), 0) << c.name;
        EXPECT_EQ(MusicLines().warnings, std::vector<std::string>{c.warning}) << c.name;
        EXPECT_EQ(MusicStream.ok, 0u);
        ASSERT_EQ(SoundLines().size(), 1u) << c.name;
        EXPECT_NE(SoundLines()[0].find("Error initialising :"), std::string::npos);
        EXPECT_NE(SoundLines()[0].find(std::string("music\\") + c.name + ".ogg"), std::string::npos);
        // Closed, and "M" stopped so that the next file starts it again.
        EXPECT_EQ(MusicFile, nullptr);
        EXPECT_EQ(MusicBufferRunning, 0);
        EXPECT_EQ(SoundState, 1);
    }
    // A good file after a failed one is heard.
    MusicWriteFile("music/good.ogg", good);
    ASSERT_EQ(PlayMusicFile("good"), 1);
    PlayFor(MusicRingFrames + 20000);
    const std::vector<int16_t> &capture = SoundDeviceCapture();
    const size_t from = capture.size() - 2 * 16384;
    const std::vector<double> left = SoundChannel(capture.data() + from, 16384, 2, 0);
    EXPECT_GT(SoundRms(left), 3000.0);
}

TEST_F(MusicPlayerTest, AMissingFileGivesTheLoadErrorLine)
{
    StartMusicSound();
    EXPECT_EQ(PlayMusicFile("nothing"), 0);
    EXPECT_EQ(MusicLines().loadErrors, std::vector<std::string>{"music\\nothing.ogg"});
    EXPECT_EQ(MusicBufferRunning, 0);
    // A name too long for the path is refused, not cut.
    EXPECT_EQ(PlayMusicFile(std::string(200, 'a').c_str()), 0);
    EXPECT_EQ(MusicLines().loadErrors.size(), 2u);
}

TEST_F(MusicPlayerTest, ManyPlayAndStopCyclesKeepNothing)
{
    WriteTune("a");
    StartMusicSound();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(PlayMusicFile("a"), 1);
        PlayFor(1024);
        StopMusic(i % 2);
    }
    EXPECT_EQ(MusicStream.states, nullptr);
}

TEST_F(MusicPlayerTest, TheDrawIsWeightedAndSkipsHistoryAndMissingFiles)
{
    WriteTune("alpha");
    WriteTune("beta");
    WriteTune("delta");
    StartMusicSound();
    for (const uint32_t seed : {0u, 1u, 2u, 17u, 4000u, 65535u}) {
        StopMusic(1);
        ResetRadio();
        RadioChannelCount = 4;
        AddTrack("alpha", {2});
        AddTrack("beta", {1});
        AddTrack("gamma", {3});   // no file
        AddTrack("delta", {1});   // played lately
        RadioHistory[RadioHistoryCount++] = 3;
        FrameRandom = seed;
        RunRadio(0);
        const uint32_t x = (seed * 5 + 1) & 65535;
        const int list[] = {0, 0, 1};
        EXPECT_EQ(FrameRandom, x);
        EXPECT_EQ(RadioCurrentTrack, list[x % 3]) << seed;
        ASSERT_NE(MusicFile, nullptr);
        EXPECT_EQ(SelectedMusicPlaying, 0u);
        EXPECT_EQ(RadioHistoryCount, 2);
        EXPECT_EQ(RadioHistory[1], RadioCurrentTrack);
    }
    // In the menus nothing goes to the HUD.
    EXPECT_TRUE(MusicLines().hud.empty());
}

TEST_F(MusicPlayerTest, AChannelOfZeroWeightsPlaysNothing)
{
    WriteTune("alpha");
    StartMusicSound();
    RadioChannelCount = 4;
    AddTrack("alpha", {0, 1});
    RunRadio(0);
    EXPECT_EQ(MusicChannel, -1);
    EXPECT_EQ(MusicFile, nullptr);
    EXPECT_EQ(MusicBufferRunning, 0);
}

TEST_F(MusicPlayerTest, OneTrackPlaysAgainAfterItEnds)
{
    WriteTune("alpha", 440.0, 0.3);
    StartMusicSound();
    RadioChannelCount = 1;
    AddTrack("alpha", {3});
    UpdateMusic(0);
    ASSERT_NE(MusicFile, nullptr);
    EXPECT_EQ(RadioCurrentTrack, 0);
    // Decode to the end of the stream; the radio opens it again at once.
    int starts = 0;
    uint32_t draws = FrameRandom;   // each draw steps the generator once
    for (int pass = 0; pass < 400 && starts < 2; ++pass) {
        PlayFor(512, true);
        if (FrameRandom != draws) {
            ++starts;
            draws = FrameRandom;
        }
        ASSERT_NE(MusicFile, nullptr) << pass;   // never a step without a file
    }
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(RadioCurrentTrack, 0);
    EXPECT_EQ(RadioHistoryCount, 1);
    EXPECT_EQ(MusicBufferRunning, 1);
}

TEST_F(MusicPlayerTest, AnEndedFileWithNoNextStopsTheBuffer)
{
    WriteTune("alpha", 440.0, 0.3);
    StartMusicSound();
    ASSERT_EQ(PlayMusicFile("alpha"), 1);   // the user's choice: the radio leaves it
    for (int pass = 0; pass < 400 && MusicFile != nullptr; ++pass) {
        PlayFor(512, true);
    }
    EXPECT_EQ(MusicFile, nullptr);
    EXPECT_EQ(MusicBufferRunning, 0);
    EXPECT_EQ(SoundState, 1);
}

TEST_F(MusicPlayerTest, ChangingTheChannelMovesToItsTrack)
{
    WriteTune("alpha");
    WriteTune("beta");
    StartMusicSound();
    RadioChannelCount = 3;
    AddTrack("alpha", {0, 1, 0});
    AddTrack("beta", {0, 0, 2});
    SetMusicContext(1);
    MusicGame = 1;
    GameState = 2;
    SetMusicChannel(1);
    RunRadio(0);
    EXPECT_EQ(RadioCurrentTrack, 0);
    EXPECT_EQ(MusicLines().hud, std::vector<std::string>{"Play : alpha"});
    EXPECT_EQ(MusicLines().hudColours, std::vector<int>{ColourGreen});
    SetMusicChannel(2);
    RunRadio(0);
    EXPECT_EQ(RadioStopRequest, 1u);
    RunRadio(0);
    EXPECT_EQ(RadioCurrentTrack, 1);
    ASSERT_NE(MusicFile, nullptr);
    // A channel past the table is limited to the last one.
    SetMusicChannel(7);
    RunRadio(0);
    EXPECT_EQ(RadioStopRequest, 0u);
    // No channel: the track stops at the next step.
    ClearMusicChannel();
    RunRadio(0);
    EXPECT_EQ(MusicFile, nullptr);
    RunRadio(0);
    EXPECT_EQ(MusicFile, nullptr);
}

TEST_F(MusicPlayerTest, TheSettingsSayWhereMusicPlays)
{
    WriteTune("alpha");
    StartMusicSound();
    RadioChannelCount = 4;
    AddTrack("alpha", {1, 0, 0, 1});
    // Menus with "Music Setup " 0: the track stops at the next step.
    RunRadio(0);
    ASSERT_NE(MusicFile, nullptr);
    MusicSetup = 0;
    RunRadio(0);
    EXPECT_EQ(RadioStopRequest, 1u);
    EXPECT_NE(MusicFile, nullptr);
    MusicSetup = 1;
    RunRadio(0);   // the request stops it; the radio then draws again
    RadioHistoryCount = 0;
    StopMusic(1);
    MusicSetup = 0;
    RunRadio(0);
    EXPECT_EQ(MusicFile, nullptr);
    // In a session "Music Game " 0 is silence, 1 with the race running plays
    // "Music Channel ".
    SetMusicContext(1);
    GameState = 2;
    MusicGame = 0;
    RunRadio(0);
    EXPECT_EQ(MusicFile, nullptr);
    MusicGame = 1;
    MusicChannel = 3;
    RunRadio(0);
    ASSERT_NE(MusicFile, nullptr);
    EXPECT_EQ(RadioCurrentTrack, 0);
    MusicGame = 0;
    RunRadio(0);
    RunRadio(0);
    EXPECT_EQ(MusicFile, nullptr);
    // A replay plays music with "Music Replay ".
    MusicReplay = 1;
    GameState = 3;
    RadioHistoryCount = 0;
    RunRadio(0);
    EXPECT_NE(MusicFile, nullptr);
}

TEST_F(MusicPlayerTest, ATrackThatFailsIsStruckOut)
{
    MusicWriteFile("music/broken.ogg", std::vector<uint8_t>(5000, 7));
    WriteTune("fine");
    StartMusicSound();
    RadioChannelCount = 1;
    AddTrack("broken", {3});
    AddTrack("fine", {1});
    // A seed whose first draw is the broken track (entries 0..2 of 4).
    FrameRandom = 0;
    RunRadio(0);
    EXPECT_EQ(MusicLines().hud, std::vector<std::string>{"Failed : broken"});
    EXPECT_EQ(MusicLines().hudColours, std::vector<int>{ColourSalmon});
    EXPECT_EQ(RadioCurrentTrack, 1);
    ASSERT_NE(MusicFile, nullptr);
    // Only a broken track: no channel is left.
    StopMusic(1);
    ResetRadio();
    RadioChannelCount = 1;
    AddTrack("broken", {2});
    MusicChannel = 0;
    RunRadio(0);
    EXPECT_EQ(MusicChannel, -1);
    EXPECT_EQ(MusicFile, nullptr);
}

TEST_F(MusicPlayerTest, RadioFileRoundTripAndOldNames)
{
    RadioChannelCount = 2;
    std::snprintf(RadioChannels[0].name, sizeof(RadioChannels[0].name), "Setup");
    std::snprintf(RadioChannels[1].name, sizeof(RadioChannels[1].name), "Drive");
    AddTrack("a_name_of_thirty_nine_characters_long_x", {1, 2});
    AddTrack("b", {3, 0, 0, 0, 0, 0, 0, 1});
    ASSERT_EQ(WriteRadioFile(nullptr), 1);
    const RadioTrack saved = RadioTracks[0];
    ResetRadio();
    std::memset(RadioTracks, 0, sizeof(RadioTracks));
    ASSERT_EQ(ReadRadioFile(), 1);
    EXPECT_EQ(RadioChannelCount, 2);
    EXPECT_EQ(RadioTrackCount, 2);
    EXPECT_STREQ(RadioChannels[1].name, "Drive");
    EXPECT_STREQ(RadioTracks[0].name, saved.name);
    EXPECT_EQ(RadioTracks[1].weights[7], 1);
    EXPECT_EQ(RadioTracks[1].weights[0], 3);
    EXPECT_EQ(std::filesystem::file_size("music/radio.rad"), 8u + 4 + 2 * 32 + 4 + 2 * 48);

    // Version 231: 24-byte names.
    std::vector<uint8_t> body;
    PutU32(body, 1);
    PutName(body, "Setup", 32);
    PutU32(body, 2);
    PutName(body, "old_one", 24);
    body.insert(body.end(), {2, 0, 0, 0, 0, 0, 0, 0});
    PutName(body, "old_two", 24);
    body.insert(body.end(), {0, 1, 0, 0, 0, 0, 0, 3});
    WriteRadioImage(231, body);
    ASSERT_EQ(ReadRadioFile(), 1);
    EXPECT_EQ(RadioTrackCount, 2);
    EXPECT_STREQ(RadioTracks[1].name, "old_two");
    EXPECT_EQ(RadioTracks[1].weights[7], 3);
    EXPECT_EQ(RadioTracks[0].weights[0], 2);

    // A 40-byte name with no terminator reads as 39 characters.
    body.clear();
    PutU32(body, 1);
    PutName(body, "Setup", 32);
    PutU32(body, 1);
    body.insert(body.end(), 40, 'n');
    body.insert(body.end(), 8, 1);
    WriteRadioImage(246, body);
    ASSERT_EQ(ReadRadioFile(), 1);
    EXPECT_EQ(std::strlen(RadioTracks[0].name), 39u);
}

TEST_F(MusicPlayerTest, RadioFilesTooLargeAreRefused)
{
    RadioChannelCount = 1;
    AddTrack("kept", {1});
    struct Case {
        uint32_t channels;
        uint32_t tracks;
        bool truncate;
    };
    for (const Case c : {Case{9, 1, false}, Case{1, 65, false}, Case{1, 2, true}}) {
        std::vector<uint8_t> body;
        PutU32(body, c.channels);
        for (uint32_t i = 0; i < c.channels; ++i) {
            PutName(body, "ch", 32);
        }
        PutU32(body, c.tracks);
        const uint32_t written = c.truncate ? 1 : c.tracks;
        for (uint32_t i = 0; i < written; ++i) {
            PutName(body, "t", 40);
            body.insert(body.end(), 8, 1);
        }
        WriteRadioImage(246, body);
        MusicLines() = {};
        EXPECT_EQ(ReadRadioFile(), 0);
        EXPECT_EQ(MusicLines().loadErrors.size(), 1u);
        EXPECT_EQ(RadioChannelCount, 1);
        EXPECT_EQ(RadioTrackCount, 1);
        EXPECT_STREQ(RadioTracks[0].name, "kept");
    }
}
