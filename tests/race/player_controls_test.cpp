#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/controllers.h"
#include "core/controls.h"
#include "core/main_window.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "platform/fake_controllers.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/player_controls.h"
#include "race/race_links.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"

namespace {

// Keys bound to the functions the tests press.
constexpr int KeyLeft = 'A';
constexpr int KeyRight = 'D';
constexpr int KeyThrottle = 'W';
constexpr int KeyBrake = 'S';
constexpr int KeyClutch = 'C';
constexpr int KeyShiftUp = 'E';
constexpr int KeyIgnition = 'I';
constexpr int KeyLimiter = 'L';
constexpr int KeyHorn = 'H';
constexpr int KeyFirstGear = '1';

// A session driving a bare car with a set-up of 30 degrees of lock; the
// settings and bindings the controls read are saved and put back.
class PlayerControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLinks = RaceLinks;
        RaceLinks = RaceLinkServices{};
        std::memcpy(savedKeys, KeyBindingTable, sizeof(savedKeys));
        std::memcpy(savedAxes, AxisBindingTable, sizeof(savedAxes));
        saved = {ControlType, SteerKb, ThrBrkRate, KbSteerRate, KbReturnRate, KbFastMul, KbSlowMul, KbLimitMul,
                 TurnCompensation, MouseNonLinear, SteerSmooth, SpeedSteerReductionWm, HalfReduceSpeedWm,
                 SpeedSteerReductionKb, HalfReduceSpeedKb, Debounce, WheelTurn, PedalAxesMode, ClutchControl,
                 HandbrakeControl, ShifterMode, HornType, ControlInputs};
        for (KeyBinding &binding : KeyBindingTable) {
            binding = {-1, -1};
        }
        for (AxisBinding &binding : AxisBindingTable) {
            binding = {AxisNone, 0};
        }
        KeyBindingTable[FunctionSteerLeft].key = KeyLeft;
        KeyBindingTable[FunctionSteerRight].key = KeyRight;
        KeyBindingTable[FunctionAccelerate].key = KeyThrottle;
        KeyBindingTable[FunctionBrake].key = KeyBrake;
        KeyBindingTable[FunctionClutch].key = KeyClutch;
        KeyBindingTable[FunctionShiftUp].key = KeyShiftUp;
        KeyBindingTable[FunctionIgnition].key = KeyIgnition;
        KeyBindingTable[FunctionSpeedLimiter].key = KeyLimiter;
        KeyBindingTable[FunctionHorn].key = KeyHorn;
        for (int g = 0; g < 7; ++g) {
            KeyBindingTable[FunctionFirstGear + g].key = KeyFirstGear + g;
        }
        KeyBindingTable[FunctionReverse].key = 'R';
        std::memset(KeyState, 0, sizeof(KeyState));
        ControlInputs = {};
        ControlType = 1;
        SteerKb = 0;
        PedalAxesMode = 1;
        ClutchControl = 0;
        HandbrakeControl = 0;
        SteerSmooth = 0.0f;
        SpeedSteerReductionWm = 0.0f;
        SpeedSteerReductionKb = 0.0f;
        TurnCompensation = 0.0f;
        MouseNonLinear = 0.0f;
        ThrBrkRate = 10.0f;
        KbSteerRate = 2.0f;
        KbReturnRate = 2.0f;
        KbFastMul = 1.0f;
        KbSlowMul = 1.0f;
        Debounce = 60;
        HornType = 2;

        setup = CarSetup{};
        setup.maxLock = 30;
        car = new CarObject;
        car->setup = &setup;
        car->gearboxKind = 1;
        car->gearCount = 8;  // reverse, neutral and six gears
        session = new GameSession;
        session->drivenCar = car;
        session->viewedCar = car;
    }
    void TearDown() override {
        delete session;
        delete car;
        RaceLinks = savedLinks;
        std::memcpy(KeyBindingTable, savedKeys, sizeof(savedKeys));
        std::memcpy(AxisBindingTable, savedAxes, sizeof(savedAxes));
        ControlType = saved.controlType;
        SteerKb = saved.steerKb;
        ThrBrkRate = saved.thrBrkRate;
        KbSteerRate = saved.kbSteerRate;
        KbReturnRate = saved.kbReturnRate;
        KbFastMul = saved.kbFastMul;
        KbSlowMul = saved.kbSlowMul;
        KbLimitMul = saved.kbLimitMul;
        TurnCompensation = saved.turnCompensation;
        MouseNonLinear = saved.mouseNonLinear;
        SteerSmooth = saved.steerSmooth;
        SpeedSteerReductionWm = saved.speedWm;
        HalfReduceSpeedWm = saved.halfWm;
        SpeedSteerReductionKb = saved.speedKb;
        HalfReduceSpeedKb = saved.halfKb;
        Debounce = saved.debounce;
        WheelTurn = saved.wheelTurn;
        PedalAxesMode = saved.pedalAxesMode;
        ClutchControl = saved.clutchControl;
        HandbrakeControl = saved.handbrakeControl;
        ShifterMode = saved.shifterMode;
        HornType = saved.hornType;
        ControlInputs = saved.inputs;
        std::memset(KeyState, 0, sizeof(KeyState));
    }

    void Press(int key, bool down) { KeyState[key] = down ? 1 : 0; }

    // One frame of n ticks, as the session runs them: the words after each.
    std::vector<std::vector<uint16_t>> Frame(int n) {
        std::vector<std::vector<uint16_t>> words;
        for (int left = n; left >= 1; --left) {
            ApplyPlayerControls(*session, left);
            words.emplace_back(car->inputs, car->inputs + 18);
        }
        return words;
    }

    struct Saved {
        int controlType, steerKb;
        float thrBrkRate, kbSteerRate, kbReturnRate, kbFastMul, kbSlowMul, kbLimitMul, turnCompensation,
            mouseNonLinear, steerSmooth, speedWm, halfWm, speedKb, halfKb;
        int debounce;
        float wheelTurn;
        uint32_t pedalAxesMode, clutchControl, handbrakeControl;
        uint8_t shifterMode, hornType;
        ControlInputValues inputs;
    } saved{};
    RaceLinkServices savedLinks{};
    KeyBinding savedKeys[ButtonFunctionCount];
    AxisBinding savedAxes[AxisFunctionCount];
    CarSetup setup{};
    CarObject *car = nullptr;
    GameSession *session = nullptr;
};

TEST_F(PlayerControlsTest, AnalogueSteeringIsSpreadOverTheFrameAndEndsOnTheValue)
{
    ControlInputs.steer = 1.0f;
    const auto words = Frame(4);
    uint16_t expected = 32768;
    for (int i = 0; i < 4; ++i) {
        const int left = 4 - i;
        expected = static_cast<uint16_t>(((left - 1) * expected + 65535) / left);
        EXPECT_EQ(words[i][0], expected) << "tick " << i;
    }
    EXPECT_EQ(words[0][0], 32768 + (65535 - 32768) / 4);
    EXPECT_EQ(words[3][0], 65535);
    // Full left is 1, not 0.
    ControlInputs.steer = -1.0f;
    EXPECT_EQ(Frame(1)[0][0], 1);
}

TEST_F(PlayerControlsTest, KeyboardThrottleIsWrittenAtOnceAndTheKeyboardClutchIsSpread)
{
    PedalAxesMode = 2;
    ClutchControl = 1;
    Press(KeyThrottle, true);
    Press(KeyClutch, true);
    const auto words = Frame(4);
    // The ramp: 0.01 x rate a tick, each tick's value in the word at once.
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(words[i][1], 6553.5 * (i + 1), 1.0) << "tick " << i;
    }
    EXPECT_NEAR(session->pedalThrottle, 0.4f, 1e-6f);
    // The clutch key is full at once but reaches the word over the frame.
    EXPECT_EQ(words[0][11], 65535 / 4);
    EXPECT_EQ(words[3][11], 65535);
    // Released, the throttle ramps down by the same step.
    Press(KeyThrottle, false);
    Frame(1);
    EXPECT_NEAR(session->pedalThrottle, 0.3f, 1e-6f);
}

TEST_F(PlayerControlsTest, PedalAxesHaveTheirDeadZonesAndFullTravel)
{
    struct Case {
        float axis;
        bool clutch;
        uint16_t word;
    };
    const Case cases[] = {
        {0.03f, false, 0},      {0.05f, false, 0},     {0.96f, false, 65535}, {1.0f, false, 65535},
        {0.65f, true, 65535},   {0.05f, true, 0},      {0.35f, true, 32767},
    };
    for (const Case &c : cases) {
        ControlInputs.throttle = c.clutch ? 0.0f : c.axis;
        ControlInputs.clutch = c.clutch ? c.axis : 0.0f;
        const auto words = Frame(1);
        EXPECT_EQ(words[0][c.clutch ? 11 : 1], c.word) << c.axis << (c.clutch ? " clutch" : " throttle");
    }
}

TEST_F(PlayerControlsTest, ShiftDebounceHoldsForItsGameTimeWhateverTheFrameLength)
{
    for (const int ticksPerFrame : {1, 3, 6}) {
        session->shiftUpTime = 0;
        int held = 0;
        bool pressed = true;
        for (int frame = 0; frame < 12; ++frame) {
            for (int left = ticksPerFrame; left >= 1; --left) {
                Press(KeyShiftUp, pressed);
                ApplyPlayerControls(*session, left);
                pressed = false;
                held += car->inputs[3];
            }
        }
        EXPECT_EQ(held, 6) << ticksPerFrame << " ticks a frame";
    }
}

TEST_F(PlayerControlsTest, PressEdgesActOnceAndNotForAControlHeldThroughAStart)
{
    Press(KeyIgnition, true);
    int ignitions = 0;
    for (int tick = 0; tick < 10; ++tick) {
        ignitions += Frame(1)[0][5];
    }
    EXPECT_EQ(ignitions, 1);
    // A start sets the edge bytes: a limiter key held through it does nothing.
    session->limiterEdge = 1;
    Press(KeyLimiter, true);
    EXPECT_EQ(Frame(1)[0][16], 0);
    Press(KeyLimiter, false);
    Frame(1);
    Press(KeyLimiter, true);
    EXPECT_EQ(Frame(1)[0][16], 1);
}

TEST_F(PlayerControlsTest, KeySignalsLastOneTickAndHornCarriesItsType)
{
    session->keySignalA = 1;
    session->keySignalB = 3;
    Press(KeyHorn, true);
    const auto words = Frame(2);
    EXPECT_EQ(words[0][7], 1);
    EXPECT_EQ(words[0][13], 3);
    EXPECT_EQ(words[1][7], 0);
    EXPECT_EQ(words[1][13], 0);
    EXPECT_EQ(words[0][9], 3);  // type 2 + 1
    // Shift held keeps the horn key from counting.
    ShiftHeld = 1;
    EXPECT_EQ(Frame(1)[0][9], 0);
    ShiftHeld = 0;
}

TEST_F(PlayerControlsTest, DisplayHeldCentresTheSteeringAndClearsPedalsAndShifts)
{
    ControlInputs.steer = 1.0f;
    ControlInputs.throttle = 1.0f;
    Press(KeyShiftUp, true);
    session->displayHeld = 1;
    const auto words = Frame(1);
    EXPECT_EQ(words[0][0], 32768);
    EXPECT_EQ(words[0][1], 0);
    EXPECT_EQ(words[0][3], 0);
}

TEST_F(PlayerControlsTest, ResponseCurveAndWheelTurnCompensation)
{
    EXPECT_FLOAT_EQ(ApplyResponseCurve(0.5f, 1.0f), 0.125f);
    EXPECT_FLOAT_EQ(ApplyResponseCurve(0.5f, 0.0f), 0.5f);
    // 45 degrees a side is a full lock of 90 degrees; on a wheel of 112.5
    // degrees (as 720 on 900) the wheel is clamped at 0.8 of its travel,
    // which gives full lock: the wheel turns the front wheels one to one.
    TurnCompensation = 1.0f;
    WheelTurn = 112.5f;
    setup.maxLock = 45;
    struct Case {
        float axis;
        uint16_t word;
    };
    const Case cases[] = {
        {0.8f, 65535}, {1.0f, 65535}, {0.2f, 40960}, {-0.8f, 1}, {-1.0f, 1}, {0.0f, 32768},
    };
    for (const Case &c : cases) {
        ControlInputs.steer = c.axis;
        EXPECT_EQ(Frame(1)[0][0], c.word) << c.axis;
    }
    // A lock beyond the wheel's range: the curve with k = (1 - W / L) x c,
    // here 1 - 45 / 90 = 0.5: 0.5 x 0.125 + 0.5 x 0.5 = 0.3125.
    WheelTurn = 45.0f;
    ControlInputs.steer = 0.5f;
    EXPECT_EQ(Frame(1)[0][0], static_cast<uint16_t>(std::lrintf(0.3125f * 32767.0f) + 32768));
}

TEST_F(PlayerControlsTest, KeyboardSteeringRatesAndLimits)
{
    ControlType = 0;
    SteerKb = 1;
    const float lock = 30.0f * 0.017453292f;
    // Left held: the angle moves by rate x 0.01 a tick but never more than
    // 0.016 rad from the car's angle; the word follows the angle.
    KbSteerRate = 10.0f;  // 0.1 rad a tick asked, 0.016 allowed
    Press(KeyLeft, true);
    uint16_t last = car->inputs[0];
    for (int tick = 0; tick < 60; ++tick) {
        const uint16_t word = Frame(1)[0][0];
        const float moved = std::fabs(static_cast<float>(word) - static_cast<float>(last)) / 32767.0f * lock;
        EXPECT_LE(moved, 0.016f + lock / 32767.0f) << "tick " << tick;
        last = word;
    }
    EXPECT_EQ(last, 1);  // full left
    // Both keys keep the angle.
    const float angle = session->keyboardSteer;
    Press(KeyRight, true);
    Frame(3);
    EXPECT_FLOAT_EQ(session->keyboardSteer, angle);
    Press(KeyLeft, false);
    Press(KeyRight, false);

    // A speed sensitivity of 0.5 at the sensitivity speed gives 0.75 of the rate.
    session->keyboardSteer = 0.0f;
    car->inputs[0] = 32768;
    KbSteerRate = 1.0f;
    SpeedSteerReductionKb = 0.5f;
    HalfReduceSpeedKb = 20.0f;
    car->speed = 20.0f;
    Press(KeyLeft, true);
    Frame(1);
    EXPECT_FLOAT_EQ(session->keyboardSteer, 0.0075f);
}

TEST_F(PlayerControlsTest, StabilisedSteeringBelowWalkingPaceSteersToFullLock)
{
    ControlType = 0;
    SteerKb = 2;
    KbSteerRate = 100.0f;
    const float lock = 30.0f * 0.017453292f;
    car->orientation[4] = 1.0f;
    car->velocity[1] = 0.5f;  // forward below 1 m/s
    Press(KeyRight, true);
    for (int tick = 0; tick < 80; ++tick) {
        Frame(1);
    }
    EXPECT_FLOAT_EQ(session->keyboardSteer, -lock);
    EXPECT_EQ(car->inputs[0], 65535);
    // A zero velocity is no fault.
    car->velocity[1] = 0.0f;
    Frame(1);
    EXPECT_EQ(car->inputs[0], 65535);
}

TEST_F(PlayerControlsTest, LookDirectionThresholdsAndShifterGears)
{
    const float pi8 = 3.14159265f / 8.0f;
    struct Case {
        float angle;
        uint8_t direction;
    };
    const Case cases[] = {
        {0.0f, 0},
        {std::nextafter(pi8, 0.0f), 0},       {std::nextafter(pi8, 1.0f), 4},
        {std::nextafter(3 * pi8, 0.0f), 4},   {std::nextafter(3 * pi8, 4.0f), 5},
        {std::nextafter(-pi8, 0.0f), 0},      {std::nextafter(-pi8, -1.0f), 6},
        {std::nextafter(-3 * pi8, 0.0f), 6},  {std::nextafter(-3 * pi8, -4.0f), 7},
    };
    for (const Case &c : cases) {
        session->lookTarget = c.angle;
        EXPECT_EQ(Frame(1)[0][15], c.direction) << c.angle;
    }
    // Another car viewed: ahead.
    session->lookTarget = 1.0f;
    session->viewedCar = nullptr;
    EXPECT_EQ(Frame(1)[0][15], 0);

    ShifterMode = 0;
    EXPECT_EQ(Frame(1)[0][14], 255);
    ShifterMode = 2;
    EXPECT_EQ(Frame(1)[0][14], 1);  // neutral
    Press(KeyFirstGear, true);
    EXPECT_EQ(Frame(1)[0][14], 2);
    Press(KeyFirstGear, false);
    Press(KeyFirstGear + 6, true);  // seventh on a six-gear car
    EXPECT_EQ(Frame(1)[0][14], 7);
    Press(KeyFirstGear + 6, false);
    Press('R', true);
    EXPECT_EQ(Frame(1)[0][14], 0);
    car->gearboxKind = 2;
    EXPECT_EQ(Frame(1)[0][14], 255);
}

}  // namespace

namespace {

// The whole way from a controller: the injected device's axes and buttons,
// read once a frame, give the words tick by tick.
TEST_F(PlayerControlsTest, AnInjectedControllerDrivesTheWordsFrameByFrame)
{
    FakeControllerBackend fake;
    SetControllerBackend(&fake);
    ReleaseControllers();
    ResetControllerTables();
    ResetAxisCalibrations(0);
    FakeControllerDevice &device = fake.Add("Wheel", ControllerKindWheel, 4, 0);
    ASSERT_EQ(InitDirectInput(), 0);
    AxesCalibrated = 1;
    for (int i = 0; i < 4; ++i) {
        AxisCalibrations[i].minimum = -1000;
        AxisCalibrations[i].maximum = 1000;
    }
    AxisBindingTable[AxisSteer] = {0, 0};
    AxisBindingTable[AxisThrottle] = {1, 0};
    AxisBindingTable[AxisBrake] = {2, 0};
    KeyBindingTable[FunctionShiftUp].button = 3;

    struct Step {
        int steerRaw, throttleRaw;
        bool shift;
        int ticks;
        uint16_t steer, throttle, shiftWord;  // the words after the frame's last tick
    };
    const Step steps[] = {
        {0, -1000, false, 2, 32768, 0, 0},
        {1000, 1000, true, 3, 65535, 65535, 1},
        {-1000, 0, false, 1, 1, 32768, 1},
    };
    for (const Step &step : steps) {
        device.reading.axes[0] = static_cast<int16_t>(step.steerRaw);
        device.reading.axes[1] = static_cast<int16_t>(step.throttleRaw);
        device.reading.axes[2] = -1000;
        device.reading.axes[3] = 0;
        device.reading.buttons[3] = step.shift ? 0x80 : 0;
        ReadControlInputs();
        const auto words = Frame(step.ticks);
        EXPECT_EQ(words.back()[0], step.steer) << step.steerRaw;
        EXPECT_NEAR(words.back()[1], step.throttle, 1) << step.throttleRaw;
        EXPECT_EQ(words.back()[3], step.shiftWord) << step.shift;
        EXPECT_EQ(words.back()[2], 0);
    }
    ReleaseControllers();
    SetControllerBackend(nullptr);
}

}  // namespace
