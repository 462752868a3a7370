#include <gtest/gtest.h>

#include <cmath>

#include "car_model_fixture.h"
#include "vehicle/car_object.h"

namespace {

void Multiply(const float a[9], const float b[9], float out[9]) {
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++)
            out[r * 3 + c] = a[r * 3] * b[c] + a[r * 3 + 1] * b[3 + c] + a[r * 3 + 2] * b[6 + c];
    }
}

void ExpectIdentity(const float m[9], float tolerance) {
    for (int i = 0; i < 9; i++)
        EXPECT_NEAR(m[i], i % 4 == 0 ? 1.0f : 0.0f, tolerance) << i;
}

// Only the elements a test adds: mass, first moment and tensor cleared.
void ClearModel(CarObject &car) {
    car.mass = 0.0f;
    for (float &f : car.firstMoment)
        f = 0.0f;
    for (float &f : car.inertia)
        f = 0.0f;
}

TEST(CarMassModel, EngineAndTankShell) {
    ModelCar m;
    m.car.SetUpModel(0);
    EXPECT_FLOAT_EQ(m.car.engineMass, 140.0f);
    EXPECT_FLOAT_EQ(m.car.tankShellMass, 42.0f);
    // Without a size in the data the tank is sized from the engine block and
    // holds 8 x its half sizes' product, in litres.
    const float *h = m.car.tankHalfSize;
    EXPECT_FLOAT_EQ(m.car.tankSize, 8000.0f * h[0] * h[1] * h[2]);
    EXPECT_FLOAT_EQ(h[1], h[0] * 0.7f / 1.1f);

    ModelCar sized;
    sized.car.dataFlags |= CarFlagTankSize;
    sized.car.tankSize = 60.0f;
    sized.car.SetUpModel(0);
    EXPECT_NEAR(sized.car.tankHalfSize[0], 0.2466f, 1e-4f);
    EXPECT_NEAR(sized.car.tankHalfSize[1], 0.2466f, 1e-4f);
    EXPECT_NEAR(sized.car.tankHalfSize[2], 0.1233f, 1e-4f);
    EXPECT_EQ(sized.car.tankSize, 60.0f);
}

TEST(CarMassModel, SeatsAndOccupants) {
    struct Case {
        int32_t animationIndex;
        uint32_t flags;
        uint8_t passengers;
        float seats, occupants;
    };
    const Case cases[] = {
        {0, 0, 0, 15.0f, 70.0f},                       // driver seat and driver
        {-1, 0, 0, 15.0f, 0.0f},                       // no driver figure: the seat stays
        {0, CarFlagRearSeats, 0, 60.0f, 70.0f},        // a 0.6 m bench of 45 kg
        {0, CarFlagRearSeats | 0x100, 0xFF, 75.0f, 350.0f},  // every seat taken
    };
    for (const Case &c : cases) {
        ModelCar m;
        m.car.animationIndex = c.animationIndex;
        m.car.dataFlags |= c.flags;
        m.car.rearSeat[1] = -0.9f;
        m.car.rearSeat[2] = 0.2f;
        m.car.setup->passengers = c.passengers;
        m.car.SetUpModel(0);
        EXPECT_FLOAT_EQ(m.car.seatMass, c.seats) << c.flags;
        EXPECT_FLOAT_EQ(m.car.occupantMass, c.occupants) << c.flags;
        // The body mass holds the seats but no occupant; the mass both.
        EXPECT_NEAR(m.car.mass - m.car.bodyMass, c.occupants, 1e-3f);
    }
}

TEST(CarMassModel, RodsAcrossAndAlongsideTheCar) {
    struct Case {
        int16_t ends[2];
        float mass;   // both sides together
    };
    // End 0 at x = 0.5, end 1 at x = 0.5 and 1 m further forward.
    const Case cases[] = {{{0, 0}, 1.0f * 4.0f}, {{0, 1}, 2.0f * 4.0f}, {{0, -3}, 0.0f}};
    for (const Case &c : cases) {
        ModelCar m;
        CarRodEnd ends[2] = {{32768, 0, 0, 0.0f, 0, 0, 0}, {32768, 65536, 0, 0.0f, 0, 0, 0}};
        m.car.rodCount = 2;
        m.car.rods = new CarRodEnd[2]{ends[0], ends[1]};
        m.car.rodLinkCount = 1;
        m.car.rodLinks = new CarRodLink[1]{{{c.ends[0], c.ends[1]}, 4.0f, {0.0f, 0.0f, 0.0f}, 0}};
        m.car.SetUpModel(0);
        EXPECT_FLOAT_EQ(m.car.rodMass, c.mass) << c.ends[1];
        EXPECT_FLOAT_EQ(m.car.rods[0].radius, c.mass > 0.0f ? 0.02f : 0.0f);
    }
}

// One box: its tensor about its own centre is the box's, whatever the
// offset, and the inverse is one.
TEST(CarMassModel, SingleBoxMatchesTheParallelAxisTheorem) {
    CarObject car;
    ClearModel(car);
    const MassElement box{12.0f, {0.3f, -1.1f, 0.7f}, {0.4f, 0.9f, 0.2f}, 0};
    car.AddMassBox(box, 1);
    car.AddMassBox(box, 2);
    EXPECT_EQ(car.mass, 12.0f);
    float c[3];
    for (int k = 0; k < 3; k++)
        c[k] = car.firstMoment[k] / car.mass;
    float shifted[9];
    ShiftInertiaToCentre(car.inertia, car.mass, c, shifted);
    const float own[9] = {4.0f * (0.81f + 0.04f), 0.0f, 0.0f, 0.0f, 4.0f * (0.16f + 0.04f), 0.0f,
                          0.0f, 0.0f, 4.0f * (0.16f + 0.81f)};
    for (int i = 0; i < 9; i++)
        EXPECT_NEAR(shifted[i], own[i], 1e-5f) << i;

    float inverse[9];
    ASSERT_EQ(InvertInertia(car.inertia, inverse), 1);
    float product[9];
    Multiply(car.inertia, inverse, product);
    ExpectIdentity(product, 1e-5f);

    const float singular[9] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    EXPECT_EQ(InvertInertia(singular, inverse), 0);
}

TEST(CarMassModel, BuiltCarHasAnInvertibleTensorAboutItsCentre) {
    ModelCar m;
    m.car.SetUpModel(0);
    EXPECT_GT(m.car.mass, m.car.engineMass + m.car.wheelMassTotal);
    EXPECT_EQ(m.car.mass, m.car.dryMass);
    EXPECT_NEAR(m.car.wheelMassTotal, 4.0f * m.car.wheels[0].unsprungMass, 1e-3f);
    float product[9];
    Multiply(m.car.inertia, m.car.inverseInertia, product);
    ExpectIdentity(product, 1e-4f);
    // The stored tensor is about the origin: moved back it gives the body's.
    float shifted[9];
    ShiftInertiaToCentre(m.car.dryInertia, m.car.mass, m.car.centreOfMass, shifted);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(shifted[i], m.car.inertia[i]);
}

// Ballast acts as a point mass at (0, y, z) on the tensor about the origin:
// the same as the model with that point added.
TEST(CarMassModel, BallastIsAPointMassOfTheModel) {
    ModelCar m;
    m.car.SetUpModel(0);
    m.car.setup->addedMassPosition = 25;
    m.car.SetBallast(40);

    const float t = 0.25f;
    const float y = m.car.axlePositions[0] + (m.car.axlePositions[1] - m.car.axlePositions[0]) * t;
    const float z = m.car.axles[0].pivotHeight;
    CarObject point;
    ClearModel(point);
    point.AddMassBox(MassElement{40.0f, {0.0f, y, z}, {0.0f, 0.0f, 0.0f}, 0}, 2);
    for (int i = 0; i < 9; i++)
        EXPECT_NEAR(m.car.workingInertia[i], m.car.dryInertia[i] + point.inertia[i], 1e-2f) << i;
    EXPECT_FLOAT_EQ(m.car.dryMass, m.car.storedDryMass + 40.0f);
    EXPECT_NEAR(m.car.dryCentreOfMass[1],
                (m.car.storedDryMass * m.car.storedDryCentre[1] + 40.0f * y) / (m.car.storedDryMass + 40.0f), 1e-5f);
    EXPECT_EQ(m.car.appliedBallast, 40);
    EXPECT_EQ(m.car.ballastPosition, 25);

    m.car.SetBallast(0);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(m.car.workingInertia[i], m.car.dryInertia[i]);
    EXPECT_EQ(m.car.dryMass, m.car.storedDryMass);
}

}  // namespace
