#include "vehicle/car_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

#include "byte_image.h"
#include "core/data_stream.h"
#include "vehicle/engine_record.h"

namespace {

CarEngine NewEngine() {
    CarEngine engine;
    engine.Clear();
    engine.SetDefaults();
    return engine;
}

TEST(CarEngineTest, NewEngineHasItsDefaults) {
    CarEngine engine;
    std::memset(&engine, 0xA5, sizeof(engine));  // Clear must not depend on earlier contents
    engine.Clear();
    engine.SetDefaults();
    EXPECT_EQ(engine.flags, 0u);
    EXPECT_EQ(engine.waveMask, 0xFFFFFFFFu);
    EXPECT_EQ(engine.displacement, 2800.0f);
    EXPECT_EQ(engine.cylinders, 4);
    EXPECT_EQ(engine.layout, 0);
    EXPECT_EQ(engine.maxBoost, 1.0f);
    EXPECT_EQ(engine.torqueFactor, 1.0f);
    EXPECT_EQ(engine.widthFactor, 1.0f);
    EXPECT_EQ(engine.peakSpeedFactor, 1.0f);
    EXPECT_EQ(engine.inertiaFactor, 1.0f);
    EXPECT_EQ(engine.totalRatio, 1.0f);
    EXPECT_EQ(engine.torqueLimit, 0.0f);
    EXPECT_EQ(engine.turboLagFactor, 0.0f);  // 0: the vehicle class default applies
    EXPECT_EQ(engine.maxSpeed, 0.0f);
    EXPECT_EQ(engine.throttle, 0.05f);
    EXPECT_EQ(engine.condition, 1.0f);
    EXPECT_EQ(engine.clutchHeat, 0.0f);
    EXPECT_EQ(engine.running, 0u);
    for (uint8_t cylinder : engine.firingOrder)
        EXPECT_EQ(cylinder, 0);
}

TEST(CarEngineTest, ResetStateStopsTheEngineAndResetWearRepairsIt) {
    CarEngine engine = NewEngine();
    engine.maxSpeed = 800.0f;
    engine.speed = 600.0f;
    engine.smoothedSpeed = 590.0f;
    engine.crankAngle = 3.0f;
    engine.gearboxAngle = 2.5f;
    engine.running = 1;
    engine.firingIndex = 7;
    engine.turboSpeed = 9000.0f;
    engine.manifold = 0.4f;
    engine.smoothedManifold = 0.3f;
    engine.boost = 0.6f;
    engine.clutchPedal = 1.0f;
    engine.clutchSlipping = 1;
    engine.clutchTorque = 120.0f;
    engine.throttle = 1.0f;
    engine.condition = 0.4f;
    engine.clutchHeat = 0.7f;

    engine.ResetState();
    EXPECT_EQ(engine.throttle, 0.05f);
    for (float value : {engine.speed, engine.smoothedSpeed, engine.crankAngle, engine.gearboxAngle,
                        engine.turboSpeed, engine.manifold, engine.smoothedManifold, engine.boost,
                        engine.clutchPedal, engine.clutchTorque})
        EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(engine.running, 0u);
    EXPECT_EQ(engine.firingIndex, 0u);
    EXPECT_EQ(engine.clutchSlipping, 0u);
    // The car reset keeps the wear and what the car data gave.
    EXPECT_EQ(engine.condition, 0.4f);
    EXPECT_EQ(engine.clutchHeat, 0.7f);
    EXPECT_EQ(engine.maxSpeed, 800.0f);

    engine.ResetWear();
    EXPECT_EQ(engine.condition, 1.0f);
    EXPECT_EQ(engine.clutchHeat, 0.0f);
}

// The car-data engine record with every mapped value distinct.
CarEngine FiguredEngine() {
    CarEngine engine = NewEngine();
    engine.flags = EngineFlagTurbo | EngineFlagSecondV8Order;
    engine.displacement = 1998.0f;
    engine.cylinders = 8;
    engine.layout = 2;
    engine.maxBoost = 1.25f;
    engine.turboLagFactor = 2.0f;
    engine.maxSpeed = 733.0f;
    engine.peakSpeedFactor = 1.1f;
    engine.widthFactor = 0.9f;
    engine.torqueFactor = 1.05f;
    engine.torqueLimit = 350.0f;
    return engine;
}

float FloatAt(const std::vector<uint8_t> &bytes, size_t offset) {
    float value;
    std::memcpy(&value, &bytes[offset], 4);
    return value;
}

TEST(EngineRecordTest, CarDataRecordRoundTripsIn44BytesWithTheFiguresInPlace) {
    const CarEngine written = FiguredEngine();
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "engine.bin", "QZTEST", 252), nullptr);
    WriteCarEngineRecord(written, out);
    ASSERT_EQ(out.Close(), 0);

    const std::vector<uint8_t> bytes = ReadFileBytes("engine.bin");
    ASSERT_EQ(bytes.size(), 8u + EngineFiguresSize);
    const size_t r = 8;
    EXPECT_EQ(bytes[r + 0], 0x0F);  // turbo, second V8 order and both markers
    EXPECT_EQ(bytes[r + 4], EngineRecordVersion);
    EXPECT_EQ(bytes[r + 12], 8);
    EXPECT_EQ(bytes[r + 13], 2);
    // Boost reference, then figures 2..7.
    const float expected[7] = {1.25f, 2.0f, 733.0f, 1.1f, 0.9f, 1.05f, 350.0f};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(FloatAt(bytes, r + 16 + 4 * i), expected[i]) << "float " << i;

    DataStream in;
    int version = 0;
    in.OpenMemory(bytes.data(), bytes.size(), &version);
    CarEngine read = NewEngine();
    EXPECT_EQ(ReadCarEngineRecord(read, in), nullptr);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_FALSE(in.overrun);
    EXPECT_EQ(read.flags, 0x0Fu);
    EXPECT_EQ(read.displacement, written.displacement);
    EXPECT_EQ(read.cylinders, written.cylinders);
    EXPECT_EQ(read.layout, written.layout);
    EXPECT_EQ(read.maxBoost, written.maxBoost);
    EXPECT_EQ(read.turboLagFactor, written.turboLagFactor);
    EXPECT_EQ(read.maxSpeed, written.maxSpeed);
    EXPECT_EQ(read.peakSpeedFactor, written.peakSpeedFactor);
    EXPECT_EQ(read.widthFactor, written.widthFactor);
    EXPECT_EQ(read.torqueFactor, written.torqueFactor);
    EXPECT_EQ(read.torqueLimit, written.torqueLimit);
}

// A car data header and a record of the given version: the floats that version
// holds are 3.0 (boost reference), then 10, 11, 12, ... in file order.
ByteImage RecordOfVersion(int version, uint32_t markers = EngineFlagFiguresMarker | EngineFlagVersionMarker) {
    ByteImage image = ByteImage::WithHeader("QZTEST", 252);
    image.U32(markers);
    if (markers & EngineFlagVersionMarker)
        image.U8(version).U8(0).U8(0).U8(0);
    image.F32(1600.0f).U8(4).U8(0).U16(0).F32(3.0f);
    int figures = 2;  // figures 3 and 7
    if (version > 12)
        figures++;
    if (version == EngineRecordVersion)
        figures += 3;
    else if (markers & EngineFlagFiguresMarker)
        figures += 2;
    for (int i = 0; i < figures; i++)
        image.F32(10.0f + static_cast<float>(i));
    if (version < 2)
        image.U32(0);
    return image;
}

TEST(EngineRecordTest, VersionTwelveLeavesTheTurboLagFactorAndFigureFive) {
    const ByteImage image = RecordOfVersion(12);
    DataStream in;
    int version = 0;
    in.OpenMemory(image.bytes.data(), image.bytes.size(), &version);
    CarEngine engine = NewEngine();
    EXPECT_EQ(ReadCarEngineRecord(engine, in), nullptr);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(engine.maxBoost, 3.0f);
    EXPECT_EQ(engine.turboLagFactor, 0.0f);  // absent: the class's engineDefault applies later
    EXPECT_EQ(engine.maxSpeed, 10.0f);
    EXPECT_EQ(engine.peakSpeedFactor, 11.0f);
    EXPECT_EQ(engine.widthFactor, 1.0f);     // figure 5 is absent too
    EXPECT_EQ(engine.torqueFactor, 12.0f);
    EXPECT_EQ(engine.torqueLimit, 13.0f);
}

TEST(EngineRecordTest, RefusedRecordsLeaveTheEngineAlone) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char *name;
        ByteImage image;
        const char *error;
    };
    ByteImage later = RecordOfVersion(14);
    later.bytes[8 + 4] = 15;
    ByteImage cut = RecordOfVersion(14);
    cut.bytes.pop_back();
    ByteImage zeroSpeed = RecordOfVersion(14);
    const float zero = 0.0f;
    std::memcpy(&zeroSpeed.bytes[8 + 24], &zero, 4);  // figure 3, maxSpeed
    ByteImage notFinite = RecordOfVersion(14);
    std::memcpy(&notFinite.bytes[8 + 36], &nan, 4);   // figure 6
    ByteImage negativeSpeed = RecordOfVersion(13);
    const float minus = -5.0f;
    std::memcpy(&negativeSpeed.bytes[8 + 24], &minus, 4);
    const Case cases[] = {
        {"version 15", later, EngineReadError},
        {"cut short", cut, EngineReadError},
        {"version 7 carries sound", RecordOfVersion(7), EngineSoundInCarDataError},
        {"no version byte carries sound", RecordOfVersion(0, EngineFlagFiguresMarker), EngineSoundInCarDataError},
        {"maxSpeed 0", zeroSpeed, EngineFiguresError},
        {"maxSpeed below 0", negativeSpeed, EngineFiguresError},
        {"NaN figure", notFinite, EngineFiguresError},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DataStream in;
        int version = 0;
        in.OpenMemory(c.image.bytes.data(), c.image.bytes.size(), &version);
        CarEngine engine = FiguredEngine();
        const CarEngine before = engine;
        const char *error = ReadCarEngineRecord(engine, in);
        ASSERT_NE(error, nullptr);
        EXPECT_STREQ(error, c.error);
        EXPECT_EQ(std::memcmp(&engine, &before, sizeof(engine)), 0);
    }
}

}  // namespace
