#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "vehicle/car_object.h"
#include "vehicle/physics_world.h"

// Tests of the generated cars: the default body objects and car data written
// into the test's folder, with the body objects read back as the program has
// them at start-up. Each suite derives its own class from this one.
class GeneratedCarsFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BuildTrigTables();
        writeError = WriteBodyObjects(".");
        if (!writeError)
            writeError = WriteCarDataFiles(".");
        for (int i = 0; i < BodyCodeCount; ++i) {
            InitObject3D(&bodies[i]);
            const std::string path = std::string("data/veh/") + BodyCodes[i] + ".vob";
            if (!writeError && ReadObjectFile(&bodies[i], nullptr, path.c_str(), 0, nullptr) != 1)
                writeError = "a body object could not be read";
            BodyObjects[i] = &bodies[i];
        }
    }
    static void TearDownTestSuite() {
        for (int i = 0; i < BodyCodeCount; ++i) {
            BodyObjects[i] = nullptr;
            FreeObject3D(&bodies[i]);
        }
    }
    void SetUp() override { ASSERT_EQ(writeError, nullptr) << writeError; }

    // Sends the car along its heading at `speed` m/s with its wheels rolling
    // along, and wakes it in the physics world.
    static void LaunchAlongHeading(PhysicsWorld &physics, CarObject &car, float speed) {
        car.velocity[0] = speed * car.orientation[1];
        car.velocity[1] = speed * car.orientation[4];
        car.moving = 1;
        for (int w = 0; w < car.wheelCount; w++)
            car.wheels[w].angularVelocity = speed / car.wheels[w].radius;
        physics.Remove(&car);
        physics.Add(&car);
    }

    // Sends the car toward +x at `speed` m/s, its wheels rolling along when
    // `rolling` (a car going nose first), and wakes it in the physics world.
    static void LaunchTowardPlusX(PhysicsWorld &physics, CarObject &car, float speed, bool rolling) {
        car.velocity[0] = speed;
        car.moving = 1;
        if (rolling) {
            for (int w = 0; w < car.wheelCount; w++)
                car.wheels[w].angularVelocity = speed / car.wheels[w].radius;
        }
        physics.Remove(&car);
        physics.Add(&car);
    }

    static inline const char *writeError = nullptr;
    static inline Object3D bodies[BodyCodeCount];
};
