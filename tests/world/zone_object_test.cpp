#include <gtest/gtest.h>

#include "world/world_object.h"
#include "world/zone_object.h"
#include "world_bytes.h"

namespace {

constexpr int32_t Metre = 65536;

// A version-251 zone header at (x, y) with a config mask, then the record.
WorldBytes ZoneBytes(uint32_t flags, uint8_t speedLimit, float heading, float halfLength, float halfWidth)
{
    WorldBytes b;
    b.U8(ObjectZone).U8(0x84).U8(12).U8(0).U32(4).U32(10 * Metre).U32(20 * Metre);
    b.U32(flags).U8(speedLimit).U8(1).U8(2).U8(3).F32(heading).F32(7.0f).F32(halfLength).F32(halfWidth);
    if (flags & 1) {
        b.U32(Metre).U32(2 * Metre).U32(3 * Metre).F32(0.25f);
    }
    return b;
}

ZoneObject *CreateZone(WorldBytes &bytes, int64_t *left = nullptr)
{
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    EXPECT_EQ(result.error, WorldObjectOk);
    if (left) {
        *left = stream.Remaining();
    }
    return static_cast<ZoneObject *>(result.object);
}

TEST(ZoneObject, ReadsItsRecordWithAndWithoutTheCameraBlock)
{
    for (const uint32_t flags : {0u, 1u}) {
        WorldBytes bytes = ZoneBytes(flags, 60, 0.5f, 4.0f, 9.0f);
        int64_t left = -1;
        ZoneObject *zone = CreateZone(bytes, &left);
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(left, 0) << "flags " << flags;
        EXPECT_EQ(zone->GetType(), ObjectZone);
        EXPECT_EQ(zone->configMask, 0x10005u);
        EXPECT_EQ(zone->reachRadius, 12);
        EXPECT_EQ(zone->stateFlags, 4);
        EXPECT_EQ(zone->positionX, 10 * Metre);
        EXPECT_EQ(zone->positionY, 20 * Metre);
        EXPECT_EQ(zone->flags, flags);
        EXPECT_EQ(zone->speedLimit, 60);   // a speed limit zone, and with flag 1 also a camera zone
        EXPECT_EQ(zone->IsCameraZone(), int(flags));
        EXPECT_EQ(zone->keptBytes[2], 3);
        EXPECT_EQ(zone->keptFloat, 7.0f);
        EXPECT_EQ(zone->halfLength, 4.0f);
        EXPECT_EQ(zone->halfWidth, 9.0f);
        EXPECT_EQ(zone->cameraPosition[2], flags ? 3 * Metre : 0);
        EXPECT_EQ(zone->cameraValue, flags ? 0.25f : 0.0f);

        int32_t position[3];
        float heading = 0.0f;
        zone->GetPosition(position, heading);
        EXPECT_EQ(heading, 0.5f);
        EXPECT_EQ(position[2], 0);
        zone->Release();
        delete zone;
    }
}

TEST(ZoneObject, PrepareSetsBoundsAndReach)
{
    WorldBytes bytes = ZoneBytes(0, 0, 0.0f, 3.0f, 4.0f);
    ZoneObject *zone = CreateZone(bytes);
    ASSERT_NE(zone, nullptr);
    zone->Prepare();
    EXPECT_EQ(zone->minX, 10 * Metre);
    EXPECT_EQ(zone->maxX, 10 * Metre);
    EXPECT_EQ(zone->minY, 20 * Metre);
    EXPECT_EQ(zone->radius, 0);
    EXPECT_EQ(zone->centreY, 20 * Metre);
    EXPECT_EQ(zone->reachSquared, 25.0f);
    delete zone;
}

TEST(ZoneObject, PointTestAlongAndAcrossTheHeading)
{
    struct Case {
        float heading;
        float dx, dy;   // metres from the zone's position
        int inside;
    };
    // Half length 5 along (cos h, sin h), half width 2 across it.
    const Case cases[] = {
        {0.0f, 0.0f, 0.0f, 1},
        {0.0f, 4.9f, 1.9f, 1},
        {0.0f, 5.0f, 0.0f, 0},    // on the end edge
        {0.0f, 0.0f, -2.0f, 0},   // on the side edge
        {0.0f, 0.0f, 3.0f, 0},
        {1.5707964f, 0.0f, 4.5f, 1},   // turned a quarter: the length runs along y
        {1.5707964f, 4.5f, 0.0f, 0},
    };
    for (const Case &c : cases) {
        ZoneObject zone(10 * Metre, 20 * Metre);
        zone.heading = c.heading;
        zone.halfLength = 5.0f;
        zone.halfWidth = 2.0f;
        zone.Prepare();
        const int32_t x = 10 * Metre + static_cast<int32_t>(c.dx * Metre);
        const int32_t y = 20 * Metre + static_cast<int32_t>(c.dy * Metre);
        EXPECT_EQ(zone.ContainsPoint(x, y), c.inside) << c.heading << " " << c.dx << " " << c.dy;
    }
}

TEST(ZoneObject, CutRecordIsRefused)
{
    for (const uint32_t flags : {0u, 1u}) {
        WorldBytes bytes = ZoneBytes(flags, 60, 0.0f, 4.0f, 9.0f);
        bytes.bytes.pop_back();
        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        EXPECT_EQ(result.object, nullptr);
        EXPECT_EQ(result.error, WorldObjectBadRecord);
        EXPECT_EQ(result.type, ObjectZone);
    }
}

}  // namespace
