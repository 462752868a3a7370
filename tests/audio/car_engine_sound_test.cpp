// The car's engine sound: read from engine files into the car's own engine
// through the service the sound layer registers, and from old car data.
#include "audio/car_engine_sound.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/engine_file.h"
#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/player_file.h"
#include "platform/file_system.h"
#include "tests/vehicle/byte_image.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/engine_record.h"

namespace {

void SetWave(EngineWave &wave, std::vector<float> values)
{
    wave.Free(true);
    wave.kind = 3;
    wave.channels = 1;
    wave.sampleCount = static_cast<uint32_t>(values.size());
    wave.samples = static_cast<float *>(std::malloc(values.size() * sizeof(float)));
    std::memcpy(wave.samples, values.data(), values.size() * sizeof(float));
}

std::vector<float> Samples(const EngineWave &wave)
{
    return wave.samples ? std::vector<float>(wave.samples, wave.samples + wave.sampleCount) : std::vector<float>{};
}

// An engine file with its own parameters and three waves.
void WriteTestEngineFile(const char *path, float exhaustTone)
{
    EngineRecord record{};
    record.flags = EngineFlagTurbo;
    record.displacement = 2000.0f;
    record.cylinders = 4;
    record.figures[1] = 700.0f;
    record.soundParams.SetDefaults();
    std::strcpy(record.soundParams.name, "ignored");
    record.soundParams.Word(8) = exhaustTone;
    record.soundParams.Word(30) = 2.5f;
    SetWave(record.waves[WaveExhaustPulse], {1.0f, -2.0f, 300.0f});
    SetWave(record.waves[WaveTurbo], {5.0f});
    SetWave(record.waves[WaveStarter], {7.0f, 8.0f});
    ASSERT_EQ(WriteEngineFile(record, path, nullptr), 1);
    record.FreeWaves(true);
}

class CarEngineSoundTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved = CarServices;
        RegisterCarEngineSound();
        ASSERT_TRUE(PlatformMakeDirectory("data"));
        ASSERT_TRUE(PlatformMakeDirectory("data/engine"));
        code = CarTable[0].code;
    }
    void TearDown() override
    {
        CarServices = saved;
        std::memset(PlayerCarRecords, 0, sizeof(PlayerCarRecords));
    }
    CarObjectServices saved;
    std::string code;
};

TEST_F(CarEngineSoundTest, ACarAndAFileRecordReadTheSameSound)
{
    WriteTestEngineFile("data/engine/mine.eng", 33.0f);
    CarObject car;
    car.soundState.pulseClock = 3.0f;
    car.soundState.banks[1].tail.velocity = 2.0f;
    ASSERT_EQ(ReadCarEngineFile(&car, "data\\engine\\mine.eng", "mine"), 1);
    EXPECT_EQ(car.soundState.pulseClock, 0.0f);   // the exhaust starts from rest
    EXPECT_EQ(car.soundState.banks[1].tail.velocity, 0.0f);
    EngineRecord mechanical{};
    EngineRecord record{};
    ASSERT_EQ(ReadEngineFile(mechanical, "data\\engine\\mine.eng", nullptr, record), 1);

    EXPECT_STREQ(car.engine.soundParams.name, "mine");
    EXPECT_STREQ(record.soundParams.name, "");   // every read zeroes the name
    EXPECT_EQ(std::memcmp(car.engine.soundParams.words, record.soundParams.words, sizeof(record.soundParams.words)),
              0);
    EXPECT_EQ(car.engine.soundParams.Word(8), 33.0f);
    for (int slot = 0; slot < EngineWaveCount; slot++) {
        EXPECT_EQ(Samples(car.engine.waves[slot]), Samples(record.waves[slot])) << slot;
    }
    EXPECT_EQ(Samples(car.engine.waves[WaveExhaustPulse]), (std::vector<float>{1.0f, -2.0f, 300.0f}));
    // The file's mechanical figures stay out of the car.
    EXPECT_NE(car.engine.displacement, 2000.0f);
    record.FreeWaves(true);
    mechanical.FreeWaves(true);

    // A missing file leaves the defaults and no waves.
    EXPECT_EQ(ReadCarEngineFile(&car, "data\\engine\\none.eng", "none"), 0);
    EXPECT_STREQ(car.engine.soundParams.name, "");
    EXPECT_EQ(car.engine.waves[WaveExhaustPulse].samples, nullptr);
    EXPECT_EQ(car.engine.soundParams.Word(8), GetEngineParamRange(8).defaultValue);
    // The car's destructor frees what it read (the leak checker watches).
    ASSERT_EQ(ReadCarEngineFile(&car, "data\\engine\\mine.eng", "mine"), 1);
}

TEST_F(CarEngineSoundTest, TheDefaultIsFoundWhateverTheCaseAndANamedFileFallsBack)
{
    std::string lower = code;
    for (char &c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    WriteTestEngineFile(("data/engine/" + lower + "_default.eng").c_str(), 25.0f);
    WriteTestEngineFile("data/engine/Loud.eng", 45.0f);
    PlayerCarRecord *record = GetCarRecordByCode(code.c_str());
    ASSERT_NE(record, nullptr);

    CarObject car;
    std::memcpy(car.shortName, code.c_str(), 4);
    std::strcpy(record->engineSound, "Loud");
    LoadCarEngineSound(&car);
    EXPECT_STREQ(car.engine.soundParams.name, "Loud");
    EXPECT_EQ(car.engine.soundParams.Word(8), 45.0f);

    std::strcpy(record->engineSound, "Gone");
    LoadCarEngineSound(&car);
    EXPECT_EQ(record->engineSound[0], 0);   // the name is forgotten
    EXPECT_STREQ(car.engine.soundParams.name, "");
    EXPECT_EQ(car.engine.soundParams.Word(8), 25.0f);
    EXPECT_NE(car.engine.waves[WaveExhaustPulse].samples, nullptr);
}

// An engine record of version 7 in car data: the figures, then 7 waves and
// the parameters of that version.
ByteImage CarDataRecord(int version)
{
    ByteImage image = ByteImage::WithHeader("QZTEST", 252);
    image.U32(EngineFlagFiguresMarker | EngineFlagVersionMarker);
    image.U8(version).U8(0).U8(0).U8(0);
    image.F32(1600.0f).U8(4).U8(0).U16(0).F32(3.0f);
    for (int i = 0; i < 4; i++) {   // figures 3, 4, 6 and 7
        image.F32(10.0f + static_cast<float>(i));
    }
    if (version <= 7) {
        for (int w = 0; w < 7; w++) {
            image.U8(0).U8(0).U8(3).U8(1).U32(2).F32(100.0f * w).F32(-1.0f);
        }
        for (int i = 0; i < 25; i++) {   // w8 and on, as version 7 stores them
            image.F32(i == 0 ? 30.0f : 0.5f);
        }
    }
    return image;
}

TEST_F(CarEngineSoundTest, OldCarDataReadsItsSoundSection)
{
    for (int version : {7, 8}) {
        SCOPED_TRACE(version);
        const ByteImage image = CarDataRecord(version);
        DataStream in;
        int fileVersion = 0;
        in.OpenMemory(image.bytes.data(), image.bytes.size(), &fileVersion);
        CarObject car;
        std::strcpy(car.engine.soundParams.name, "old");
        EXPECT_EQ(ReadCarEngineRecord(car.engine, in), nullptr);
        EXPECT_EQ(in.Remaining(), 0);
        EXPECT_EQ(car.engine.maxSpeed, 10.0f);
        if (version == 7) {
            EXPECT_STREQ(car.engine.soundParams.name, "");
            EXPECT_EQ(car.engine.soundParams.Word(8), 30.0f);
            EXPECT_EQ(Samples(car.engine.waves[6]), (std::vector<float>{600.0f, -1.0f}));
            EXPECT_EQ(car.engine.waves[7].samples, nullptr);
        } else {
            EXPECT_STREQ(car.engine.soundParams.name, "old");   // no sound section
        }
    }
    // Without the sound layer the old record is refused as before.
    CarServices.readEngineSound = nullptr;
    const ByteImage image = CarDataRecord(7);
    DataStream in;
    int fileVersion = 0;
    in.OpenMemory(image.bytes.data(), image.bytes.size(), &fileVersion);
    CarObject car;
    EXPECT_STREQ(ReadCarEngineRecord(car.engine, in), EngineSoundInCarDataError);
}

}  // namespace
