#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/data_stream.h"
#include "core/shell_globals.h"
#include "render/object_bounds.h"
#include "tools/world_scenery_writer.h"
#include "world/wind_rotor_object.h"
#include "world_scene.h"

namespace {

class WindRotorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene.MakeHolders(2);
        MakeBoxHolder(scene.Holder(0), "turbine", HolderStatic, 0.5f, 20.0f);
        MakeConeHolder(scene.Holder(1), HolderStatic);
    }

    WorldObjectResult ReadRotor(uint32_t duplicator)
    {
        WorldWriter bytes;
        WindRotorFields fields;
        fields.height = 3.0f;
        fields.duplicator = duplicator;
        WriteWindRotor(bytes, 251, ObjectHeaderAt(0, Fix(4.0f), Fix(-6.0f)), fields);
        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        EXPECT_EQ(stream.Remaining(), 0);
        return result;
    }

    TestWorld scene;
};

TEST_F(WindRotorTest, DuplicatorIndexIsChecked)
{
    const struct {
        uint32_t index;
        int error;
    } cases[] = {{0, WorldObjectOk}, {1, WorldObjectOk}, {NoRotorDuplicator, WorldObjectOk},
                 {2, WorldObjectBadRecord}, {0x7FFFFFFF, WorldObjectBadRecord}};
    for (const auto &c : cases) {
        const WorldObjectResult result = ReadRotor(c.index);
        EXPECT_EQ(result.error, c.error) << c.index;
        if (result.object) {
            EXPECT_EQ(result.object->GetType(), ObjectWindRotor);
            delete result.object;
        }
    }
}

TEST_F(WindRotorTest, PrepareTakesTheModelsSphere)
{
    const WorldObjectResult result = ReadRotor(0);
    ASSERT_EQ(result.error, WorldObjectOk);
    WindRotorObject *rotor = scene.Add(static_cast<WindRotorObject *>(result.object));
    FrameRandom = 7;
    rotor->Prepare();
    EXPECT_EQ(rotor->rotorAngle, 36u);
    FixVector centre;
    int32_t radius = 0;
    ComputeObjectBoundingSphere(scene.Holder(0).object, centre, radius);
    EXPECT_EQ(rotor->radius, radius);
    EXPECT_EQ(rotor->centreX, Fix(4.0f) + centre.x);
    EXPECT_EQ(rotor->centreZ, Fix(3.0f) + centre.z);
    EXPECT_EQ(rotor->transform.position.z, Fix(3.0f));
    EXPECT_EQ(rotor->minX, Fix(4.0f));

    // A lathe or no duplicator: nothing to turn, and no random step.
    for (uint32_t index : {1u, NoRotorDuplicator}) {
        rotor->duplicator = index;
        rotor->Prepare();
        EXPECT_EQ(rotor->radius, 0) << index;
        EXPECT_EQ(rotor->centreZ, 0) << index;
        EXPECT_EQ(FrameRandom, 36u) << index;
    }
}

TEST_F(WindRotorTest, FacesTheWindAndTurnsWithTheTick)
{
    WindRotorObject *rotor = scene.Add(new WindRotorObject(0, 0));
    rotor->FaceWind(1.5707963f);
    FixMatrix expected;
    FixRotationZ(expected, AngleFromRadians(1.5707963f));
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(rotor->transform.matrix.m[k], expected.m[k]);
    }

    // One tick at 4 m/s: 0.01 x 6956.81 x 2 = 139.14 units.
    const struct {
        uint8_t lastTick;
        uint32_t tick;
        float speed;
        int turn;
    } cases[] = {
        {10, 12, 4.0f, 278},     // two ticks
        {10, 90, 4.0f, 557},     // many ticks count as four
        {10, 10, 4.0f, 0},       // the race stands
        {254, 0x301, 4.0f, 417}, // the low byte wraps: three ticks
        {10, 12, 0.0f, 0},       // no wind
        {10, 12, -1.0f, 0},
    };
    for (const auto &c : cases) {
        rotor->rotorAngle = 100;
        rotor->lastTick = c.lastTick;
        rotor->AdvanceRotor(c.tick, c.speed);
        EXPECT_EQ(rotor->rotorAngle, static_cast<uint16_t>(100 - c.turn)) << int(c.lastTick) << " " << c.tick;
        EXPECT_EQ(rotor->lastTick, c.tick & 255u);
    }
}

} // namespace
