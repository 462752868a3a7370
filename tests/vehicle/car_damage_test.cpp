#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "vehicle/car_damage.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct FakeNetwork {
    int online = 0;
    int startAllowed = 1;
    std::vector<Bytes> packets;
};
FakeNetwork net;

// A car of three collision points and two wheels, put together by hand:
// half wheelbase h = 1.3 m, the dry centre of mass at (0, 0, 0.5), point 0
// on the right side 1 m from it.
struct DentCar {
    static constexpr int Points = 3;
    CarObject car;

    DentCar() {
        car.dryMass = 1000.0f;
        car.wheelbase = 2.6f;
        car.stiffness = 40000.0f;
        const float centre[3] = {0.0f, 0.0f, 0.5f};
        std::memcpy(car.dryCentreOfMass, centre, sizeof(centre));
        const float places[Points][3] = {{1.0f, 0.0f, 0.5f}, {0.0f, 2.0f, 0.5f}, {-1.0f, 0.0f, 0.5f}};
        car.pointCount = Points;
        car.points = new CollisionPoint[Points]();
        car.hullPointCount = Points;
        car.savedPoints = new float[Points][3];
        for (int i = 0; i < Points; i++) {
            std::memcpy(car.points[i].local, places[i], sizeof(places[i]));
            std::memcpy(car.savedPoints[i], places[i], sizeof(places[i]));
        }
        // Wheel 0 just inside point 0, wheel 1 far behind on the other side.
        const float mounts[2][3] = {{0.75f, 0.2f, 0.3f}, {-0.75f, -1.3f, 0.3f}};
        car.wheelCount = 2;
        car.wheels = new CarWheel[2];
        for (int i = 0; i < 2; i++) {
            std::memcpy(car.wheels[i].restPosition, mounts[i], sizeof(mounts[i]));
            std::memcpy(car.wheels[i].position, mounts[i], sizeof(mounts[i]));
        }
    }

    // Point i ends the tick pushed `depth` deep by a contact of `force`
    // newtons along the world normal n, against `other` (null: a wall).
    void Push(int i, const float n[3], float force, float depth, RigidBody *other = nullptr) {
        CollisionPoint &point = car.points[i];
        point.phase = 2;
        point.lastDepth = depth;
        point.probe.otherBody = other;
        for (int k = 0; k < 3; k++) {
            point.stepNormal[k] = n[k];
            point.force[k] = n[k] * force;
        }
    }
    void Accumulate() { car.AccumulateDamage(reinterpret_cast<PlayerSlot *>(&slotId)); }

    int slotId = 7;
};

// The wall at +x pushes the right side inward.
constexpr float FromRight[3] = {-1.0f, 0.0f, 0.0f};
constexpr float Hard = 50000.0f;

class CarDamageTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = RaceServices;
        net = FakeNetwork();
        RaceServices = {};
        RaceServices.isOnline = [] { return net.online; };
        RaceServices.isStartAllowed = [] { return net.startAllowed; };
        RaceServices.queueGamePacket = [](const uint8_t *bytes, int length) {
            net.packets.emplace_back(bytes, bytes + length);
        };
        RaceServices.playerId = [](const PlayerSlot *slot) {
            return static_cast<uint8_t>(*reinterpret_cast<const int *>(slot));
        };
    }
    void TearDown() override { RaceServices = saved; }

    CarRaceServices saved{};
};

Bytes Record(uint8_t point, uint8_t magnitude) {
    return {point, magnitude, 0x00, 0x78};
}

}  // namespace

TEST_F(CarDamageTest, RecordsAreKeptByPriority) {
    CarObject car;
    car.pointCount = 32;  // the records name points 0..21; none is read here
    const uint8_t magnitudes[CarDamageRecords] = {30, 10, 40, 10, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160};
    for (int i = 0; i < CarDamageRecords; i++) {
        const Bytes r = Record(static_cast<uint8_t>(i), magnitudes[i]);
        ASSERT_EQ(car.AddDamageRecord(r.data()), 1);
    }
    EXPECT_EQ(car.damageCount, CarDamageRecords);

    // Not stronger than the weakest stored dent: refused, nothing changes.
    uint8_t before[CarDamageRecords][4];
    std::memcpy(before, car.damageRecords, sizeof(before));
    EXPECT_EQ(car.AddDamageRecord(Record(20, 10).data()), 0);
    EXPECT_EQ(std::memcmp(before, car.damageRecords, sizeof(before)), 0);

    // Stronger: the first record of 10 leaves, the later ones move up and the
    // new one goes to the end; the second 10 stays.
    EXPECT_EQ(car.AddDamageRecord(Record(21, 11).data()), 1);
    EXPECT_EQ(car.damageCount, CarDamageRecords);
    EXPECT_EQ(car.damageRecords[0][0], 0);
    EXPECT_EQ(car.damageRecords[1][0], 2);
    EXPECT_EQ(car.damageRecords[2][0], 3);
    EXPECT_EQ(car.damageRecords[2][1], 10);
    EXPECT_EQ(car.damageRecords[14][0], 15);
    EXPECT_EQ(car.damageRecords[15][0], 21);
    EXPECT_EQ(car.damageRecords[15][1], 11);
}

TEST(CarDamageDirection, PacksTheTopFiveBitsOfEachComponent) {
    struct Case {
        float x, y, z;
        uint16_t packed;
    };
    const Case cases[] = {
        {1.0f, 0.0f, 0.0f, 0x7800},
        {-1.0f, 0.0f, 0.0f, 0x8800},
        {0.0f, 1.0f, 0.0f, 15 << 6},
        {0.0f, 0.0f, -1.0f, 17 << 1},
        {-0.5f, 0.0f, 0.0f, 24 << 11},   // -8: the shift rounds down
        {0.5f, 0.0f, 0.0f, 7 << 11},
        {1.5f, -3.0f, 0.0f, 0x7800 | 17 << 6},  // clamped to -1..1
        {NAN, INFINITY, 1.0f, 15 << 1},         // not finite: 0
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.packed);
        const float v[3] = {c.x, c.y, c.z};
        EXPECT_EQ(PackDamageDirection(v), c.packed);
        EXPECT_EQ(PackDamageDirection(v) & 1, 0);
    }

    float n[3];
    UnpackDamageDirection(0x7800, n);
    EXPECT_FLOAT_EQ(n[0], 1.0f);
    UnpackDamageDirection(0x8800, n);
    EXPECT_FLOAT_EQ(n[0], -1.0f);
    // A 5-bit -1 in every field.
    UnpackDamageDirection(0xFFFE, n);
    for (float c : n)
        EXPECT_FLOAT_EQ(c, -1.0f / 15.0f);
    // Round trip of a slanted direction within one step of 1/15.
    const float slant[3] = {0.6f, -0.8f, 0.0f};
    UnpackDamageDirection(PackDamageDirection(slant), n);
    EXPECT_NEAR(n[0], 0.6f, 1.0f / 15.0f);
    EXPECT_NEAR(n[1], -0.8f, 1.0f / 15.0f);
    EXPECT_EQ(n[2], 0.0f);
}

// The weight of the car is the threshold: exactly 9.81 x dryMass along the
// normal dents nothing, a little more dents. Each pushed point is handled
// once (phase 3); points in other phases are left alone.
TEST_F(CarDamageTest, OnlyContactsHarderThanTheWeightDent) {
    DentCar exact;
    exact.Push(0, FromRight, 9.81f * exact.car.dryMass, 0.1f);
    exact.Accumulate();
    EXPECT_EQ(exact.car.damageCount, 0);
    EXPECT_EQ(exact.car.points[0].phase, 3);

    DentCar above;
    above.Push(0, FromRight, std::nextafter(9.81f * above.car.dryMass, 1e9f), 0.1f);
    above.Push(1, FromRight, Hard, 0.1f);
    above.car.points[1].phase = 1;
    above.Accumulate();
    EXPECT_EQ(above.car.damageCount, 1);
    EXPECT_EQ(above.car.points[0].phase, 3);
    EXPECT_EQ(above.car.points[1].phase, 1);

    // Handled once: the same push in the next tick adds nothing.
    above.Accumulate();
    EXPECT_EQ(above.car.damageCount, 1);
}

TEST_F(CarDamageTest, DepthIsSharedByStiffnessAndLimited) {
    // 0.1 m against a wall: round(0.1 x 255 / 1.3) = 20.
    DentCar wall;
    wall.Push(0, FromRight, Hard, 0.1f);
    wall.Accumulate();
    ASSERT_EQ(wall.car.damageCount, 1);
    EXPECT_EQ(wall.car.damageRecords[0][0], 0);
    EXPECT_EQ(wall.car.damageRecords[0][1], 20);

    // Against a body of equal stiffness half as deep: round(9.8) = 10.
    DentCar bodyHit;
    RigidBody other(1, 1, nullptr);
    other.stiffness = bodyHit.car.stiffness;
    bodyHit.Push(0, FromRight, Hard, 0.1f, &other);
    bodyHit.Accumulate();
    ASSERT_EQ(bodyHit.car.damageCount, 1);
    EXPECT_EQ(bodyHit.car.damageRecords[0][1], 10);

    // A deep push, again and again: the point never strays more than 12 % of
    // its 1 m from the centre of mass (plus the magnitude's rounding).
    DentCar deep;
    const float h = 1.3f;
    for (int tick = 0; tick < 5; tick++) {
        deep.Push(0, FromRight, Hard, 1.0f);
        deep.Accumulate();
    }
    EXPECT_EQ(deep.car.damageCount, 1);
    EXPECT_EQ(deep.car.damageRecords[0][1], 24);  // round(0.12 x 255 / 1.3)
    const float moved = deep.car.savedPoints[0][0] - deep.car.points[0].local[0];
    EXPECT_GT(moved, 0.11f);
    EXPECT_LE(moved, 0.12f + h / 510.0f);
}

TEST_F(CarDamageTest, DirectionIsStoredInTheCarsFrame) {
    DentCar turned;
    // Turned a quarter turn to the left: the car's +y looks along world -x.
    const float quarter[9] = {0.0f, -1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(turned.car.orientation, quarter, sizeof(quarter));
    turned.Push(1, FromRight, Hard, 0.1f);
    turned.Accumulate();
    ASSERT_EQ(turned.car.damageCount, 1);
    const uint16_t packed = static_cast<uint16_t>(turned.car.damageRecords[0][2] | turned.car.damageRecords[0][3] << 8);
    EXPECT_EQ(packed, 15 << 6);  // car +y
    EXPECT_EQ(turned.car.damageRecords[0][0], 1);
}

// The rebuild moves the dented point by the whole dent, drags the wheel mount
// near it less, leaves the far one; rebuilding again gives the same shape.
TEST_F(CarDamageTest, RebuildMovesPointAndNearbyWheelMount) {
    DentCar dented;
    dented.Push(0, FromRight, Hard, 0.1f);
    dented.Accumulate();
    ASSERT_EQ(dented.car.damageCount, 1);
    const float h = 1.3f;
    const float m = 20.0f / 255.0f * h;
    const CollisionPoint &point = dented.car.points[0];
    EXPECT_FLOAT_EQ(point.local[0], 1.0f - m);
    EXPECT_EQ(point.local[1], 0.0f);

    // Wheel 0: 0.25 m inside the point along the dent, 0.1425 m^2 from it.
    const float s = 0.25f;
    const float d0 = 0.333f * h;
    const float expected = (1.0f - 0.1425f / (h * h)) * (1.0f - s / d0) * m;
    const CarWheel &near = dented.car.wheels[0];
    EXPECT_NEAR(near.restPosition[0] - near.position[0], expected, 1e-5f);
    EXPECT_EQ(near.position[1], near.restPosition[1]);
    const CarWheel &far = dented.car.wheels[1];
    EXPECT_EQ(std::memcmp(far.position, far.restPosition, sizeof(far.position)), 0);

    float wheel[3];
    float local[3];
    std::memcpy(wheel, near.position, sizeof(wheel));
    std::memcpy(local, point.local, sizeof(local));
    dented.car.RefreshShape();
    EXPECT_EQ(std::memcmp(wheel, near.position, sizeof(wheel)), 0);
    EXPECT_EQ(std::memcmp(local, point.local, sizeof(local)), 0);

    dented.car.RestoreShape(1);
    EXPECT_EQ(std::memcmp(near.position, near.restPosition, sizeof(wheel)), 0);
    EXPECT_EQ(std::memcmp(point.local, dented.car.savedPoints[0], sizeof(local)), 0);
}

TEST_F(CarDamageTest, StoredDentsAreSentWhenOnlineAndStartAllowed) {
    struct Case {
        int online, startAllowed, expectedPackets;
    };
    const Case cases[] = {{1, 1, 1}, {1, 0, 0}, {0, 1, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.online * 10 + c.startAllowed);
        net = FakeNetwork();
        net.online = c.online;
        net.startAllowed = c.startAllowed;
        DentCar car;
        car.Push(0, FromRight, Hard, 0.1f);
        car.Accumulate();
        EXPECT_EQ(car.car.damageCount, 1);
        ASSERT_EQ(static_cast<int>(net.packets.size()), c.expectedPackets);
        if (c.expectedPackets == 1) {
            const uint8_t *r = car.car.damageRecords[0];
            EXPECT_EQ(net.packets[0], (Bytes{CarDamagePacketId, 7, 0, 0, r[0], r[1], r[2], r[3]}));
        }
    }

    // A dent weaker than every stored one is neither stored nor sent.
    net = FakeNetwork();
    net.online = 1;
    DentCar full;
    for (int i = 0; i < CarDamageRecords; i++)
        full.car.AddDamageRecord(Record(1, 255).data());
    full.Push(0, FromRight, Hard, 0.1f);
    full.Accumulate();
    EXPECT_TRUE(net.packets.empty());
    EXPECT_EQ(full.car.damageRecords[15][0], 1);
}

// A car without axles (wheelbase 0) has no scale for a dent: nothing is
// stored or sent, the point is still marked handled and nothing turns NaN.
TEST_F(CarDamageTest, WheelbaseZeroStoresNoDents) {
    net.online = 1;
    DentCar axleless;
    axleless.car.wheelbase = 0.0f;
    axleless.Push(0, FromRight, Hard, 0.1f);
    axleless.Accumulate();
    EXPECT_EQ(axleless.car.damageCount, 0);
    EXPECT_EQ(axleless.car.points[0].phase, 3);
    EXPECT_TRUE(net.packets.empty());

    // Records that arrive from elsewhere move nothing either.
    axleless.car.AddDamageRecord(Record(0, 200).data());
    axleless.car.RefreshShape();
    EXPECT_EQ(std::memcmp(axleless.car.points[0].local, axleless.car.savedPoints[0], sizeof(float[3])), 0);
}

TEST_F(CarDamageTest, RecordsNamingNoCollisionPointAreSkipped) {
    DentCar car;
    car.car.AddDamageRecord(Record(DentCar::Points, 255).data());
    car.car.AddDamageRecord(Record(255, 255).data());
    car.car.AddDamageRecord(Record(2, 51).data());  // x = +1: point 2 moves out by 0.26 m
    car.car.RefreshShape();
    EXPECT_EQ(std::memcmp(car.car.points[0].local, car.car.savedPoints[0], sizeof(float[3])), 0);
    EXPECT_NEAR(car.car.points[2].local[0], -1.0f + 0.26f, 1e-6f);
}
