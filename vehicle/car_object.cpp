#include "vehicle/car_object.h"

#include <cmath>
#include <cstring>

#include "vehicle/fix_convert.h"

CarObject::CarObject() : RigidBody(1, 0, nullptr) {
    mass = 1200.0f;
    std::memset(inputs, 0, sizeof(inputs));
    inputs[0] = 32768;
    inputs[14] = 255;
    speed = 0.0f;
    engine.Clear();
    engine.SetDefaults();
    stepCount = 0;
    isRemote = 0;
    standstillCount = 0;
    lastInputActivity = 0;
    raceStartTick = 0;
    lapStartTick = 0;
    nextLine = 0;
    for (int k = 0; k < 3; k++) {
        airDirection[k] = 0.0f;
        wake[k] = 0.0f;
        wakeVelocity[k] = 0.0f;
    }
    dragTotal = 0.0f;
    std::memset(wings, 0, sizeof(wings));
}

int CarObject::GetType() const {
    return 1;
}

// The car's own step does not exist yet: the car stays where it is.
void CarObject::Step(float dt, float gravity) {
    (void)dt;
    (void)gravity;
}

int32_t CarObject::InputActivity() const {
    int32_t sum = inputs[0] + inputs[1] + inputs[2] + inputs[11] + inputs[12];
    if (inputs[3] != 0 || inputs[4] != 0 || inputs[9] != 0 || inputs[10] != 0)
        sum += 1024;
    return sum;
}

// Filled by the car model and its state flags.
void CarObject::RestingStep() {
}

void CarObject::UpdateStateFlags() {
}

void CarObject::StepCycleTimer() {
}

// Nothing of the car is drawn yet.
void CarObject::ResetDrawState() {
}

void CarObject::AddTouchedObject(WorldObject *object) {
    (void)object;
}

int IsCarResting(uint16_t startRequest, float speed, float engineSpeed, int32_t inputActivity,
                 int32_t lastInputActivity) {
    if (startRequest != 0)
        return 0;
    // Exactly +0.0: -0.0 compares equal to 0.0 but has another bit pattern.
    uint32_t speedBits, engineBits;
    std::memcpy(&speedBits, &speed, 4);
    std::memcpy(&engineBits, &engineSpeed, 4);
    if (speedBits != 0 || engineBits != 0)
        return 0;
    const int64_t change = static_cast<int64_t>(inputActivity) - lastInputActivity;
    return change > -512 && change < 512 ? 1 : 0;
}

int ApplySlipstream(const FixVector &followerPosition, AeroSurface wings[4], const FixVector &leaderPosition,
                    const float airDirection[3], const float wake[3], const float wakeVelocity[3],
                    float dragTotal) {
    if (!(std::fabs(airDirection[2]) < 0.5f))
        return 0;
    const float d[3] = {
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(followerPosition.x) - static_cast<uint32_t>(leaderPosition.x))),
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(followerPosition.y) - static_cast<uint32_t>(leaderPosition.y))),
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(followerPosition.z) - static_cast<uint32_t>(leaderPosition.z))),
    };
    const float along = d[0] * airDirection[0] + d[1] * airDirection[1] + d[2] * airDirection[2];
    const float across = std::fabs(d[0] * airDirection[1] - d[1] * airDirection[0]);
    const float halfWidth = wake[0];
    const float reachAlong = wake[1];
    const float reachAgainst = wake[2];
    if (!(reachAgainst < along && along < reachAlong && across < halfWidth))
        return 0;
    const float reach = along > 0.0f ? reachAlong : reachAgainst;
    const float a = along / reach;
    const float b = across / halfWidth;
    const float q = a * a + b * b;
    if (!(q < 1.0f))
        return 0;
    for (int i = 0; i < 4; i++) {
        AeroSurface &surface = wings[i];
        if ((surface.flags & 1) == 0)
            continue;
        const float f = (1.0f - q) * dragTotal * surface.wakeGain;
        for (int k = 0; k < 3; k++)
            surface.wakeInflow[k] += f * wakeVelocity[k];
    }
    return 1;
}
