// The race state of a car: what a race (re)start clears and restores, and
// the repair that goes with it.
#include <cstring>

#include "vehicle/car_object.h"

namespace {

constexpr float Pi = 3.14159265f;

template <typename T, size_t N>
void Zero(T (&array)[N]) {
    std::memset(array, 0, sizeof(array));
}

}  // namespace

void CarObject::ResetRaceState() {
    // 1. Timing starts over at the first line.
    raceTimeWord = -1;
    timingArmed = 1;
    rafState = 0;
    nextLine = 1;
    lastTime = 0;
    lapStartTick = 0;
    raceStartTick = 0;
    nextCheckpoint = 0;
    lastZone = 255;
    behindLine = 0;

    // 2. Race bytes, the aids and the pit and take-over state.
    lapLineCrossed = 0;
    secondCount = 0;
    resultRecorded = 0;
    finished = 0;
    startByte = 0;
    penaltyRequest = 0;
    penaltySent = 0;
    penalty = 0;
    pitLaneState = 0;
    tcOff = static_cast<uint8_t>(InitialTcOff());
    recentlyReset = 0;
    remoteHeld = 0;
    pitWorkStep = 0;
    pitWork = 0;
    pitNotice = 0;
    pitNoticeDelay = 0;
    pitStopPending = 0;
    stopped = 0;
    singleStep = 0;
    speedLimit = 0;
    announcePending = 0;
    ClearPitBytes();

    // 3. A remote car waits for its first record.
    remotePhase = isRemote != 0 ? -1 : 0;

    // 4. Laps, times and the lap's line times.
    startOffset = 0;
    raceTime = 0;
    confirmedLaps = 0;
    lapsDone = 0;
    Zero(lineTimes);
    countdown = 0;
    sinceStart = 0;
    lastSectorTime = 0;
    lapDistance = 0.0f;
    pitStopTicks = 0;
    pitStepEndTick = 0;

    // 5. A whole car with new tyres and a healthy engine.
    Repair(0, 1);

    // 6. An empty tank (the race fills it), and the flags.
    fuel = 0.0f;
    Zero(lapFuel);
    wrongWayCount = 0;
    blueFlagCount = 0;
    blueFlagCarId = 0;
    yellowFlagCount = 0;
    inputFlatCount = 0;
}

void CarObject::Repair(int wearLimit, int resetEngine) {
    // 1-2. No damage records; the undamaged shape back. The render objects
    // filled from dented meshes go and are built again on demand.
    if (bodyObject != nullptr && damageCount != 0)
        ReleaseSkinTextures();
    damageCount = 0;
    shapeRefreshPending = 0;
    RestoreShape(1);

    // 3.
    if (resetEngine)
        engine.ResetWear();

    // 4. Every wheel mended; worn tyres renewed; the set-up's toe.
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        const int axle = wheel.axleIndex != 0 ? 1 : 0;
        const bool worn = wheel.IsWorn(wearLimit);
        wheel.ClearDamage();
        if (worn)
            wheel.SetUp(axles[axle], isRemote != 0);
        if (setup != nullptr)
            wheel.toe = static_cast<float>(setup->axles[axle].toe - 9) * Pi * 0.005f / 9.0f;
    }

    // 5.
    if (setup != nullptr)
        ApplySpringSettings();
}

int CarObject::InitialTcOff() const {
    return aidFlags != 0 && setup != nullptr && (setup->flags & SetupTractionControl) == 0 ? 1 : 0;
}

void CarObject::ClearPitBytes() {
    takeOverIds[0] = 255;
    takeOverIds[1] = 255;
}

void CarObject::SetAxleFlat(int axle) {
    for (int i = 0; i < wheelCount; i++)
        if (static_cast<int>(wheels[i].axleIndex) == axle)
            wheels[i].flat = 1;
}

void CarObject::RenewWornTyres(int limit) {
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        if (wheel.IsWorn(limit))
            wheel.SetUp(axles[wheel.axleIndex != 0 ? 1 : 0], isRemote != 0);
    }
}
