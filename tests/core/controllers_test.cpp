#include "core/controllers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/controls.h"
#include "core/data_stream.h"
#include "core/player_file.h"
#include "platform/fake_controllers.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Messages;

void RecordMessage(const char *text, int)
{
    Messages.emplace_back(text);
}

class ControllersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all("data");
        fs::create_directories("data/misc");
        SetControllerBackend(&fake);
        SetControllerMessageFunction(RecordMessage);
        ReleaseControllers();
        ResetControllerTables();
        ResetAxisCalibrations(0);
        ResetCalibrationFileState();
        AxesCalibrated = 0;
        ForceFeedbackOn = 1;
        ForceDevice = 0;
        ShiftForceDevice = 0;
        ShifterMode = 0;
        SteerForceClipped = 0;
        Messages.clear();
    }

    void TearDown() override
    {
        ReleaseControllers();
        SetControllerBackend(nullptr);
        SetControllerMessageFunction(nullptr);
    }

    FakeControllerBackend fake;
};

TEST_F(ControllersTest, SecondControllerFollowsTheFirst)
{
    fake.Add("First", ControllerKindWheel, 3, 2);
    FakeControllerDevice &second = fake.Add("Second", ControllerKindJoystick, 2, 1);
    ASSERT_EQ(InitDirectInput(), 0);
    EXPECT_EQ(InputState, 1);
    ASSERT_EQ(ControllerCount, 2);
    EXPECT_EQ(Controllers[0].firstAxis, 0);
    EXPECT_EQ(Controllers[1].firstAxis, 3);
    EXPECT_EQ(AxisCalibrationCount, 5);
    EXPECT_EQ(AxisCalibrations[4].slot, 1);
    EXPECT_EQ(Controllers[1].firstButton, 32 + 2 * 4);
    EXPECT_EQ(ButtonStateCount, 40 + 32 + 4);
    EXPECT_EQ(Controllers[0].kind, ControllerKindWheel);

    second.reading.axes[1] = 700;
    second.reading.buttons[0] = 0x80;
    second.reading.hats[0] = 0;
    EXPECT_EQ(PollControllers(), 1);
    EXPECT_EQ(AxisCalibrations[4].value, 700);
    EXPECT_EQ(ButtonState[40], 0x80);
    EXPECT_EQ(ButtonState[72], 0xFF);  // its hat's up entry
}

TEST_F(ControllersTest, HatEntriesAreExactDirectionsOnly)
{
    FakeControllerDevice &device = fake.Add("Hat", ControllerKindJoystick, 1, 1);
    ASSERT_EQ(InitDirectInput(), 0);
    device.reading.axes[0] = 1;
    struct Case {
        int32_t direction;
        int pressed;  // entry, or -1 for none
    };
    const Case cases[] = {{0, 0}, {9000, 1}, {18000, 2}, {27000, 3}, {4500, -1}, {HatCentred, -1}, {9001, -1}};
    for (const Case &c : cases) {
        device.reading.hats[0] = c.direction;
        PollControllers();
        for (int entry = 0; entry < 4; ++entry) {
            EXPECT_EQ(ButtonState[32 + entry], entry == c.pressed ? 0xFF : 0) << c.direction << " " << entry;
        }
    }
}

TEST_F(ControllersTest, InputStateWaitsForTheFirstValue)
{
    FakeControllerDevice &device = fake.Add("Pad", ControllerKindJoystick, 2, 0);
    EXPECT_EQ(InputState, 0);
    ASSERT_EQ(InitDirectInput(), 0);
    EXPECT_EQ(InputState, 1);
    device.reading.buttons[3] = 0x80;
    EXPECT_EQ(PollControllers(), 0);  // all axes 0: nothing taken yet
    EXPECT_EQ(ButtonState[3], 0);
    device.reading.axes[1] = -20;
    EXPECT_EQ(PollControllers(), 1);
    EXPECT_EQ(InputState, 2);
    EXPECT_EQ(ButtonState[3], 0x80);
    device.reading.axes[1] = 0;
    EXPECT_EQ(PollControllers(), 1);
    EXPECT_EQ(AxisCalibrations[1].value, 0);  // now zeros count
}

TEST_F(ControllersTest, LostDeviceIsOpenedAgain)
{
    FakeControllerDevice &device = fake.Add("Pad", ControllerKindJoystick, 1, 0);
    ASSERT_EQ(InitDirectInput(), 0);
    device.reading.axes[0] = 300;
    PollControllers();
    device.pollFails = 1;
    device.reading.axes[0] = 600;
    PollControllers();
    EXPECT_EQ(AxisCalibrations[0].value, 300);
    EXPECT_EQ(device.open, 0);
    device.pollFails = 0;
    PollControllers();  // reopened, no data this time
    EXPECT_EQ(device.open, 1);
    EXPECT_EQ(AxisCalibrations[0].value, 300);
    PollControllers();
    EXPECT_EQ(AxisCalibrations[0].value, 600);
}

TEST_F(ControllersTest, FailingControllerIsSkipped)
{
    FakeControllerDevice &broken = fake.Add("Broken", ControllerKindJoystick, 2, 0);
    fake.Add("Good", ControllerKindJoystick, 2, 0);
    broken.openFails = 1;
    ASSERT_EQ(InitDirectInput(), 0);
    EXPECT_EQ(Controllers[0].active, 0);
    EXPECT_EQ(Controllers[1].active, 1);
    EXPECT_EQ(Controllers[1].firstAxis, 0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "Controller 1 (Broken) : Open - fake failure");

    fake.devices[1].openFails = 1;
    EXPECT_EQ(InitDirectInput(), 1);  // none could be set up
    fake.startFails = 1;
    Messages.clear();
    EXPECT_NE(InitDirectInput(), 0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "DI : Start - fake failure");
}

TEST_F(ControllersTest, CalibrationWidensThenClamps)
{
    AxisCalibration record = {};
    record.Update(-1000);
    record.Update(1200);
    EXPECT_EQ(record.minimum, -1000);
    EXPECT_EQ(record.maximum, 1200);
    EXPECT_FLOAT_EQ(record.Fraction(), 1.0f);
    AxesCalibrated = 1;
    record.maximum = 1000;
    record.Update(1200);
    EXPECT_EQ(record.value, 1000);
    EXPECT_FLOAT_EQ(record.Centred(), 1.0f);
    record.Update(0);
    EXPECT_FLOAT_EQ(record.Centred(), 0.0f);
    EXPECT_FLOAT_EQ(record.Fraction(), 0.5f);

    AxisCalibration flat = {};
    flat.minimum = 40;
    flat.maximum = 40;
    flat.value = 40;
    EXPECT_EQ(flat.Centred(), 0.0f);
    EXPECT_EQ(flat.Fraction(), 0.0f);

    AxisCalibrations[3] = {5, 100, -7, 9};
    ResetAxisCalibrations(1);
    EXPECT_EQ(AxisCalibrations[3].slot, 5);
    EXPECT_EQ(AxisCalibrations[3].maximum, 0);
    ResetAxisCalibrations(0);
    EXPECT_EQ(AxisCalibrations[3].slot, 0);
    EXPECT_EQ(GetAxisCentred(64), 0.0f);
    EXPECT_EQ(GetAxisFraction(-9), 0.0f);
}

TEST_F(ControllersTest, CalibrationFile)
{
    AxesCalibrated = 1;
    AxisCalibrations[0].minimum = -900;
    AxisCalibrations[63].maximum = 850;
    ASSERT_EQ(WriteCalibrationFile(), 1);
    EXPECT_EQ(fs::file_size("data/misc/cfg.clb"), 8u + 4u + 64u * 4u);
    AxesCalibrated = 0;
    ResetAxisCalibrations(0);
    ASSERT_EQ(ReadCalibrationFile(), 1);
    EXPECT_EQ(AxesCalibrated, 1u);
    EXPECT_EQ(AxisCalibrations[0].minimum, -900);
    EXPECT_EQ(AxisCalibrations[63].maximum, 850);

    // A newer file is refused and changes nothing.
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "data/misc/cfg.clb", "QZCALI", 247), nullptr);
    out.WriteU32(0);
    out.WriteZeros(256);
    ASSERT_EQ(out.Close(), 0);
    EXPECT_EQ(ReadCalibrationFile(), 0);
    EXPECT_EQ(AxesCalibrated, 1u);
    EXPECT_EQ(AxisCalibrations[0].minimum, -900);
}

// A run that never read the file and was not recalibrated keeps the stored
// limits: the exit write happens only after a read or a user change.
TEST_F(ControllersTest, ExitWriteKeepsStoredCalibration)
{
    AxesCalibrated = 1;
    AxisCalibrations[2].maximum = 777;
    ASSERT_EQ(WriteCalibrationFile(), 1);
    const auto stored = fs::last_write_time("data/misc/cfg.clb");
    ResetAxisCalibrations(0);
    AxesCalibrated = 0;
    ASSERT_EQ(InitDirectInput(), 0);  // no controller: the file is not read
    WriteCalibrationFileAtExit();
    EXPECT_EQ(fs::last_write_time("data/misc/cfg.clb"), stored);
    ASSERT_EQ(ReadCalibrationFile(), 1);
    EXPECT_EQ(AxisCalibrations[2].maximum, 777);

    fs::remove("data/misc/cfg.clb");
    WriteCalibrationFileAtExit();  // read in this run: written back
    EXPECT_TRUE(fs::exists("data/misc/cfg.clb"));

    ResetCalibrationFileState();
    fs::remove("data/misc/cfg.clb");
    MarkCalibrationChanged();  // the user locked or reset it
    WriteCalibrationFileAtExit();
    EXPECT_TRUE(fs::exists("data/misc/cfg.clb"));
}

// --- Force feedback -------------------------------------------------------------------

FakeControllerDevice &AddForceDevice(FakeControllerBackend &fake, const char *name, int axes)
{
    FakeControllerDevice &device = fake.Add(name, ControllerKindWheel, 3, 0);
    device.haptic = 1;
    device.hapticAxes = axes;
    return device;
}

TEST_F(ControllersTest, SteerForceLevels)
{
    struct Case {
        int axes;
        float force;
        int dirX;
        int level;
        int clipped;
    };
    const Case cases[] = {
        {1, 1.0f, 1, 10000, 1},     {1, 0.5f, 1, 5000, 0},      {1, -1.5f, 1, -10000, 1},
        {1, -0.25f, 1, -2500, 0},   {2, -0.5f, -5000, 5000, 0}, {2, 2.0f, 10000, 10000, 1},
    };
    for (const Case &c : cases) {
        SetUp();
        fake = FakeControllerBackend();
        FakeControllerDevice &device = AddForceDevice(fake, "Wheel", c.axes);
        ASSERT_EQ(InitDirectInput(), 0);
        ASSERT_EQ(InitForceFeedback(), 0);
        SetSteerForce(c.force);
        EXPECT_EQ(device.lastDirX, c.dirX) << c.axes << " " << c.force;
        EXPECT_EQ(device.lastDirY, 0);
        EXPECT_EQ(device.lastLevel, c.level) << c.axes << " " << c.force;
        EXPECT_EQ(SteerForceClipped, c.clipped) << c.force;
    }
}

TEST_F(ControllersTest, WatchdogDropsAForceThatIsNotRenewed)
{
    FakeControllerDevice &device = AddForceDevice(fake, "Wheel", 1);
    ASSERT_EQ(InitDirectInput(), 0);
    ASSERT_EQ(InitForceFeedback(), 0);
    for (int frame = 0; frame < 3; ++frame) {
        TickForceFeedback(10);
        SetSteerForce(0.3f);
        EXPECT_EQ(device.lastLevel, 3000);
    }
    TickForceFeedback(10);  // the session did not renew it
    EXPECT_EQ(device.lastLevel, 0);
    const int updates = device.updates;
    TickForceFeedback(10);
    EXPECT_EQ(device.updates, updates);  // nothing more until the next second
}

TEST_F(ControllersTest, ForceDeviceChoice)
{
    struct Case {
        uint32_t forceOn;
        int shifterMode;
        uint32_t forceDevice;
        uint32_t shiftDevice;
        int devices;
        int steerOn;     // device given the steer effect, -1 none
        int shiftOn;     // device given the shift effect, -1 none
    };
    const Case cases[] = {
        {1, 0, 3, 0, 1, 0, -1},   // index beyond the devices: both back to 0
        {1, 3, 0, 0, 2, 0, -1},   // same device: steer only
        {1, 3, 0, 1, 2, 0, 1},
        {0, 3, 0, 0, 1, -1, 0},   // force off: the shifter alone
        {0, 0, 0, 0, 1, -1, -1},
    };
    for (const Case &c : cases) {
        SetUp();
        fake = FakeControllerBackend();
        for (int i = 0; i < c.devices; ++i) {
            AddForceDevice(fake, "Force", 2);
        }
        ForceFeedbackOn = c.forceOn;
        ShifterMode = static_cast<uint8_t>(c.shifterMode);
        ForceDevice = c.forceDevice;
        ShiftForceDevice = c.shiftDevice;
        ASSERT_EQ(InitDirectInput(), 0);
        ASSERT_EQ(InitForceFeedback(), 0);
        SetSteerForce(0.2f);
        SetShiftForce(0.3f, 0.4f);
        for (int d = 0; d < c.devices; ++d) {
            const FakeControllerDevice &device = fake.devices[d];
            const int expected = (d == c.steerOn) + (d == c.shiftOn);
            EXPECT_EQ(device.effects, expected) << "case " << (&c - cases) << " device " << d;
            if (d == c.steerOn) {
                EXPECT_EQ(device.lastLevel, 2000);
            } else if (d == c.shiftOn) {
                EXPECT_EQ(device.lastDirX, 3000);
                EXPECT_EQ(device.lastDirY, 4000);
                EXPECT_EQ(device.lastLevel, 5000);
            }
        }
        if (c.forceDevice >= static_cast<uint32_t>(c.devices)) {
            EXPECT_EQ(ForceDevice, 0u);
            EXPECT_EQ(ShiftForceDevice, 0u);
        }
    }
}

TEST_F(ControllersTest, EffectFailuresAndPermission)
{
    FakeControllerDevice &device = AddForceDevice(fake, "Wheel", 1);
    device.runResult = HapticPermissionDenied;
    ASSERT_EQ(InitDirectInput(), 0);
    ASSERT_EQ(InitForceFeedback(), 0);
    EXPECT_EQ(device.runs, 1);
    EXPECT_TRUE(Messages.empty());

    device.runResult = HapticRunFailed;
    ASSERT_EQ(InitDirectInput(), 0);
    ASSERT_EQ(InitForceFeedback(), 0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "DI : Effect - fake failure");

    Messages.clear();
    device.createFails = 1;
    ASSERT_EQ(InitDirectInput(), 0);
    ASSERT_EQ(InitForceFeedback(), 0);
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0], "CreateEffect failed (1 axes)");
    EXPECT_EQ(Messages[1], "Could not set up FF steer device");
    SetSteerForce(1.0f);  // no effect: nothing happens
    EXPECT_EQ(SteerForceClipped, 0);

    ReleaseControllers();
    EXPECT_EQ(InputState, 0);
    EXPECT_EQ(device.hapticOpen, 0);
    EXPECT_EQ(device.open, 0);
    EXPECT_EQ(fake.started, 0);
}

}  // namespace
