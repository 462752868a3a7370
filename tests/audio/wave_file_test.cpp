#include "audio/wave_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/engine_file.h"
#include "sound_fixture.h"
#include "test_files.h"

namespace {

// A wave file made byte by byte; every field can be spoiled.
struct WavFixture {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    int blockAlign = -1;       // -1: channels x 2
    uint32_t formatSize = 16;
    int riffSizeError = 0;
    std::vector<uint8_t> before;   // whole chunks before "data"
    std::vector<int16_t> data;
    int extraDataBytes = 0;        // bytes of a partial frame after the values

    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> b;
        auto id = [&b](const char *s) {
            for (int i = 0; i < 4; i++) {
                b.push_back(static_cast<uint8_t>(s[i]));
            }
        };
        auto u32 = [&b](uint32_t v) {
            for (int i = 0; i < 4; i++) {
                b.push_back(static_cast<uint8_t>(v >> (8 * i)));
            }
        };
        auto u16 = [&b](uint16_t v) {
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
        };
        id("RIFF");
        u32(0);
        id("WAVE");
        id("fmt ");
        u32(formatSize);
        u16(tag);
        u16(channels);
        u32(rate);
        u32(rate * channels * 2);
        u16(static_cast<uint16_t>(blockAlign < 0 ? channels * 2 : blockAlign));
        u16(bits);
        for (uint32_t i = 16; i < formatSize; i++) {
            b.push_back(0);
        }
        b.insert(b.end(), before.begin(), before.end());
        id("data");
        u32(static_cast<uint32_t>(data.size() * 2 + extraDataBytes));
        for (int16_t v : data) {
            u16(static_cast<uint16_t>(v));
        }
        for (int i = 0; i < extraDataBytes; i++) {
            b.push_back(0x7f);
        }
        const uint32_t riff = static_cast<uint32_t>(b.size() - 8 + riffSizeError);
        std::memcpy(b.data() + 4, &riff, 4);
        return b;
    }
};

// A fixture of the values with some fields changed.
template <typename Edit>
WavFixture Wav(std::vector<int16_t> data, Edit edit)
{
    WavFixture wav;
    wav.data = std::move(data);
    edit(wav);
    return wav;
}

WavFixture Wav(std::vector<int16_t> data)
{
    return Wav(std::move(data), [](WavFixture &) {});
}

struct WavRead {
    int ok = 0;
    std::vector<int16_t> values;
    int stereo = 0;
};

WavRead Read(const std::string &path, int mixDown, int loop, uint32_t maximum = 1u << 20)
{
    int16_t *values = reinterpret_cast<int16_t *>(1);
    uint32_t count = 7;
    WavRead result;
    result.stereo = 7;
    result.ok = ReadWavFile(nullptr, path.c_str(), mixDown, maximum, loop, &values, &count, &result.stereo);
    if (values != nullptr) {
        result.values.assign(values, values + count);
        delete[] values;
    } else {
        EXPECT_EQ(count, 0u);
    }
    return result;
}

std::vector<int16_t> Ramp(int n, int step)
{
    std::vector<int16_t> v;
    for (int i = 0; i < n; i++) {
        v.push_back(static_cast<int16_t>(i * step - 1000));
    }
    return v;
}

using WaveFileTest = ManualSoundTest;

TEST_F(WaveFileTest, EveryRefusalShowsItsTextWithThePath)
{
    const std::vector<int16_t> some = {1, 2, 3, 4};
    const struct {
        const char *name;
        WavFixture wav;
        const char *text;
    } rows[] = {
        {"riff_off", Wav(some, [](WavFixture &w) { w.riffSizeError = 1; }), "File is corrupted :"},
        {"riff_under", Wav(some, [](WavFixture &w) { w.riffSizeError = -1; }), "File is corrupted :"},
        {"float", Wav(some, [](WavFixture &w) { w.tag = 3; }), "Wave does not appear to be PCM :"},
        {"short_fmt", Wav(some, [](WavFixture &w) { w.formatSize = 14; }), "Wave does not appear to be PCM :"},
        {"three", Wav(some, [](WavFixture &w) { w.channels = 3; }), "Wave is neither mono nor stereo :"},
        {"rate48", Wav(some, [](WavFixture &w) { w.rate = 48000; }), "Sample rate is not supported :"},
        {"bits24", Wav(some, [](WavFixture &w) { w.bits = 24; }), "Wave is not 16-bit :"},
        {"align", Wav(some, [](WavFixture &w) { w.blockAlign = 4; }), "File is corrupted :"},
        {"long", Wav(std::vector<int16_t>(11, 5)), "Wave is too long :"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = std::string(row.name) + ".wav";
        WriteFileBytes(path, row.wav.Bytes());
        SoundLines().clear();
        const WavRead read = Read(path, 0, 0, 10);
        EXPECT_EQ(read.ok, 0);
        EXPECT_TRUE(read.values.empty());
        EXPECT_EQ(read.stereo, 0);
        EXPECT_EQ(SoundLines(), std::vector<std::string>{std::string(row.text) + " " + path});
    }

    // The header itself.
    std::vector<uint8_t> bytes = Wav(some).Bytes();
    bytes[8] = 'X';
    WriteFileBytes("wavx.wav", bytes);
    WriteFileBytes("short.wav", std::vector<uint8_t>(43, 0));
    bytes = Wav(some).Bytes();
    bytes[36] = 'D';   // "Data" passes: the identifiers ignore case
    bytes[37] = 'A';
    WriteFileBytes("upper.wav", bytes);
    bytes = Wav(some).Bytes();
    bytes.resize(bytes.size() - 2);   // the data chunk runs past the end
    const uint32_t riff = static_cast<uint32_t>(bytes.size() - 8);
    std::memcpy(bytes.data() + 4, &riff, 4);
    WriteFileBytes("cut.wav", bytes);
    const struct {
        const char *path;
        const char *text;
    } more[] = {
        {"missing.wav", "Could not open file :"},
        {"short.wav", "File is too short :"},
        {"wavx.wav", "File failed header check :"},
        {"cut.wav", "Error reading file :"},
    };
    for (const auto &row : more) {
        SCOPED_TRACE(row.path);
        SoundLines().clear();
        EXPECT_EQ(Read(row.path, 0, 0).ok, 0);
        EXPECT_EQ(SoundLines(), std::vector<std::string>{std::string(row.text) + " " + row.path});
    }
    SoundLines().clear();
    EXPECT_EQ(Read("upper.wav", 0, 0).values, some);
    EXPECT_TRUE(SoundLines().empty());
}

TEST_F(WaveFileTest, OtherChunksAreSkippedAndAnEmptyDataChunkFailsSilently)
{
    WavFixture wav = Wav({10, -20, 30}, [](WavFixture &w) { w.formatSize = 18; });
    const char list[] = "LIST\x05\0\0\0abcde\0";   // odd size, one pad byte
    wav.before.assign(list, list + 14);
    WriteFileBytes("list.wav", wav.Bytes());
    EXPECT_EQ(Read("list.wav", 0, 0).values, (std::vector<int16_t>{10, -20, 30}));

    WriteFileBytes("empty.wav", Wav({}).Bytes());
    SoundLines().clear();
    EXPECT_EQ(Read("empty.wav", 0, 0).ok, 0);
    // Half a stereo frame is no frame at all.
    WriteFileBytes("half.wav", Wav({}, [](WavFixture &w) { w.channels = 2; w.extraDataBytes = 2; }).Bytes());
    EXPECT_EQ(Read("half.wav", 0, 0).ok, 0);
    EXPECT_TRUE(SoundLines().empty());
}

TEST_F(WaveFileTest, MixDownAndDoubling)
{
    // 44,100 Hz stereo mixed down: the floored mean of each pair.
    WriteFileBytes("mix.wav", Wav({-3, 0, 5, 6, -32768, -32768, 32767, 32767}, [](WavFixture &w) { w.channels = 2; }).Bytes());
    WavRead read = Read("mix.wav", 1, 0);
    EXPECT_EQ(read.values, (std::vector<int16_t>{-2, 5, -32768, 32767}));
    EXPECT_EQ(read.stereo, 0);
    read = Read("mix.wav", 0, 0);
    EXPECT_EQ(read.values.size(), 8u);
    EXPECT_EQ(read.stereo, 1);

    // 22,050 Hz mono: the midpoints between; with the loop flag the last one
    // is taken with the first value.
    const std::vector<int16_t> mono = Ramp(100, 7);
    WriteFileBytes("mono22.wav", Wav(mono, [](WavFixture &w) { w.rate = 22050; }).Bytes());
    read = Read("mono22.wav", 0, 1);
    ASSERT_EQ(read.values.size(), 200u);
    EXPECT_EQ(read.values[0], mono[0]);
    EXPECT_EQ(read.values[1], (mono[0] + mono[1]) >> 1);
    EXPECT_EQ(read.values[198], mono[99]);
    EXPECT_EQ(read.values[199], (mono[99] + mono[0]) >> 1);
    read = Read("mono22.wav", 0, 0);
    ASSERT_EQ(read.values.size(), 199u);
    EXPECT_EQ(read.values[198], mono[99]);

    // 22,050 Hz stereo of 50 frames: 100 frames, or 99 without the loop flag.
    std::vector<int16_t> stereo;
    for (int i = 0; i < 50; i++) {
        stereo.push_back(static_cast<int16_t>(i * 10));
        stereo.push_back(static_cast<int16_t>(-i * 10 - 1));
    }
    WriteFileBytes("stereo22.wav", Wav(stereo, [](WavFixture &w) { w.channels = 2; w.rate = 22050; }).Bytes());
    read = Read("stereo22.wav", 0, 1);
    ASSERT_EQ(read.values.size(), 200u);
    EXPECT_EQ(read.stereo, 1);
    EXPECT_EQ(read.values[2], 5);        // left midpoint of frames 0 and 1
    EXPECT_EQ(read.values[3], -6);       // right: (-1 - 11) >> 1
    EXPECT_EQ(read.values[198], 245);    // the last frame's midpoint with the first
    EXPECT_EQ(read.values[199], (-491 - 1) >> 1);
    read = Read("stereo22.wav", 0, 0);
    ASSERT_EQ(read.values.size(), 198u);
    EXPECT_EQ(read.values[196], 490);
    EXPECT_EQ(read.values[197], -491);

    // The limit holds for the doubled count: 100 values become 200.
    SoundLines().clear();
    EXPECT_EQ(Read("mono22.wav", 0, 1, 199).ok, 0);
    EXPECT_EQ(SoundLines(), std::vector<std::string>{"Wave is too long : mono22.wav"});
    EXPECT_EQ(Read("mono22.wav", 0, 0, 199).values.size(), 199u);
}

TEST_F(WaveFileTest, WrittenFilesReadBackUnchanged)
{
    const std::vector<int16_t> values = {0, 1, -1, 32767, -32768, 1234, -4321, 7};
    ASSERT_EQ(WriteWavFile(nullptr, "stereo.wav", 4, 2, values.data()), 1);
    const std::vector<uint8_t> bytes = ReadFileBytes("stereo.wav");
    ASSERT_EQ(bytes.size(), 44u + 16u);
    uint8_t header[WavHeaderBytes];
    BuildWavHeader(header, 4, 2);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 44), std::vector<uint8_t>(header, header + 44));
    EXPECT_EQ(bytes[4] | bytes[5] << 8, static_cast<int>(bytes.size()) - 8);
    const WavRead read = Read("stereo.wav", 0, 0);
    EXPECT_EQ(read.values, values);
    EXPECT_EQ(read.stereo, 1);

    SoundLines().clear();
    EXPECT_EQ(WriteWavFile(nullptr, "no_folder/x.wav", 4, 2, values.data()), 0);
    EXPECT_EQ(SoundLines(), std::vector<std::string>{"Could not create file : no_folder/x.wav"});
}

TEST_F(WaveFileTest, EngineWavesSaveRoundedAndLoadAsOneChannel)
{
    EngineWave wave = {};
    wave.channels = 2;
    wave.sampleCount = 5;
    wave.samples = static_cast<float *>(std::malloc(5 * sizeof(float)));
    const float samples[] = {0.4f, -0.6f, 1.5f, 2.5f, -32768.0f};
    std::memcpy(wave.samples, samples, sizeof(samples));
    ASSERT_EQ(wave.SaveWav(nullptr, "engine.wav"), 1);
    EXPECT_EQ(Read("engine.wav", 0, 0).values, (std::vector<int16_t>{0, -1, 2, 2, -32768}));

    // A stereo file loads mixed down; the channel byte stays.
    WriteFileBytes("engine_in.wav", Wav({100, 300, -5, -6}, [](WavFixture &w) { w.channels = 2; }).Bytes());
    ASSERT_EQ(wave.LoadWav(nullptr, "engine_in.wav", 32768, 0), 1);
    ASSERT_EQ(wave.sampleCount, 2u);
    EXPECT_EQ(wave.samples[0], 200.0f);
    EXPECT_EQ(wave.samples[1], -6.0f);
    EXPECT_EQ(wave.channels, 2);

    // Too long for the limit: the old wave stays.
    SoundLines().clear();
    EXPECT_EQ(wave.LoadWav(nullptr, "engine.wav", 4, 0), 0);
    EXPECT_EQ(wave.sampleCount, 2u);
    EXPECT_EQ(SoundLines(), std::vector<std::string>{"Wave is too long : engine.wav"});
    wave.Free(true);
    EXPECT_EQ(wave.SaveWav(nullptr, "none.wav"), 0);
}

}  // namespace
