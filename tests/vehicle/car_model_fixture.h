#pragma once

#include <cstring>

#include "vehicle/car_object.h"

// A car put together by hand the way the loader leaves it: one default
// set-up, four wheels on sliding suspensions, a 2800 cc engine, no body
// object. Tests change what they need before SetUpModel.
struct ModelCar {
    CarObject car;

    explicit ModelCar(int vehicleClass = 1, int wheels = 4) {
        car.vehicleClass = vehicleClass;
        car.gearboxKind = 1;
        car.drivenAxles = 1;
        car.gearCount = 7;
        car.gearRatios[0] = 3.0f;
        car.animationIndex = 0;
        car.engine.SetDefaults();
        car.engine.displacement = 2800.0f;
        car.engine.maxSpeed = 700.0f;
        const float enginePosition[3] = {0.0f, 1.0f, 0.4f};
        const float driverSeat[3] = {-0.4f, -0.2f, 0.2f};
        const float tank[3] = {0.0f, -1.2f, 0.3f};
        std::memcpy(car.enginePosition, enginePosition, sizeof(enginePosition));
        std::memcpy(car.driverSeat, driverSeat, sizeof(driverSeat));
        std::memcpy(car.storedTankPosition, tank, sizeof(tank));
        std::memcpy(car.tankPosition, tank, sizeof(tank));

        car.setupTable = new NamedSetup[1]();
        car.setupCount = 1;
        car.setupIndex = 0;
        car.setup = &car.setupTable[0].setup;
        CarSetup &s = *car.setup;
        const uint16_t gears[SetupGearCount] = {30000, 20000, 15000, 12000, 10000, 9000, 8000};
        std::memcpy(s.gearRatios, gears, sizeof(gears));
        s.finalDrive = 30000;
        s.brakeTorque = 1000.0f;
        s.brakeBalance = 60;
        s.maxLock = 30;
        s.frontTorqueSplit = 40;
        for (CarSetupAxle &a : s.axles) {
            a.rideHeightReduction = 0.3f;
            a.springStiffness = 50000.0f;
            a.bumpDamping = 3000.0f;
            a.reboundDamping = 4000.0f;
            a.antiRoll = 10000.0f;
            a.toe = 9;
            a.tyreType = 1;
            a.camberLeft = 45;
            a.camberRight = 45;
            a.pressureLeft = 200;
            a.pressureRight = 200;
        }

        for (RimData &axle : car.axles) {
            axle.tyreWidth = 0.2f;
            axle.aspect = 0.5f;
            axle.rimRadius = 0.2f;
            axle.rimWidth = 0.2f;
            axle.travelReference = 0.45f;
            axle.inclination = 0.1f;
            axle.suspensionType = 1;
            axle.trackWidth = 1.5f;
            axle.hubOffset = 0.05f;
            axle.pivotHeight = 0.3f;
            axle.firstArmLength = 0.35f;
            axle.secondArmLength = 0.3f;
            axle.uprightLength = 0.25f;
        }

        car.wheelCount = wheels;
        car.wheels = new CarWheel[wheels];
        const float places[4][3] = {{-0.75f, -1.3f, 0.3f}, {0.75f, -1.3f, 0.3f}, {-0.75f, 1.3f, 0.3f},
                                    {0.75f, 1.3f, 0.3f}};
        for (int i = 0; i < wheels; i++)
            std::memcpy(car.wheels[i].restPosition, places[i], sizeof(places[i]));

        car.wings[3].liftCoefficient = -0.1f;
        car.wings[3].dragCoefficient = 0.35f;
    }
};
