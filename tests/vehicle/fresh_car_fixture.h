#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "vehicle/car_object.h"

// Tests on a car put together by hand: NewCar gives a fresh, empty car whose
// set-up is the fixture's own, and the tests fill in the rest.
struct FreshCarFixture : ::testing::Test {
    CarSetup setup{};
    std::unique_ptr<CarObject> owned;
    CarObject *car = nullptr;

    void NewCar() {
        owned = std::make_unique<CarObject>();
        car = owned.get();
        car->setup = &setup;
    }
};
