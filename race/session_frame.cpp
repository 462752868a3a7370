#include "race/session_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/controls.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "race/game_state.h"
#include "race/game_session.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "vehicle/car_object.h"
#include "render/render_device.h"
#include "render/screen_modes.h"

void ShowReplaySpeed()
{
    if (GameSessionPtr == nullptr) {
        return;
    }
    // Within 0.1 of normal speed is normal speed.
    if (GameSpeed > 0.9f && GameSpeed < 1.1f) {
        GameSpeed = 1.0f;
    }
    if (RaceLinks.showReplaySpeed != nullptr) {
        RaceLinks.showReplaySpeed(GameSpeed);
    }
}

void DrawBackgroundScreen()
{
    // A frame that has begun already is left as it is.
    if (FrameBegun) {
        return;
    }
    SyncGpuFrame();
    NoDrawFlag |= BeginDrawFrame();
    if (!NoDrawFlag) {
        ClearFrame(0, ClearTarget | ClearZBuffer);
    }
}

void ReadControlsWithoutSession()
{
    if (GameSessionPtr == nullptr) {
        ReadControlInputs();
    }
}

void HalveReplaySpeed()
{
    if (GameSpeed >= 0.126f) {
        GameSpeed *= 0.5f;
    }
    ShowReplaySpeed();
}

void DoubleReplaySpeed()
{
    if (GameSpeed < 31.9f) {
        GameSpeed *= 2.0f;
    }
    ShowReplaySpeed();
}

uint32_t Paused = 0;
uint32_t FrameTimes[16] = {};
float FrameRate = 0.0f;
uint32_t SeekActive = 0;
int32_t SeekTarget = 0;
uint32_t SeekFast = 0;
NearCar NearestCars[4] = {};
int NearestCarCount = 0;
float SoundFade = 1.0f;
float ForceLevel = 0.0f;
int32_t ForceSent = 0;
int32_t ForceHoldFrames = 0;

void TogglePause()
{
    Paused ^= 1u;
}

void Unpause()
{
    if (Paused) {
        TogglePause();
    }
}

void RecordFrameTime(uint32_t wallMilliseconds)
{
    uint32_t sum = wallMilliseconds;
    for (int i = 15; i > 0; --i) {
        FrameTimes[i] = FrameTimes[i - 1];
        sum += FrameTimes[i];
    }
    FrameTimes[0] = wallMilliseconds;
    FrameRate = sum == 0 ? 0.0f : 16.0f / (static_cast<float>(sum) * 0.001f);
}

void TickFlagAndLeft(uint32_t due, uint32_t framesRun, int n, int *flag, int *left)
{
    *left = static_cast<int32_t>(due - framesRun) + 1;
    *flag = 0;
    if (*left < 2) {
        *left = 1;
        *flag = n == 0 ? 2 : 1;
    }
}

void SetSeekClock(int slotCount)
{
    const RaceObject *race = RaceObjectPtr;
    if (!SeekActive || race == nullptr) {
        return;
    }
    int32_t d = SeekTarget - static_cast<int32_t>(race->tick);
    if (!MultiplayerReplayPlaying) {
        const int32_t cap = 1024 / std::max(1, slotCount);
        d = std::min(d, cap);
        GameClock = InitTime + (SessionFrameCount + static_cast<uint32_t>(d)) * 10u;
        return;
    }
    if (d <= 128) {
        SeekFast = 0;
    } else {
        d = std::min(d - 128, 4096);
        SeekFast = 1;
    }
    GameClock = InitTime + (race->tick + static_cast<uint32_t>(d)) * 10u;
}

namespace {

void InsertNearCar(CarObject *car, float distanceSquared)
{
    int at = NearestCarCount;
    while (at > 0 && NearestCars[at - 1].distanceSquared > distanceSquared) {
        --at;
    }
    if (at >= 4) {
        return;
    }
    const int last = std::min(NearestCarCount, 3);
    for (int i = last; i > at; --i) {
        NearestCars[i] = NearestCars[i - 1];
    }
    NearestCars[at] = NearCar{car, distanceSquared};
    NearestCarCount = std::min(NearestCarCount + 1, 4);
}

float SquaredMetres(const int32_t a[3], const int32_t b[3])
{
    float sum = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const float d = static_cast<float>(static_cast<int64_t>(a[i]) - b[i]) * (1.0f / 65536.0f);
        sum += d * d;
    }
    return sum;
}

}  // namespace

void NearestCarsToCar(const CarObject *car)
{
    NearestCarCount = 0;
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr || car == nullptr) {
        return;
    }
    const int32_t from[3] = {car->position.x, car->position.y, car->position.z};
    for (int i = 0; i < race->slotCount; ++i) {
        CarObject *other = race->slots[i].car;
        if (other == nullptr || other == car) {
            continue;
        }
        const int32_t at[3] = {other->position.x, other->position.y, other->position.z};
        InsertNearCar(other, SquaredMetres(from, at));
    }
}

void NearestCarsToEye(const int32_t eye[3])
{
    NearestCarCount = 0;
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        CarObject *other = race->slots[i].car;
        if (other == nullptr || (RaceLinks.carHeard != nullptr && !RaceLinks.carHeard(other))) {
            continue;
        }
        const int32_t at[3] = {other->position.x, other->position.y, other->position.z};
        InsertNearCar(other, SquaredMetres(eye, at));
    }
}

float SoundFadeFor(int heardCars, int density, int freeOrFixedView)
{
    if (freeOrFixedView || density == 0) {
        return 1.0f;
    }
    float base = 1.0f - static_cast<float>(heardCars - 4) * static_cast<float>(density) * 0.008064516f;
    // A crowd large enough to take the base below 0 is as quiet as it gets,
    // not louder again.
    base = std::clamp(base, 0.0f, 1.0f);
    return std::max(base * base, 0.1f);
}

int SteerForceFrame(float f, float speedStep, int steps, void (*send)(float level))
{
    const float w = std::clamp(0.2f * speedStep, 0.2f, 1.0f);
    ForceLevel = w * std::clamp(f, -1.0f, 1.0f) + (1.0f - w) * ForceLevel;
    const int32_t k = static_cast<int32_t>(std::nearbyint(static_cast<float>(steps) * ForceLevel));
    const int32_t d = std::abs(k - ForceSent);
    if (d == 0) {
        return 0;
    }
    ++ForceHoldFrames;
    const int32_t hold = d < 3 ? 16 : d < 6 ? 8 : d < 12 ? 4 : d < 24 ? 2 : 1;
    if (ForceHoldFrames < hold) {
        return 0;
    }
    ForceHoldFrames = 0;
    ForceSent = k;
    if (send != nullptr && steps > 0) {
        send(static_cast<float>(k) / static_cast<float>(steps));
    }
    return 1;
}

int ForceFeedbackFrame(const CarObject &car, int steerForceTime, void (*send)(float level))
{
    const float torque = car.sideSteerTorque[0] + car.sideSteerTorque[1];
    const float f = static_cast<float>(steerForceTime) * 0.0005f * FfStrength * torque * 0.0002f;
    return SteerForceFrame(f, car.speedStep, FfStepNum, send);
}

void HoldDisplayAfterStart(GameSession &session)
{
    if (TopDisplayMode() == DisplayModeMenuOver || session.displayHeld) {
        return;
    }
    PushDisplayMode(DisplayModeMenuOver);
    session.displayHeld = 1;
}

void EndSeek(GameSession &session, int)
{
    SeekFast = 0;
    SeekTarget = 0;
    SeekActive = 0;
    if (session.pauseAfterSeek) {
        TogglePause();
    }
}
