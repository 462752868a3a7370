// The start lights (red, red, red, then green after a random extra wait) and
// the wind, a slow random walk of speed and direction round a base drawn at
// each race start. Both draw from SharedRandom, which every program of a
// network game steps in the same order, so all of them show the same lights
// and feel the same wind.
#include "world/start_lights.h"

#include <cmath>

#include "core/float_math.h"
#include "core/shell_globals.h"
#include "vehicle/car_object.h"
#include "world/duplicator_object.h"
#include "world/layout.h"
#include "world/shared_random.h"
#include "world/world.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float TickSeconds = 0.01f;
constexpr uint32_t TickMs = 10;
constexpr uint32_t LampIntervalMs = 1000;
constexpr uint32_t RedsBeforeGreenMs = 3000;
constexpr uint32_t MaxRedDelayMs = 3000;
constexpr int32_t MinStartOffset = 3;
constexpr int32_t MaxRaceSlots = 32;
constexpr int QualifyingKind = 2;
constexpr int HighWind = 2;
constexpr float LowWindFloor = 1.0f;
constexpr float SpeedRateScale = 0.05f;
constexpr float MinSpeedShare = 0.667f;
constexpr float MaxSpeedShare = 1.333f;
constexpr float DirectionReach = Pi / 6.0f;   // 30 degrees either side of the base

// The random walk's push from a generator value: -1 .. just under 1.
float RandomPush(uint32_t x)
{
    return static_cast<float>(x) / 32768.0f - 1.0f;
}

// The wind blows toward the compass direction direction + pi.
void UpdateWindVelocity(WindState &wind)
{
    const float heading = Pi + wind.direction;
    wind.velocity[0] = -FloatSin(heading) * wind.speed;
    wind.velocity[1] = FloatCos(heading) * wind.speed;
    wind.velocity[2] = 0.0f;
}

void StepWind(WindState &wind)
{
    wind.speedRate += RandomPush(StepSharedRandom()) * wind.baseSpeed * SpeedRateScale;
    wind.speed += wind.speedRate * TickSeconds;
    const float minSpeed = MinSpeedShare * wind.baseSpeed;
    const float maxSpeed = MaxSpeedShare * wind.baseSpeed;
    if (wind.speed < minSpeed) {
        wind.speed = minSpeed;
        wind.speedRate = 0.0f;
    } else if (wind.speed > maxSpeed) {
        wind.speed = maxSpeed;
        wind.speedRate = 0.0f;
    }

    wind.directionRate += RandomPush(StepSharedRandom()) * Pi / 180.0f;
    wind.direction += wind.directionRate * TickSeconds;
    const float minDirection = wind.baseDirection - DirectionReach;
    const float maxDirection = wind.baseDirection + DirectionReach;
    if (wind.direction < minDirection) {
        wind.direction = minDirection;
        wind.directionRate = 0.0f;
    } else if (wind.direction > maxDirection) {
        wind.direction = maxDirection;
        wind.directionRate = 0.0f;
    }

    UpdateWindVelocity(wind);
}

} // namespace

void RandomWind(int windSetting, float &speed, float &direction)
{
    speed = HalfMaxWindSpeed * static_cast<float>(StepSharedRandom()) / 65536.0f;
    if (windSetting == HighWind) {
        speed += HalfMaxWindSpeed;
    } else if (speed <= LowWindFloor) {
        speed = LowWindFloor;
    }
    const int32_t y = static_cast<int32_t>(StepSharedRandom());
    direction = static_cast<float>(y - 32767) * Pi / 32768.0f;
}

void World::SetWindBase(float speed, float direction)
{
    wind.baseSpeed = speed;
    wind.speed = speed;
    wind.speedRate = 0.0f;
    wind.baseDirection = direction;
    wind.direction = direction;
    wind.directionRate = 0.0f;
    wind.baseSpeedRoot = speed > 0.0f ? std::sqrt(speed) : 0.0f;
}

void World::ResetStartLightsAndWind(const StartRaceView *race)
{
    redDelay = 0;
    startLightClock = 0;
    if (!race) {
        StartLightsGo(nullptr);
    } else {
        startLightState = StartLightsArmed;
        // The race set-up never gives less than 3 s; a smaller offset would
        // put the first red before the clock's start and never light it.
        const int32_t offset = race->startOffset < MinStartOffset ? MinStartOffset : race->startOffset;
        nextLightEvent = static_cast<uint32_t>(offset) * 1000u - RedsBeforeGreenMs;
        AllLampsOff();
    }

    wind = {};
    if (race && !race->online) {
        if (race->windSetting != 0) {
            float speed = 0.0f;
            float direction = 0.0f;
            RandomWind(race->windSetting, speed, direction);
            SetWindBase(speed, direction);
        }
        RandomiseRedDelay(race);
    }
    UpdateWindVelocity(wind);
}

void World::RandomiseRedDelay(const StartRaceView *race)
{
    if (!race || race->raceLength == 0 || race->raceKind == QualifyingKind || race->layoutOwnStart || LayoutRouteLines.startOverride ||
        !closedKnowledgePath || startLightClock >= nextLightEvent) {
        return;
    }
    const uint32_t r = StepSharedRandom() % MaxRedDelayMs;
    const uint32_t left = nextLightEvent - startLightClock;
    redDelay = r < left ? r : left;
    nextLightEvent -= redDelay;
}

void World::StepStartLightsAndWind(const StartRaceView *race)
{
    StepWind(wind);

    if (startLightState < StartLightsGreen && startLightClock >= nextLightEvent) {
        if (startLightState < GreenLamp) {
            SetLampState(startLightState, 1);
            RefreshLamps();
            nextLightEvent += LampIntervalMs;
            if (startLightState == GreenLamp - 1) {
                nextLightEvent += redDelay;
            }
            ++startLightState;
        } else {
            StartLightsGo(race);
        }
    }
    startLightClock += TickMs;
}

void World::StartLightsGo(const StartRaceView *race)
{
    if (race && race->startWaitFlag) {
        *race->startWaitFlag = 0;
    }
    startLightState = StartLightsGreen;
    nextLightEvent = 0;
    AllLampsOff();
    SetLampState(GreenLamp, 1);
    if (!race || !race->slotCar) {
        return;
    }
    const int32_t slots = race->slotCount < MaxRaceSlots ? race->slotCount : MaxRaceSlots;
    for (int slot = 0; slot < slots; ++slot) {
        if (CarObject *car = race->slotCar(slot)) {
            car->StartRaceTiming();
        }
    }
}

void World::SetLampState(int lamp, int on)
{
    if (lamp < 0 || lamp > GreenLamp) {
        return;
    }
    const StartLamp &target = startLamps[lamp];
    const uint32_t colour = on ? target.onColour : target.offColour;
    for (uint32_t *word : target.boundColours) {
        if (word) {
            *word = colour;
        }
    }
}

void World::AllLampsOff()
{
    for (int lamp = 0; lamp <= GreenLamp; ++lamp) {
        SetLampState(lamp, 0);
    }
    RefreshLamps();
}

void World::ClearLampBindings()
{
    for (StartLamp &lamp : startLamps) {
        for (uint32_t *&word : lamp.boundColours) {
            word = nullptr;
        }
    }
}

void World::RefreshLamps()
{
    if (!GraphicsEnabled || DedicatedMode != DedicatedNone) {
        return;
    }
    // The three reds look alike: the second and third take the first's colours.
    for (int lamp = 1; lamp < GreenLamp; ++lamp) {
        startLamps[lamp].offColour = startLamps[0].offColour;
        startLamps[lamp].onColour = startLamps[0].onColour;
    }
    for (int i = 0; i < lampObjectCount && i < MaxLampObjects; ++i) {
        if (lampObjects[i]) {
            lampObjects[i]->ReleaseMeshForMove();
        }
    }
}
