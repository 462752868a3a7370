#include "race/session_sound.h"

#include <gtest/gtest.h>

#include <memory>

#include "race/game_session.h"
#include "race/race_links.h"
#include "render/view.h"
#include "vehicle/car_object.h"

namespace {

// The listener by view mode, free view and viewed car.
TEST(SessionListenerTest, AttachedFlagModeAndVelocityByView)
{
    auto session = std::make_unique<GameSession>();
    auto car = std::make_unique<CarObject>();
    car->velocity[0] = 12.0f;
    car->position = {100 * 65536, 0, 0};
    car->orientation[0] = car->orientation[4] = car->orientation[8] = 1.0f;
    struct Row {
        uint32_t view;
        int freeView;
        bool withCar;
        uint32_t attached;
        uint32_t mode;
        float velocity;
    };
    const Row rows[] = {
        {0, 0, true, 0, 1, 12.0f}, {1, 0, true, 0, 1, 12.0f}, {2, 0, true, 0, 2, 0.0f},
        {3, 0, true, 1, 0, 12.0f}, {4, 0, true, 1, 1, 12.0f}, {3, 1, true, 0, 1, 0.0f},
        {3, 0, false, 0, 1, 0.0f}, {2, 0, false, 0, 1, 0.0f},
    };
    for (const Row &row : rows) {
        session->viewedCar = row.withCar ? car.get() : nullptr;
        session->freeView = static_cast<uint8_t>(row.freeView);
        const SessionListener l = ListenerForView(*session, row.view);
        SCOPED_TRACE(testing::Message() << "view " << row.view << " free " << row.freeView << " car " << row.withCar);
        EXPECT_EQ(l.focusedCar, session->viewedCar);
        EXPECT_EQ(l.attached, row.attached);
        EXPECT_EQ(l.mode, row.mode);
        EXPECT_EQ(l.velocity[0], row.velocity);
        if (row.attached != 0) {
            EXPECT_EQ(l.position.x, car->position.x);
        } else {
            EXPECT_EQ(l.position.x, MainView.eye.x);
        }
    }
}

// Inside the car the listener's axes are the car's: a point ahead of a car
// turned to face +x lies ahead (y), one on its right to the right (x).
TEST(SessionListenerTest, InsideTheCarTheAxesAreTheCars)
{
    auto session = std::make_unique<GameSession>();
    auto car = std::make_unique<CarObject>();
    // Car x axis (right) = world -y, car y axis (ahead) = world +x.
    const float o[9] = {0.0f, 1.0f, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    for (int k = 0; k < 9; k++) {
        car->orientation[k] = o[k];
    }
    session->viewedCar = car.get();
    const SessionListener l = ListenerForView(*session, 3);
    FixVector ahead = {65536, 0, 0};
    FixVector u;
    TransformFixVector(l.orientation, ahead, u);
    EXPECT_EQ(u.x, 0);
    EXPECT_EQ(u.y, 65536);
    FixVector right = {0, -65536, 0};
    TransformFixVector(l.orientation, right, u);
    EXPECT_EQ(u.x, 65536);
}

int Writes = 0;
SessionListener Written{};

TEST(SessionListenerTest, TheSessionCallsReachTheRegisteredEntries)
{
    const RaceLinkServices saved = RaceLinks;
    static int starts = 0;
    static int resets = 0;
    RaceLinks.startCarSounds = [] { starts++; };
    RaceLinks.resetSoundListener = [] { resets++; };
    RaceLinks.writeSoundListener = [](const SessionListener &l) {
        Writes++;
        Written = l;
    };
    auto session = std::make_unique<GameSession>();
    auto car = std::make_unique<CarObject>();
    session->viewedCar = car.get();
    StartCarSounds();
    WriteSessionListener(*session);
    ResetCarSoundListener();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(Writes, 1);
    EXPECT_EQ(Written.focusedCar, car.get());
    // Empty entries do nothing.
    RaceLinks = {};
    StartCarSounds();
    WriteSessionListener(*session);
    ResetCarSoundListener();
    EXPECT_EQ(Writes, 1);
    RaceLinks = saved;
}

}  // namespace
