#include "audio/engine_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "test_files.h"

namespace {

std::vector<std::string> Printed;

void CapturePrint(const char *text)
{
    Printed.push_back(text);
}

// A record with its waves freed at the end of the test.
struct TestEngine {
    EngineRecord record{};
    TestEngine() { record.soundParams.SetDefaults(); }
    ~TestEngine() { record.FreeWaves(true); }
};

void SetWave(EngineWave &wave, const std::vector<float> &values, int channels = 1)
{
    wave.Free(true);
    wave.kind = 3;
    wave.channels = static_cast<uint8_t>(channels);
    wave.sampleCount = static_cast<uint32_t>(values.size());
    wave.samples = static_cast<float *>(std::malloc(values.size() * sizeof(float)));
    std::memcpy(wave.samples, values.data(), values.size() * sizeof(float));
}

std::vector<float> Samples(const EngineWave &wave)
{
    return wave.samples ? std::vector<float>(wave.samples, wave.samples + wave.sampleCount) : std::vector<float>();
}

// A turbo engine with every field set to something other than its default.
void FillEngine(EngineRecord &engine)
{
    engine.flags = EngineFlagTurbo | EngineFlagSecondV8Order;
    engine.displacement = 2495.5f;
    engine.cylinders = 5;
    engine.layout = 0;
    engine.boostReference = 1.35f;
    for (int i = 0; i < 6; ++i) {
        engine.figures[i] = 0.5f + i;
    }
    for (int slot = 0; slot < EngineWaveCount; ++slot) {
        std::vector<float> values(10 + slot * 7);
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = static_cast<float>(slot * 1000) - static_cast<float>(i) * 3.25f;
        }
        SetWave(engine.waves[slot], values, slot == WaveStarter ? 2 : 1);
    }
    for (int k = EngineParamFirst; k <= EngineParamLast; ++k) {
        const EngineParamRange &range = GetEngineParamRange(k);
        engine.soundParams.Word(k) = range.minimum + (range.maximum - range.minimum) * 0.25f;
    }
    std::strcpy(engine.soundParams.name, "custom");
}

// Builds records by hand, for the layouts this program never writes.
struct Bytes {
    std::vector<uint8_t> data;
    void U8(int v) { data.push_back(static_cast<uint8_t>(v)); }
    void U16(int v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(static_cast<int>(v & 0xFFFF)); U16(static_cast<int>(v >> 16)); }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof(bits));
        U32(bits);
    }
    void Header()
    {
        for (const char c : std::string("KZVENG")) {
            U8(c);
        }
        U8(0);
        U8(251);
    }
    // A kind-3 wave of n samples of the value.
    void Wave(uint32_t n, float value)
    {
        U8(0); U8(0); U8(3); U8(1);
        U32(n);
        for (uint32_t i = 0; i < n; ++i) {
            F32(value);
        }
    }
};

class EngineFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Printed.clear();
        SetEngineMessagePrinter(CapturePrint);
    }
    void TearDown() override { SetEngineMessagePrinter(nullptr); }
};

TEST_F(EngineFileTest, RoundTripKeepsEveryField)
{
    TestEngine written;
    FillEngine(written.record);
    ASSERT_EQ(WriteEngineFile(written.record, "round.eng", nullptr), 1);

    TestEngine mechanical;
    TestEngine sound;
    std::strcpy(sound.record.soundParams.name, "old name");
    sound.record.soundParams.semitones[0] = 2;
    ASSERT_EQ(ReadEngineFile(mechanical.record, "round.eng", nullptr, sound.record), 1);

    const EngineRecord &m = mechanical.record;
    EXPECT_EQ(m.flags, written.record.flags | EngineFlagFiguresMarker | EngineFlagVersionMarker);
    EXPECT_EQ(m.displacement, 2495.5f);
    EXPECT_EQ(m.cylinders, 5);
    EXPECT_EQ(m.layout, 0);
    EXPECT_EQ(m.boostReference, 1.35f);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(m.figures[i], written.record.figures[i]) << "figure " << i + 2;
    }
    // The mechanical record gets no sound, the sound record no mechanics.
    EXPECT_EQ(m.waves[WaveExhaustPulse].samples, nullptr);
    EXPECT_EQ(sound.record.displacement, 0.0f);

    for (int slot = 0; slot < EngineWaveCount; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(sound.record.waves[slot].kind, 3);
        EXPECT_EQ(sound.record.waves[slot].channels, written.record.waves[slot].channels);
        EXPECT_EQ(Samples(sound.record.waves[slot]), Samples(written.record.waves[slot]));
    }
    for (int k = EngineParamFirst; k <= EngineParamLast; ++k) {
        EXPECT_EQ(sound.record.soundParams.Word(k), written.record.soundParams.Word(k)) << "w" << k;
    }
    // Reading a sound section clears the name; the semitones are not stored.
    EXPECT_STREQ(sound.record.soundParams.name, "");
    EXPECT_EQ(sound.record.soundParams.semitones[0], 2);
    EXPECT_TRUE(Printed.empty());
}

TEST_F(EngineFileTest, NonTurboEngineDropsTurboAndDumpValveWaves)
{
    TestEngine written;
    FillEngine(written.record);
    written.record.flags = 0;
    ASSERT_EQ(WriteEngineFile(written.record, "na.eng", nullptr), 1);
    EXPECT_EQ(written.record.waves[WaveTurbo].samples, nullptr);
    EXPECT_EQ(written.record.waves[WaveDumpValve].samples, nullptr);
    EXPECT_NE(written.record.waves[WaveGearWhine].samples, nullptr);

    TestEngine read;
    SetWave(read.record.waves[WaveTurbo], {1.0f, 2.0f});
    ASSERT_EQ(ReadEngineFile(read.record, "na.eng", nullptr, read.record), 1);
    EXPECT_EQ(read.record.waves[WaveTurbo].sampleCount, 0u);
    EXPECT_EQ(read.record.waves[WaveTurbo].samples, nullptr);
    EXPECT_EQ(read.record.waves[WaveDumpValve].sampleCount, 0u);
    EXPECT_EQ(Samples(read.record.waves[WaveGearWhine]), Samples(written.record.waves[WaveGearWhine]));
    // Flags of a plain engine still carry both record markers.
    EXPECT_EQ(read.record.flags, EngineFlagFiguresMarker | EngineFlagVersionMarker);
}

TEST_F(EngineFileTest, DamagedFilesAreRefused)
{
    TestEngine written;
    FillEngine(written.record);
    ASSERT_EQ(WriteEngineFile(written.record, "whole.eng", nullptr), 1);
    const std::vector<uint8_t> whole = ReadFileBytes("whole.eng");
    ASSERT_GT(whole.size(), 200u);

    // Every cut of the file, from the bare header to one byte short.
    for (size_t length = 0; length < whole.size(); ++length) {
        WriteFileBytes("cut.eng", std::vector<uint8_t>(whole.begin(), whole.begin() + length));
        TestEngine read;
        EXPECT_EQ(ReadEngineFile(read.record, "cut.eng", nullptr, read.record), 0) << "length " << length;
    }

    Bytes laterRecord;
    laterRecord.Header();
    laterRecord.U32(EngineFlagVersionMarker | EngineFlagFiguresMarker);
    laterRecord.U8(15);
    WriteFileBytes("later.eng", laterRecord.data);

    Bytes hugeWave = laterRecord;
    hugeWave.data.back() = 14;
    hugeWave.U8(0); hugeWave.U8(0); hugeWave.U8(0);
    for (int i = 0; i < 9; ++i) {
        hugeWave.U32(0);  // displacement .. figure 7
    }
    hugeWave.U8(0); hugeWave.U8(0); hugeWave.U8(3); hugeWave.U8(1);
    hugeWave.U32(0xFFFFFFF0u);
    WriteFileBytes("huge.eng", hugeWave.data);

    Bytes unknownKind = laterRecord;
    unknownKind.data.back() = 14;
    unknownKind.U8(0); unknownKind.U8(0); unknownKind.U8(0);
    for (int i = 0; i < 9; ++i) {
        unknownKind.U32(0);  // displacement .. figure 7
    }
    unknownKind.U8(0); unknownKind.U8(0); unknownKind.U8(4); unknownKind.U8(1);
    WriteFileBytes("kind.eng", unknownKind.data);

    std::vector<uint8_t> wrongId = whole;
    wrongId[0] = 'Q';
    WriteFileBytes("wrong_id.eng", wrongId);

    const struct {
        const char *path;
        const char *message;
    } cases[] = {
        {"later.eng", "Could not read engine"},
        {"huge.eng", nullptr},
        {"kind.eng", "Could not read wave"},
        {"wrong_id.eng", nullptr},
        {"missing.eng", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        Printed.clear();
        TestEngine read;
        EXPECT_EQ(ReadEngineFile(read.record, c.path, nullptr, read.record), 0);
        if (c.message) {
            ASSERT_EQ(Printed.size(), 1u);
            EXPECT_EQ(Printed[0], c.message);
        } else {
            EXPECT_TRUE(Printed.empty());
        }
    }
}

TEST_F(EngineFileTest, ParametersAndSamplesAreClampedOnReading)
{
    TestEngine written;
    FillEngine(written.record);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    written.record.soundParams.Word(8) = 500.0f;     // above 50
    written.record.soundParams.Word(10) = -3.0f;     // below 0.15
    written.record.soundParams.Word(30) = nan;
    written.record.soundParams.Word(16) = inf;
    SetWave(written.record.waves[WaveExhaustPulse], {nan, 1e9f, -1e9f, inf, 123.5f});
    ASSERT_EQ(WriteEngineFile(written.record, "wild.eng", nullptr), 1);

    TestEngine read;
    ASSERT_EQ(ReadEngineFile(read.record, "wild.eng", nullptr, read.record), 1);
    const EngineSoundParams &p = read.record.soundParams;
    EXPECT_EQ(p.Word(8), 50.0f);
    EXPECT_EQ(p.Word(10), 0.15f);
    EXPECT_EQ(p.Word(30), 0.5f);
    EXPECT_EQ(p.Word(16), 150000.0f);
    EXPECT_EQ(p.Word(12), written.record.soundParams.Word(12));
    const std::vector<float> expected = {0.0f, 32767.0f, -32768.0f, 0.0f, 123.5f};
    EXPECT_EQ(Samples(read.record.waves[WaveExhaustPulse]), expected);
}

// Records of older layouts: which words each one carries; the rest keep their
// values.
TEST_F(EngineFileTest, OlderRecordLayoutsReadTheirOwnFields)
{
    const struct {
        int version;  // 0: no version byte at all
        int waves;
        std::vector<int> words;
        int skippedBefore16;   // one float in versions below 6
        bool threeSkipped;     // versions 5..7
    } cases[] = {
        {0, 4, {8, 10, 11, 12, 13, 14, 17, 18, 30}, 1, false},
        {7, 7, {8, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 30, 32, 33}, 0, true},
        {10, 8, {}, 0, false},  // w8, w10..w33: filled below
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.version);
        if (c.version == 10) {
            c.words.push_back(8);
            for (int k = 10; k <= 33; ++k) {
                c.words.push_back(k);
            }
        }
        Bytes image;
        image.Header();
        image.U32(c.version == 0 ? 0u : EngineFlagVersionMarker | EngineFlagFiguresMarker);
        if (c.version != 0) {
            image.U8(c.version); image.U8(0); image.U8(0); image.U8(0);
        }
        image.F32(1600.0f);
        image.U8(4); image.U8(1); image.U16(0);
        image.F32(0.8f);
        if (c.version > 12) {
            image.F32(2.0f);
        }
        image.F32(3.0f);
        if (c.version != 0) {
            image.F32(4.0f);   // flag bit 2 set: figures 4 and 6
            image.F32(6.0f);
        }
        image.F32(7.0f);
        if (c.version < 2) {
            image.U32(0xDEADBEEF);  // skipped word
            image.U32(0xDEADBEEF);  // skipped float at the start of the sound part
        }
        for (int i = 0; i < c.waves; ++i) {
            image.Wave(3, 100.0f + i);
        }
        // Every word read gets a value inside its range that no default has,
        // and skipped places hold a poison value.
        auto wordValue = [](int k) {
            const EngineParamRange &r = GetEngineParamRange(k);
            return r.minimum + (r.maximum - r.minimum) * 0.75f;
        };
        const auto has = [&](int k) {
            for (int w : c.words) {
                if (w == k) {
                    return true;
                }
            }
            return false;
        };
        const float poison = 0.3f;  // also a value clamping would keep
        for (int k = 8; k <= 36; ++k) {
            if (k == 16 && c.skippedBefore16) {
                image.F32(poison);
            }
            if (k == 21 && c.threeSkipped) {
                image.F32(poison); image.F32(poison); image.F32(poison);
            }
            if (k == 30 && c.version < 10) {
                image.F32(poison);
            }
            if (has(k)) {
                image.F32(wordValue(k));
            }
        }

        TestEngine engine;
        engine.record.soundParams.Word(9) = 0.123f;
        DataStream stream;
        int version = 0;
        stream.OpenMemory(image.data.data(), image.data.size(), &version);
        ASSERT_EQ(ReadEngineRecord(engine.record, stream, version, engine.record, false), 1);
        EXPECT_EQ(stream.Remaining(), 0);
        EXPECT_FALSE(stream.overrun);
        EXPECT_EQ(engine.record.flags, EngineFlagFiguresMarker | EngineFlagVersionMarker);
        EXPECT_EQ(engine.record.displacement, 1600.0f);
        EXPECT_EQ(engine.record.figures[5], 7.0f);
        for (int slot = 0; slot < EngineWaveCount; ++slot) {
            EXPECT_EQ(engine.record.waves[slot].sampleCount, slot < c.waves ? 3u : 0u) << "slot " << slot;
        }
        for (int k = 8; k <= 36; ++k) {
            const float expected =
                has(k) ? wordValue(k) : (k == 9 ? 0.123f : GetEngineParamRange(k).defaultValue);
            EXPECT_EQ(engine.record.soundParams.Word(k), expected) << "w" << k;
        }
    }
}

TEST_F(EngineFileTest, CarDataRecordHoldsOnlyTheMechanicalPart)
{
    TestEngine written;
    FillEngine(written.record);
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "car.dat", "KZVCAR", 251), nullptr);
    WriteEngineRecord(written.record, out, true);
    out.WriteU32(0x12345678);  // the next field of the car data
    ASSERT_EQ(out.Close(), 0);
    const std::vector<uint8_t> bytes = ReadFileBytes("car.dat");
    ASSERT_EQ(bytes.size(), 8u + 44u + 4u);

    TestEngine read;
    TestEngine sound;
    std::strcpy(sound.record.soundParams.name, "kept");
    DataStream in;
    int version = 0;
    in.OpenMemory(bytes.data(), bytes.size(), &version);
    ASSERT_EQ(ReadEngineRecord(read.record, in, version, sound.record, true), 1);
    EXPECT_EQ(in.ReadU32(), 0x12345678u);
    EXPECT_EQ(read.record.cylinders, 5);
    EXPECT_STREQ(sound.record.soundParams.name, "kept");
}

}  // namespace
