#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "byte_image.h"
#include "core/data_stream.h"
#include "vehicle/race_hooks.h"
#include "vehicle/setup_file.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float ToeScale = Pi * 0.005f;
constexpr float CamberScale = Pi * 0.025f;

// A clamped record with flags bit 7 set, as every read leaves one.
CarSetup ValidSetup()
{
    CarSetup s{};
    s.flags = 0x80 | SetupTractionControl;
    s.reserved1 = 3;
    s.addedMassPosition = 55;
    s.tyreMaker = 4;
    s.brakeTorque = 1800.0f;
    s.rearWing = 12;
    s.frontWing = 8;
    s.addedMass = 77;
    s.intakeRestriction = 12;
    s.maxLock = 30;
    s.parallelSteer = 40;
    s.brakeBalance = 70;
    s.engineBrakeReduction = 40;
    s.centreDiffType = 1;
    s.centreViscousTorque = 8;
    s.frontTorqueSplit = 60;
    for (int g = 0; g < SetupGearCount; ++g)
        s.gearRatios[g] = static_cast<uint16_t>(30000 - g * 3000);
    s.gearRatios[6] = 1234;
    s.finalDrive = 20000;
    s.passengers = 0x41;
    s.partChoice = 2;
    s.tcSlip = 50;
    s.tcMinSpeed = 10;
    for (CarSetupAxle &a : s.axles) {
        a.rideHeightReduction = -0.01f;
        a.springStiffness = 50000.0f;
        a.bumpDamping = 3000.0f;
        a.reboundDamping = 4000.0f;
        a.antiRoll = 10000.0f;
        a.toe = 10;
        a.caster = 60;
        a.tyreType = 5;
        a.camberLeft = 40;
        a.camberRight = 42;
        a.diffPreload = 7;
        a.diffType = 3;
        a.viscousTorque = 9;
        a.lockPower = 30;
        a.lockCoast = 20;
        a.pressureLeft = 180;
        a.pressureRight = 185;
    }
    return s;
}

void AppendGearsAndBytes(ByteImage &f)
{
    f.U16(20000);                               // final drive
    for (int g = 0; g < 6; ++g)
        f.U16(40000 - g * 4000);
    f.U8(0x05).U8(3).U8(60).U8(12);             // passengers, part choice, tc slip, tc minimum speed
}

void AppendAxleFloats(ByteImage &f)
{
    f.F32(-0.02f).F32(60000.0f).F32(3500.0f).F32(4500.0f).F32(12000.0f).F32(0.0f);
}

// A file version 248 record (record version 0: no head bytes, wings and
// balance as u16 fractions, every other old field as a float).
ByteImage Version248(float lock, float parallel, float centre, float toe, float camber, float viscous,
                     float pascals)
{
    ByteImage f = ByteImage::WithHeader("QZSETT", 248);
    f.F32(1500.0f);
    f.F32(0.0f).U16(60 * 655).U16(0).U16(10 * 655).U16(5 * 655);
    f.F32(lock).F32(parallel).F32(centre).U16(32768);
    AppendGearsAndBytes(f);
    for (int axle = 0; axle < 2; ++axle) {
        AppendAxleFloats(f);
        f.F32(toe).F32(camber).F32(viscous).U32(0x300 + 5 - axle).F32(pascals);
    }
    return f;
}

CarSetup ReadBack(const ByteImage &file, int *result, const CarSetup &start = ValidSetup())
{
    EXPECT_TRUE(file.Save("fixture.set"));
    CarSetup setup = start;
    *result = ReadSetupFile(&setup, "fixture.set");
    return setup;
}

TEST(SetupFileTest, Version248ConvertsTheOldFloatForm) {
    int result = 0;
    const CarSetup s = ReadBack(Version248(0.5f, 0.25f, 7.4f, ToeScale / 3.0f, -0.2f * CamberScale, 5.6f, 180000.0f),
                                &result);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(s.flags, 0x80);
    EXPECT_EQ(s.reserved1, 0);
    EXPECT_EQ(s.addedMassPosition, 50);
    EXPECT_EQ(s.tyreMaker, 0);
    EXPECT_EQ(s.brakeTorque, 1500.0f);
    EXPECT_EQ(s.brakeBalance, 60);
    EXPECT_EQ(s.rearWing, 10);
    EXPECT_EQ(s.frontWing, 5);
    EXPECT_EQ(s.maxLock, 29);             // 0.5 rad = 28.6 degrees
    EXPECT_EQ(s.parallelSteer, 25);
    EXPECT_EQ(s.centreDiffType, 1);
    EXPECT_EQ(s.centreViscousTorque, 7);
    EXPECT_EQ(s.frontTorqueSplit, 50);
    // Fields the old form lacks keep the caller's values.
    EXPECT_EQ(s.addedMass, 77);
    EXPECT_EQ(s.intakeRestriction, 12);
    EXPECT_EQ(s.engineBrakeReduction, 40);
    EXPECT_EQ(s.gearRatios[6], 1234);
    EXPECT_EQ(s.finalDrive, 20000);
    EXPECT_EQ(s.gearRatios[0], 40000);
    EXPECT_EQ(s.gearRatios[5], 20000);
    EXPECT_EQ(s.passengers, 0x05);
    EXPECT_EQ(s.partChoice, 3);
    EXPECT_EQ(s.tcSlip, 60);
    EXPECT_EQ(s.tcMinSpeed, 12);
    for (int axle = 0; axle < 2; ++axle) {
        const CarSetupAxle &a = s.axles[axle];
        EXPECT_EQ(a.rideHeightReduction, -0.02f);
        EXPECT_EQ(a.antiRoll, 12000.0f);
        EXPECT_EQ(a.toe, 12);
        EXPECT_EQ(a.caster, 0);
        EXPECT_EQ(a.tyreType, 5 - axle);
        EXPECT_EQ(a.camberLeft, 36);
        EXPECT_EQ(a.camberRight, 36);
        EXPECT_EQ(a.diffType, 2);
        EXPECT_EQ(a.viscousTorque, 6);
        EXPECT_EQ(a.lockPower, 25);
        EXPECT_EQ(a.lockCoast, 25);
        EXPECT_EQ(a.diffPreload, 6);       // (25 + 25) >> 3
        EXPECT_EQ(a.pressureLeft, 180);
        EXPECT_EQ(a.pressureRight, 180);
    }
}

TEST(SetupFileTest, Version250RecordVersion1MixesBytesAndFloats) {
    ByteImage f = ByteImage::WithHeader("QZSETT", 250);
    f.U8(1).Zeros(3).U8(0x80).U8(9).U8(40).U8(2);
    f.F32(1600.0f);
    f.F32(0.0f).U16(70 * 655).U16(0).U16(12 * 655).U16(6 * 655);
    f.U8(30).U8(45).U8(99).U8(20).U8(1).U8(8).U8(0).U8(65).U16(25000);
    AppendGearsAndBytes(f);
    for (int axle = 0; axle < 2; ++axle) {
        AppendAxleFloats(f);
        f.U8(11).U8(50).U8(6 + axle).U8(0);
        f.F32(-0.2f * CamberScale);
        f.U8(3).U8(12).U8(40).U8(30);
        f.F32(150000.0f);
    }
    int result = 0;
    const CarSetup s = ReadBack(f, &result);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(s.flags, 0x80);
    EXPECT_EQ(s.reserved1, 9);
    EXPECT_EQ(s.addedMassPosition, 40);
    EXPECT_EQ(s.tyreMaker, 2);
    EXPECT_EQ(s.brakeBalance, 70);        // from the u16; the byte form's 99 is skipped
    EXPECT_EQ(s.rearWing, 12);
    EXPECT_EQ(s.frontWing, 6);
    EXPECT_EQ(s.addedMass, 77);
    EXPECT_EQ(s.maxLock, 30);
    EXPECT_EQ(s.parallelSteer, 45);
    EXPECT_EQ(s.engineBrakeReduction, 20);
    EXPECT_EQ(s.centreViscousTorque, 8);
    EXPECT_EQ(s.frontTorqueSplit, 65);
    EXPECT_EQ(s.gearRatios[6], 25000);
    for (int axle = 0; axle < 2; ++axle) {
        const CarSetupAxle &a = s.axles[axle];
        EXPECT_EQ(a.toe, 11);
        EXPECT_EQ(a.caster, 50);
        EXPECT_EQ(a.tyreType, 6 + axle);
        EXPECT_EQ(a.camberLeft, 36);
        EXPECT_EQ(a.camberRight, 36);
        EXPECT_EQ(a.diffType, 3);
        EXPECT_EQ(a.viscousTorque, 12);
        EXPECT_EQ(a.lockPower, 40);
        EXPECT_EQ(a.lockCoast, 30);
        EXPECT_EQ(a.diffPreload, 7);       // bit 7 was set: the caller's value stays
        EXPECT_EQ(a.pressureLeft, 150);
        EXPECT_EQ(a.pressureRight, 150);
    }
}

TEST(SetupFileTest, Version251RoundTripKeepsAll120Bytes) {
    const CarSetup written = ValidSetup();
    ASSERT_EQ(WriteSetupFile(written, "round.set"), 1);
    EXPECT_EQ(ReadFileBytes("round.set").size(), 8u + 124u);
    CarSetup read{};
    ASSERT_EQ(ReadSetupFile(&read, "round.set"), 1);
    EXPECT_EQ(SetupsDiffer(read, written), 0);
}

TEST(SetupFileTest, OutOfRangeBytesAreClampedOnReading) {
    CarSetup wild = ValidSetup();
    wild.flags = 0x80 | SetupSymmetric;
    wild.maxLock = 3;
    wild.partChoice = 20;
    wild.gearRatios[2] = 65535;
    wild.finalDrive = 65535;
    wild.axles[1].toe = 200;
    ASSERT_EQ(WriteSetupFile(wild, "wild.set"), 1);
    CarSetup s{};
    ASSERT_EQ(ReadSetupFile(&s, "wild.set"), 1);
    EXPECT_EQ(s.maxLock, 9);
    EXPECT_EQ(s.partChoice, 0);
    EXPECT_EQ(s.gearRatios[2], 65534);
    EXPECT_EQ(s.finalDrive, 65534);
    EXPECT_EQ(s.axles[1].toe, 18);
    for (const CarSetupAxle &a : s.axles) {
        EXPECT_EQ(a.camberRight, 40);
        EXPECT_EQ(a.pressureRight, 180);
    }
}

// A damaged old file cannot make the float conversions undefined: each value
// is pulled into its field's range before rounding, and one that is not
// finite gives the minimum.
TEST(SetupFileTest, OldFloatsOutsideTheirRangeGiveTheNearestLimit) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        bool maximum;
    };
    const Case cases[] = {{std::nanf(""), false}, {inf, false}, {-inf, false}, {-1e30f, false}, {1e30f, true},
                          {3.0e38f, true}};
    for (const Case &c : cases) {
        int result = 0;
        const float v = c.value;
        const CarSetup s = ReadBack(Version248(v, v, v, v, v, v, v), &result);
        ASSERT_EQ(result, 1) << v;
        EXPECT_EQ(s.maxLock, c.maximum ? 45 : 9) << v;
        EXPECT_EQ(s.parallelSteer, c.maximum ? 100 : 0) << v;
        EXPECT_EQ(s.centreViscousTorque, c.maximum ? 20 : 1) << v;
        for (const CarSetupAxle &a : s.axles) {
            EXPECT_EQ(a.toe, c.maximum ? 18 : 0) << v;
            EXPECT_EQ(a.camberLeft, c.maximum ? 90 : 0) << v;
            EXPECT_EQ(a.viscousTorque, c.maximum ? 20 : 1) << v;
            EXPECT_EQ(a.pressureLeft, c.maximum ? 65535 : 0) << v;
        }
    }
}

std::vector<std::string> Warnings;

TEST(SetupFileTest, RefusedFilesLeaveTheSetupUnchanged) {
    ByteImage current = ByteImage::WithHeader("QZSETT", 251);
    current.U8(2).Zeros(123);
    ByteImage version3 = ByteImage::WithHeader("QZSETT", 251);
    version3.U8(3).Zeros(123);
    ByteImage truncated = current;
    truncated.bytes.resize(8 + 100);
    ByteImage old = Version248(0.5f, 0.f, 1.f, 0.f, 0.f, 1.f, 1e5f);
    old.bytes[7] = 247;
    ByteImage later = current;
    later.bytes[7] = 252;
    ByteImage otherId = current;
    otherId.bytes[5] = 'X';

    struct Case {
        const char *name;
        const ByteImage *file;
        bool warned;
    };
    const Case cases[] = {{"record version 3", &version3, false}, {"truncated", &truncated, false},
                          {"version 247", &old, true},           {"version 252", &later, false},
                          {"other id", &otherId, false}};
    VehicleRaceHooks.printWarning = [](const char *text) { Warnings.push_back(text); };
    for (const Case &c : cases) {
        Warnings.clear();
        int result = -1;
        const CarSetup s = ReadBack(*c.file, &result);
        EXPECT_EQ(result, 0) << c.name;
        EXPECT_EQ(SetupsDiffer(s, ValidSetup()), 0) << c.name;
        ASSERT_EQ(Warnings.size(), c.warned ? 1u : 0u) << c.name;
        if (c.warned) {
            EXPECT_EQ(Warnings[0], "Could not load file : ^Lfixture.set");
        }
    }
    VehicleRaceHooks.printWarning = nullptr;

    int result = 0;
    ReadBack(current, &result);
    EXPECT_EQ(result, 1);
    CarSetup missing = ValidSetup();
    EXPECT_EQ(ReadSetupFile(&missing, "no such file.set"), 0);
}

TEST(SetupFileTest, RecordVersion3FailsBeforeChangingTheRecord) {
    ByteImage f = ByteImage::WithHeader("QZSETT", 251);
    f.U8(3).Zeros(123);
    DataStream stream;
    int version = 0;
    stream.OpenMemory(f.bytes.data(), f.bytes.size(), &version);
    CarSetup s = ValidSetup();
    EXPECT_EQ(ReadSetupRecord(&s, &stream, version), 0);
    EXPECT_EQ(SetupsDiffer(s, ValidSetup()), 0);
}

TEST(SetupFileTest, NamedSetupReadsATerminatedNameThenTheRecord) {
    ByteImage f = ByteImage::WithHeader("KZVCAR", 252);
    for (int i = 0; i < 16; ++i)
        f.U8('N');
    const size_t recordStart = f.bytes.size();
    ASSERT_EQ(WriteSetupFile(ValidSetup(), "named.set"), 1);
    const std::vector<uint8_t> file = ReadFileBytes("named.set");
    f.bytes.insert(f.bytes.end(), file.begin() + 8, file.end());
    ASSERT_EQ(f.bytes.size(), recordStart + 124);

    DataStream stream;
    int version = 0;
    stream.OpenMemory(f.bytes.data(), f.bytes.size(), &version);
    NamedSetup named{};
    EXPECT_EQ(ReadNamedSetup(&named, &stream, version), 1);
    EXPECT_EQ(std::string(named.name), std::string(15, 'N'));
    EXPECT_EQ(SetupsDiffer(named.setup, ValidSetup()), 0);
    EXPECT_FALSE(stream.overrun);
}

// A device that refuses the data: the set-up is not reported as saved.
TEST(SetupFileTest, WriteFailureReturnsZero) {
    EXPECT_EQ(WriteSetupFile(ValidSetup(), "/dev/full"), 0);
    EXPECT_EQ(WriteSetupFile(ValidSetup(), "no such folder\\x.set"), 0);
}

}  // namespace
