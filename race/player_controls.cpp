#include "race/player_controls.h"

#include <cmath>

#include "core/controls.h"
#include "vehicle/fix_convert.h"
#include "core/float_math.h"
#include "core/main_window.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"

uint32_t LookModeSetting = 0;
float MouseLookFactor = 1.0f;
float MouseLookResponse = 0.0f;
uint32_t LookAxisOption = 0;

namespace {

constexpr float Pi = 3.14159265f;
constexpr float DegreesToRadians = 0.017453292f;
// The most a keyboard steering angle moves in one tick (radians).
constexpr float KeyboardSteerStep = 0.016f;
// Game time of one tick (ms): the shift timers count down by it.
constexpr int TickMilliseconds = 10;
// The H-pattern gearbox kind.
constexpr int GearboxHPattern = 1;

float Clamp(float x, float low, float high)
{
    return x < low ? low : (x > high ? high : x);
}

int ChildOpen()
{
    return RaceLinks.ownerHasChild != nullptr && RaceLinks.ownerHasChild() != 0 ? 1 : 0;
}

// Keyboard keys count only while no child page is open over the session.
int Held(int function)
{
    return IsControlDown(function, ChildOpen() ? 0 : 1) ? 1 : 0;
}

CarObject *Driven(GameSession &session)
{
    return session.drivenCar;
}

// The car's steering lock from its set-up, in radians (0 without a set-up).
float SteerLock(const CarObject *car)
{
    if (car == nullptr || car->setup == nullptr) {
        return 0.0f;
    }
    return static_cast<float>(car->setup->maxLock) * DegreesToRadians;
}

uint16_t WordOfFraction(float x)
{
    int word = RoundToInt(x * 32767.0f) + 32768;
    if (word < 1) {
        word = 1;
    } else if (word > 65535) {
        word = 65535;
    }
    return static_cast<uint16_t>(word);
}

uint16_t WordOfPedal(float value)
{
    int word = RoundToInt(Clamp(value, 0.0f, 1.0f) * 65535.0f);
    return static_cast<uint16_t>(word < 0 ? 0 : (word > 65535 ? 65535 : word));
}

// The speed sensitivity factor (1 - s) + s / (speed / sensitivity speed + 1).
float SpeedFactor(float s, float speed, float sensitivitySpeed)
{
    if (s == 0.0f || sensitivitySpeed <= 0.0f) {
        return 1.0f;
    }
    return (1.0f - s) + s / (speed / sensitivitySpeed + 1.0f);
}

// The keyboard steering angle moved towards target without overshooting.
void MoveKeyboardSteer(GameSession &session, float target, float rate)
{
    const float step = rate * 0.01f;
    float &angle = session.keyboardSteer;
    if (angle < target) {
        angle = angle + step > target ? target : angle + step;
    } else if (angle > target) {
        angle = angle - step < target ? target : angle - step;
    }
}

float KeyboardRate(int left, int right, const CarObject *car)
{
    float rate = left || right ? KbSteerRate : KbReturnRate;
    if (Held(FunctionSteerFast)) {
        rate *= KbFastMul;
    }
    if (Held(FunctionSteerSlow)) {
        rate *= KbSlowMul;
    }
    return rate * SpeedFactor(SpeedSteerReductionKb, car->speed, HalfReduceSpeedKb);
}

// The car's heading and travel: forward speed, planar speed squared and the
// slip angle (heading to travel, positive to the left).
struct CarTravel {
    float forwardSpeed;
    float planarSquared;
    float slip;
};

CarTravel TravelOf(const CarObject *car)
{
    CarTravel travel = {0.0f, 0.0f, 0.0f};
    const float *m = car->orientation;
    // The forward axis is the second column of the orientation.
    const float fx = m[1];
    const float fy = m[4];
    const float fz = m[7];
    const float vx = car->velocity[0];
    const float vy = car->velocity[1];
    const float vz = car->velocity[2];
    travel.forwardSpeed = fx * vx + fy * vy + fz * vz;
    travel.planarSquared = vx * vx + vy * vy;
    const float forwardPlanar = fx * fx + fy * fy;
    if (travel.planarSquared > 0.0f && forwardPlanar > 0.0f) {
        const float norm = std::sqrt(travel.planarSquared) * std::sqrt(forwardPlanar);
        const float cross = (fx * vy - fy * vx) / norm;
        travel.slip = cross >= -1.0f && cross <= 1.0f ? FloatAsin(cross) : 0.0f;
    }
    return travel;
}

// The largest slip of the car's wheels (a tangent).
float LargestWheelSlip(const CarObject *car)
{
    float largest = 0.0f;
    for (int i = 0; i < car->wheelCount && car->wheels != nullptr; ++i) {
        const float slip = car->wheels[i].peakSlip < 0.0f ? -car->wheels[i].peakSlip : car->wheels[i].peakSlip;
        if (slip > largest) {
            largest = slip;
        }
    }
    return largest;
}

uint16_t KeyboardSteering(GameSession &session, const CarObject *car, uint16_t current)
{
    const float lock = SteerLock(car);
    if (lock <= 0.0f) {
        return 32768;
    }
    const int left = Held(FunctionSteerLeft);
    const int right = Held(FunctionSteerRight);
    const float rate = KeyboardRate(left, right, car);
    float angle;
    if (SteerKb == 1) {
        if (!(left && right)) {
            MoveKeyboardSteer(session, left ? lock : (right ? -lock : 0.0f), rate);
        }
        angle = session.keyboardSteer;
    } else {
        float centre = 0.0f;
        float leftLimit = lock;
        float rightLimit = -lock;
        const CarTravel travel = TravelOf(car);
        if (!(travel.planarSquared < 1.0f || travel.forwardSpeed < 1.0f)) {
            const float a = travel.slip;
            const float m = FloatAtan(LargestWheelSlip(car)) * KbLimitMul;
            leftLimit = a + m > m ? a + m : m;
            rightLimit = -m < a - m ? -m : a - m;
            centre = a / 2.0f;
            if (travel.forwardSpeed < 9.0f) {
                const float t = (travel.forwardSpeed - 1.0f) / 8.0f;
                centre = centre * t;
                leftLimit = lock + (leftLimit - lock) * t;
                rightLimit = -lock + (rightLimit + lock) * t;
            }
        }
        if (!(left && right)) {
            MoveKeyboardSteer(session, left ? leftLimit - centre : (right ? rightLimit - centre : 0.0f), rate);
        }
        angle = centre + session.keyboardSteer;
    }
    // At most 0.016 rad from the angle the car steers now.
    const float now = -(static_cast<float>(current) - 32768.0f) / 32767.0f * lock;
    angle = Clamp(angle, now - KeyboardSteerStep, now + KeyboardSteerStep);
    return WordOfFraction(-Clamp(angle / lock, -1.0f, 1.0f));
}

// A pedal from its axis (dead zone below 5 %, full at `full`), or from its
// key with the ramp. Axis values are spread, the keyboard written at once
// (the clutch key is spread too).
uint16_t Pedal(GameSession &session, float &value, bool axis, float axisValue, float gain, int function,
               bool keyIsClutch, int ticksLeft, uint16_t current)
{
    if (session.displayHeld || Driven(session) == nullptr) {
        return 0;
    }
    if (axis) {
        value = Clamp((axisValue - 0.05f) * gain, 0.0f, 1.0f);
        return SpreadOverFrame(current, WordOfPedal(value), ticksLeft);
    }
    const float step = 0.01f * ThrBrkRate;
    if (keyIsClutch) {
        value = Held(function) ? 1.0f : Clamp(value - step, 0.0f, 1.0f);
        return SpreadOverFrame(current, WordOfPedal(value), ticksLeft);
    }
    value = Clamp(Held(function) ? value + step : value - step, 0.0f, 1.0f);
    return WordOfPedal(value);
}

// The shift word with its debounce timer: a press while the timer is 0
// starts the debounce time, and the word holds while the timer runs. The
// timer counts game time, one tick at a time.
uint16_t ShiftWord(int32_t &timer, int pressed)
{
    if (pressed && timer == 0) {
        timer = Debounce;
    }
    const uint16_t word = timer > 0 ? 1 : 0;
    const int32_t next = timer - TickMilliseconds;
    const int32_t floor = pressed ? 1 : 0;
    timer = next > floor ? next : floor;
    return word;
}

// 1 on the tick the control goes down.
uint16_t PressEdge(uint8_t &edge, int pressed)
{
    const uint16_t word = pressed && !edge ? 1 : 0;
    edge = static_cast<uint8_t>(pressed ? 1 : 0);
    return word;
}

}  // namespace

float ApplyResponseCurve(float x, float k)
{
    if (k == 0.0f) {
        return x;
    }
    return k * x * x * x + (1.0f - k) * x;
}

uint16_t SpreadOverFrame(uint16_t current, uint16_t value, int ticksLeft)
{
    if (ticksLeft <= 1) {
        return value;
    }
    return static_cast<uint16_t>(((ticksLeft - 1) * static_cast<int>(current) + value) / ticksLeft);
}

uint16_t ReadSteeringInput(GameSession &session, int ticksLeft, uint16_t current)
{
    CarObject *car = Driven(session);
    if (session.displayHeld || car == nullptr) {
        return 32768;
    }
    const bool mouse = ControlType == 0;
    if (mouse && (SteerKb == 1 || SteerKb == 2)) {
        return KeyboardSteering(session, car, current);
    }
    float x;
    if (mouse) {
        if (ChildOpen()) {
            return 32768;
        }
        x = Clamp(MouseFracX, -1.0f, 1.0f);
    } else {
        x = ControlInputs.steer;
    }
    session.steerFiltered = SteerSmooth * session.steerFiltered + (1.0f - SteerSmooth) * x;
    x = session.steerFiltered;
    x = x * SpeedFactor(SpeedSteerReductionWm, car->speed, HalfReduceSpeedWm);
    if (mouse) {
        x = ApplyResponseCurve(x, MouseNonLinear);
    } else if (TurnCompensation != 0.0f) {
        const float fullLock = SteerLock(car) * 114.59155f;
        const float range = WheelTurn;
        if (fullLock > 0.0f && range > 0.0f) {
            if (fullLock <= range) {
                const float share = fullLock / range;
                x = Clamp(x, -share, share) / share;
            } else {
                x = ApplyResponseCurve(x, (1.0f - range / fullLock) * TurnCompensation);
            }
        }
    }
    return SpreadOverFrame(current, WordOfFraction(Clamp(x, -1.0f, 1.0f)), ticksLeft);
}

uint16_t ReadPedalAxis(GameSession &session, int ticksLeft, uint16_t current)
{
    const bool axis = ControlType == 1 && PedalAxesMode != 2;
    return Pedal(session, session.pedalThrottle, axis, ControlInputs.throttle, 1.1111112f, FunctionAccelerate,
                 false, ticksLeft, current);
}

uint16_t ReadBrakeAxis(GameSession &session, int ticksLeft, uint16_t current)
{
    const bool axis = ControlType == 1 && PedalAxesMode != 2;
    return Pedal(session, session.pedalBrake, axis, ControlInputs.brake, 1.1111112f, FunctionBrake, false, ticksLeft,
                 current);
}

uint16_t ReadClutchAxis(GameSession &session, int ticksLeft, uint16_t current)
{
    const bool axis = ControlType == 1 && ClutchControl == 0;
    return Pedal(session, session.pedalClutch, axis, ControlInputs.clutch, 1.6666666f, FunctionClutch, true,
                 ticksLeft, current);
}

uint16_t ReadHandbrakeAxis(GameSession &session, int ticksLeft, uint16_t current)
{
    const bool axis = ControlType == 1 && HandbrakeControl == 0;
    return Pedal(session, session.pedalHandbrake, axis, ControlInputs.handbrake, 1.1111112f, FunctionHandbrake, false,
                 ticksLeft, current);
}

uint8_t ReadShifterGear(GameSession &session)
{
    const CarObject *car = Driven(session);
    if (ControlType != 1 || ShifterMode != 2 || car == nullptr || car->gearboxKind != GearboxHPattern) {
        return 255;
    }
    for (int function = FunctionReverse; function <= FunctionFirstGear + 6; ++function) {
        if (!IsControlDown(function, ChildOpen() ? 0 : 1)) {
            continue;
        }
        if (function == FunctionReverse) {
            return 0;
        }
        int gear = function - 20;
        if (gear > car->gearCount - 1) {
            gear = car->gearCount - 1;
        }
        return static_cast<uint8_t>(gear < 2 ? 2 : gear);
    }
    return 1;
}

uint8_t LookDirectionOfAngle(float a)
{
    const float wide = 3.0f * Pi / 8.0f;
    const float narrow = Pi / 8.0f;
    if (a < -wide) {
        return 7;
    }
    if (a < -narrow) {
        return 6;
    }
    if (a > wide) {
        return 5;
    }
    if (a > narrow) {
        return 4;
    }
    return 0;
}

uint8_t ReadLookDirection(GameSession &session)
{
    if (session.viewedCar == nullptr || session.viewedCar != session.drivenCar) {
        return 0;
    }
    float a;
    switch (LookModeSetting) {
    case 0:
        if (LookAxisOption && AxisBindingTable[AxisLookHeading].axis != AxisNone) {
            a = -ControlInputs.lookHeading * Pi;
            if (AxisBindingTable[AxisLookPitch].axis == AxisNone && AxisBindingTable[AxisLookRoll].axis == AxisNone) {
                a += session.lookAngle;
            }
        } else {
            a = session.lookTarget;
        }
        break;
    case 1:
        a = session.lookAngle;
        break;
    default:
        a = session.pointerTracking
                ? Pi * ApplyResponseCurve(Clamp(MouseFracX * MouseLookFactor, -1.0f, 1.0f), MouseLookResponse)
                : 0.0f;
        break;
    }
    return LookDirectionOfAngle(a);
}

int IsHornPressed(GameSession &session)
{
    const CarObject *car = Driven(session);
    const int child = ChildOpen();
    if ((ControlType == 0 && child) || car == nullptr || !car->IsNormalState()) {
        return 0;
    }
    return IsControlDown(FunctionHorn, !child && !ShiftHeld ? 1 : 0) ? 1 : 0;
}

int IsFlashPressed(GameSession &session)
{
    const int child = ChildOpen();
    if ((ControlType == 0 && child) || Driven(session) == nullptr) {
        return 0;
    }
    return IsControlDown(FunctionFlash, !child && !ShiftHeld ? 1 : 0) ? 1 : 0;
}

void ApplyPlayerControls(GameSession &session, int ticksLeft)
{
    CarObject *car = session.drivenCar;
    if (car == nullptr) {
        return;
    }
    uint16_t *words = car->inputs;
    // 1.
    words[0] = ReadSteeringInput(session, ticksLeft, words[0]);
    words[1] = ReadPedalAxis(session, ticksLeft, words[1]);
    words[2] = ReadBrakeAxis(session, ticksLeft, words[2]);
    words[11] = ReadClutchAxis(session, ticksLeft, words[11]);
    words[12] = ReadHandbrakeAxis(session, ticksLeft, words[12]);
    // 2.
    if (session.displayHeld) {
        words[3] = 0;
        words[4] = 0;
    } else {
        words[3] = ShiftWord(session.shiftUpTime, Held(FunctionShiftUp));
        words[4] = ShiftWord(session.shiftDownTime, Held(FunctionShiftDown));
    }
    // 3.
    if (PressEdge(session.resetEdge, Held(FunctionResetCar))) {
        car->SendPositionPacket(1);
    }
    // 4.
    words[16] = PressEdge(session.limiterEdge, Held(FunctionSpeedLimiter));
    words[17] = PressEdge(session.tractionEdge, Held(FunctionTractionControl));
    words[5] = PressEdge(session.ignitionEdge, Held(FunctionIgnition));
    // 5.
    words[7] = session.keySignalA;
    words[13] = session.keySignalB;
    // 6.
    words[14] = ReadShifterGear(session);
    words[15] = ReadLookDirection(session);
    // 7.
    const uint8_t horn = IsHornPressed(session) ? static_cast<uint8_t>(HornType + 1) : 0;
    const uint8_t flash = static_cast<uint8_t>(IsFlashPressed(session));
    words[9] = horn;
    words[10] = flash;
    // 8.
    if (OnlineFlag && GameState == 2) {
        if (horn != session.hornSent) {
            const uint8_t packet[4] = {30, horn, 0, 0};
            RaceQueuePacket(packet, sizeof(packet));
            session.hornSent = horn;
            session.hornChanged = 1;
        }
        if (flash != session.flashSent) {
            const uint8_t packet[4] = {31, flash, 0, 0};
            RaceQueuePacket(packet, sizeof(packet));
            session.flashSent = flash;
            session.flashChanged = 1;
        }
    }
    session.keySignalA = 0;
    session.keySignalB = 0;
}
