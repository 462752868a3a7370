#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <cmath>

// The up-axis hand-off of the aerodynamic pass on a car that is rolled, so
// that the car's up axis is not the world's.
namespace {

float Dot(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Every surface, with bit 1 or bit 2 alone, loses exactly the part of its
// force along the car's up axis from the body's sums, whether or not the car
// data hands it to the wheels (dataFlags 0x2000 clear here).
TEST(AeroEdges, UpAxisForceLeavesTheBodyForEitherBitOnEverySurface) {
    CarObject car;
    car.dataFlags = 0;
    // Rolled by 0.3 rad about the forward axis: X = (c, 0, -s), Y = (0, 1, 0),
    // Z = (s, 0, c) as the columns.
    const float c = std::cos(0.3f);
    const float s = std::sin(0.3f);
    const float o[9] = {c, 0.0f, s, 0.0f, 1.0f, 0.0f, -s, 0.0f, c};
    for (int k = 0; k < 9; k++)
        car.orientation[k] = o[k];
    const float Z[3] = {s, 0.0f, c};
    // Forward and a little upward through still air.
    car.velocity[0] = 0.0f;
    car.velocity[1] = 30.0f;
    car.velocity[2] = 2.0f;

    for (int surface = 0; surface < 4; surface++) {
        for (const uint8_t bit : {uint8_t{2}, uint8_t{4}}) {
            SCOPED_TRACE(::testing::Message() << "surface " << surface << " bit " << int(bit));
            for (AeroSurface &w : car.wings)
                w.Empty();
            AeroSurface &w = car.wings[surface];
            w.angle = 0.1f;
            w.liftCoefficient = -2.0f;
            w.dragCoefficient = 0.8f;
            w.lift = -1.5f;
            w.drag = 0.6f;
            w.baseDrag = 0.3f;
            w.position[1] = -1.5f;
            w.position[2] = 0.8f;

            w.flags = 1;
            float whole[3];
            float wholeTorque[3];
            car.StepAerodynamics(whole, wholeTorque);
            const float up = Dot(Z, whole);
            ASSERT_LT(up, -100.0f) << "a down force to hand off";

            w.flags = static_cast<uint8_t>(1 | bit);
            float body[3];
            float torque[3];
            car.StepAerodynamics(body, torque);
            for (int k = 0; k < 3; k++) {
                EXPECT_NEAR(w.verticalForce[k], up * Z[k], 1e-2f) << k;
                EXPECT_NEAR(body[k], whole[k] - up * Z[k], 1e-2f) << k;
                EXPECT_EQ(body[k], w.force[k]) << k;
            }
            EXPECT_NEAR(Dot(Z, body), 0.0f, 1e-2f);
            // The torque is that of the reduced force at the surface.
            float r[3];
            for (int k = 0; k < 3; k++)
                r[k] = o[3 * k] * w.position[0] + o[3 * k + 1] * w.position[1] + o[3 * k + 2] * w.position[2];
            const float expected[3] = {r[1] * body[2] - r[2] * body[1], r[2] * body[0] - r[0] * body[2],
                                       r[0] * body[1] - r[1] * body[0]};
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(torque[k], expected[k], 1e-2f) << k;

            // Standing still the handed-off part is cleared with the force.
            const float moving[3] = {car.velocity[0], car.velocity[1], car.velocity[2]};
            car.velocity[0] = car.velocity[1] = car.velocity[2] = 0.0f;
            car.StepAerodynamics(body, torque);
            for (int k = 0; k < 3; k++) {
                EXPECT_EQ(w.verticalForce[k], 0.0f);
                EXPECT_EQ(w.force[k], 0.0f);
                car.velocity[k] = moving[k];
            }
        }
    }
}

}  // namespace
