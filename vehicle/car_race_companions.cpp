// Small race-time duties of the car that need nothing above the vehicle
// code: the pit-side idle check, the wheel-load average of the statistics,
// and the answers the head-up display and the skin checks ask for.

#include <cstring>

#include "core/text_utils.h"
#include "vehicle/car_object.h"

namespace {

constexpr uint32_t IdleTicks = 4000;        // 40 s after the last stop or control touch
constexpr int NoStarterClass = 10;
constexpr float PedalFactor = 1.5259022e-05f;  // input word to 0..1
constexpr uint16_t FullHandbrake = 65535;
constexpr uint8_t NeutralGear = 1;
constexpr int ClutchInput = 11;
constexpr int HandbrakeInput = 12;
constexpr uint32_t TimingShownTicks = 1200;

// Bounded copy of a 16-byte name field, terminated.
void NameField(char out[17], const char *field) {
    std::memcpy(out, field, 16);
    out[16] = 0;
}

} // namespace

void CarObject::IdleAfterStopCheck() {
    if (stepCount - lastInputTick <= IdleTicks)
        return;
    if (engine.running != 0 && vehicleClass != NoStarterClass)
        engine.Stop();
    if (gear == NeutralGear || static_cast<float>(inputs[ClutchInput]) * PedalFactor > 0.9f)
        inputs[HandbrakeInput] = FullHandbrake;
}

void CarObject::UpdateWheelLoadAverage(float dt) {
    // The mean of load x grip over the wheels on the ground.
    float sum = 0.0f;
    int count = 0;
    for (int i = 0; i < wheelCount && wheels != nullptr; i++) {
        const CarWheel &wheel = wheels[i];
        if (wheel.inContact != 0 && wheel.frictionLimit > 0.0f) {
            sum += wheel.frictionLimit;
            count++;
        }
    }
    const float mean = count > 0 ? sum / static_cast<float>(count) : 0.0f;
    wheelLoadTotal += static_cast<int64_t>(dt * 65536.0f * mean);
    wheelLoadSmoothed = wheelLoadSmoothed * 0.95f + mean * 0.05f;

    const float idle = engine.idleSpeed;
    const float range = engine.maxSpeed - idle;
    if (!(idle > 0.0f))
        engineSpeedRatio = 0.0f;
    else if (engine.speed < idle)
        engineSpeedRatio = 2.0f * engine.speed / idle;
    else
        engineSpeedRatio = range > 0.0f ? 2.0f + 5.0f * (engine.speed - idle) / range : 2.0f;
}

int CarObject::RecentTimingEvent() const {
    if (stepCount - lapStartTick < TimingShownTicks)
        return lapsDone > 0 ? 1 : 0;
    // The last timing line was crossed sinceStart ticks after the start.
    const uint32_t mark = raceStartTick + sinceStart;
    return stepCount - mark <= TimingShownTicks ? 1 : 0;
}

int CarObject::NoFrontWheelFlagged() const {
    for (int i = 0; i < 2 && i < wheelCount && wheels != nullptr; i++) {
        if (wheels[i].flat & 1)
            return 0;
    }
    return 1;
}

int CarObject::SkinDiffers(const char *name) const {
    if (name == nullptr)
        return 1;
    char first[17] = {};
    char second[17];
    if (colours != nullptr)
        NameField(first, colours->skin);
    NameField(second, secondSkinName);
    if (EqualsNoCase(name, first))
        return 0;
    if (second[0] != 0 && EqualsNoCase(name, second))
        return 0;
    return 1;
}
