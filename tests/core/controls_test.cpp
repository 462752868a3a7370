#include "core/controls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "core/controllers.h"
#include "core/data_stream.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "platform/fake_controllers.h"

namespace {

namespace fs = std::filesystem;

void ResetOptions()
{
    SetDefaultControls();
    WheelTurn = 270.0f;
    PedalAxesMode = 0;
    ClutchControl = 1;
    HandbrakeControl = 1;
    MouseSensitivityX = 1.0f;
    MouseSensitivityY = 1.0f;
    RemoveDeadzones = 0;
    ForceFeedbackOn = 1;
    ForceDevice = 0;
    ShiftForceDevice = 0;
    CombinedNonLinear = 0.0f;
    ControlInputs = {};
    MouseFracX = 0.0f;
    MouseFracY = 0.0f;
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all("data");
        fs::create_directories("data/misc");
        SetControllerBackend(&fake);
        ReleaseControllers();
        ResetControllerTables();
        ResetAxisCalibrations(0);
        AxesCalibrated = 0;
        ResetOptions();
    }

    void TearDown() override
    {
        ReleaseControllers();
        SetControllerBackend(nullptr);
        SetWindowServices(WindowServices{});
    }

    // One controller with eight axes whose limits are locked at -1000..1000.
    FakeControllerDevice &StartLockedController(int kind = ControllerKindJoystick)
    {
        FakeControllerDevice &device = fake.Add("Pad", kind, 8, 0);
        EXPECT_EQ(InitDirectInput(), 0);
        AxesCalibrated = 1;
        for (int i = 0; i < 8; ++i) {
            AxisCalibrations[i].minimum = -1000;
            AxisCalibrations[i].maximum = 1000;
        }
        return device;
    }

    FakeControllerBackend fake;
};

// A controls file as another version of the program wrote it.
struct ControlsImage {
    int version = 2;
    float wheelTurn = 450.0f;
    uint32_t pedalMode = 1;
    uint32_t clutch = 0;
    uint32_t handbrake = 0;
    uint32_t bindings = 53;
    uint32_t axes = 11;
    int firstButton = 0;
    int firstKey = 100;
    int firstAxis = 0;
};

void WriteImage(const char *path, const ControlsImage &image)
{
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, path, "KZVCON", image.version), nullptr);
    if (image.version >= 1) {
        uint32_t bits;
        std::memcpy(&bits, &image.wheelTurn, 4);
        out.WriteU32(bits);
    }
    out.WriteU32(image.pedalMode);
    out.WriteU32(image.clutch);
    out.WriteU32(image.handbrake);
    out.WriteU8(5);
    out.WriteU8(0);
    out.WriteU8(0);
    out.WriteU8(0);
    for (int i = 0; i < 4; ++i) {
        out.WriteU32(0);
    }
    out.WriteU32(image.bindings);
    for (uint32_t i = 0; i < image.bindings; ++i) {
        out.WriteU16(i == 0 ? image.firstButton : static_cast<int>(i));
        out.WriteU16(i == 0 ? image.firstKey : static_cast<int>(100 + i));
    }
    out.WriteU32(image.axes);
    for (uint32_t i = 0; i < image.axes; ++i) {
        out.WriteU16(i == 0 ? image.firstAxis : static_cast<int>(i));
        out.WriteU16(1);
    }
    ASSERT_EQ(out.Close(), 0);
}

TEST_F(ControlsTest, AssignTakesTheInputFromOtherFunctionsAndKeepsInvert)
{
    KeyBindingTable[FunctionSteerLeft] = {3, 'S'};
    AssignKey(FunctionShiftUp, 'S');
    EXPECT_EQ(KeyBindingTable[FunctionSteerLeft].key, -1);
    EXPECT_EQ(KeyBindingTable[FunctionShiftUp].key, 'S');

    AssignButton(FunctionHorn, 3);
    EXPECT_EQ(KeyBindingTable[FunctionSteerLeft].button, -1);
    EXPECT_EQ(KeyBindingTable[FunctionHorn].button, 3);

    // Steer holds axis 0; the clutch (inverted) takes it.
    AssignAxis(AxisClutch, 0);
    EXPECT_EQ(AxisBindingTable[AxisSteer].axis, -1);
    EXPECT_EQ(AxisBindingTable[AxisClutch].axis, 0);
    EXPECT_EQ(AxisBindingTable[AxisClutch].invert, 1);
    EXPECT_EQ(AxisBindingTable[AxisSteer].invert, 0);

    // Out-of-range functions and inputs change nothing harmful.
    AssignKey(ButtonFunctionCount, 'Z');
    AssignAxis(-1, 2);
    AssignButton(FunctionHorn, 5000);
    EXPECT_EQ(KeyBindingTable[FunctionHorn].button, -1);
}

TEST_F(ControlsTest, VersionOneFileKeepsIgnition)
{
    ControlsImage image;
    image.version = 1;
    image.bindings = 52;
    WriteImage("data/misc/DEFAULT.con", image);
    ReadControlsFile();
    EXPECT_STREQ(ControlsFilePath(), "data\\misc\\DEFAULT.con");
    EXPECT_FLOAT_EQ(WheelTurn, 450.0f);
    for (int f = 0; f < ButtonFunctionCount; ++f) {
        if (f == FunctionIgnition) {
            EXPECT_EQ(KeyBindingTable[f].key, 'I');
            EXPECT_EQ(KeyBindingTable[f].button, -1);
            continue;
        }
        const int fromFile = f < FunctionIgnition ? f : f - 1;
        EXPECT_EQ(KeyBindingTable[f].button, fromFile) << f;
        EXPECT_EQ(KeyBindingTable[f].key, 100 + fromFile) << f;
    }
}

TEST_F(ControlsTest, ShortTablesClearTheRest)
{
    ControlsImage image;
    image.bindings = 10;
    image.axes = 3;
    WriteImage("data/misc/DEFAULT.con", image);
    ReadControlsFile();
    EXPECT_EQ(KeyBindingTable[9].key, 109);
    EXPECT_EQ(KeyBindingTable[10].button, -1);
    EXPECT_EQ(KeyBindingTable[FunctionIgnition].key, -1);
    EXPECT_EQ(AxisBindingTable[2].axis, 2);
    EXPECT_EQ(AxisBindingTable[AxisClutch].axis, -1);
    EXPECT_EQ(AxisBindingTable[AxisClutch].invert, 0);
}

TEST_F(ControlsTest, FilePathFromTheControllerName)
{
    struct Case {
        const char *name;
        const char *path;
    };
    const Case cases[] = {
        {"Wheel (USB) [v2]", "data\\misc\\Wheel_USB_v2.con"},
        {"A*B:C/D", "data\\misc\\A_B_C_D.con"},
        {"Pad\x01\x7f\xc3\xa9", "data\\misc\\Pad\xc3\xa9.con"},  // control bytes dropped, UTF-8 kept
        {"()[]", "data\\misc\\DEFAULT.con"},
        {nullptr, "data\\misc\\DEFAULT.con"},
    };
    for (const Case &c : cases) {
        char path[96];
        MakeControlsFilePath(c.name, path, sizeof(path));
        EXPECT_STREQ(path, c.path) << (c.name ? c.name : "null");
    }

    fake.Add("Wheel (USB) [v2]", ControllerKindWheel, 3, 0);
    ASSERT_EQ(InitDirectInput(), 0);
    ReadControlsFile();
    EXPECT_STREQ(ControlsFilePath(), "data\\misc\\Wheel_USB_v2.con");

    fake.Add("Shifter", ControllerKindJoystick, 2, 0);
    ASSERT_EQ(InitDirectInput(), 0);
    ReadControlsFile();
    EXPECT_STREQ(ControlsFilePath(), "data\\misc\\DEFAULT.con");
}

TEST_F(ControlsTest, MissingFileTakesTheDeviceDefaults)
{
    struct Case {
        int devices;
        int kind;
        uint32_t mode;
        float turn;
        int handbrakeButton;
        int reverseButton;
    };
    const Case cases[] = {
        {1, ControllerKindWheel, 1, 270.0f, 0, 14},
        {1, ControllerKindJoystick, 0, 90.0f, -1, -1},
        {0, 0, 2, 500.0f, -1, -1},  // nothing attached: nothing changes
    };
    for (const Case &c : cases) {
        SetUp();
        fake = FakeControllerBackend();
        for (int i = 0; i < c.devices; ++i) {
            fake.Add("Device", c.kind, 4, 0);
        }
        ASSERT_EQ(InitDirectInput(), 0);
        PedalAxesMode = 2;
        WheelTurn = 500.0f;
        ReadControlsFile();
        EXPECT_EQ(PedalAxesMode, c.mode) << c.kind;
        EXPECT_FLOAT_EQ(WheelTurn, c.turn) << c.kind;
        EXPECT_EQ(KeyBindingTable[FunctionHandbrake].button, c.handbrakeButton) << c.kind;
        EXPECT_EQ(KeyBindingTable[FunctionReverse].button, c.reverseButton) << c.kind;
        if (c.kind == ControllerKindWheel) {
            EXPECT_EQ(KeyBindingTable[FunctionFirstGear + 5].button, 13);
            EXPECT_EQ(KeyBindingTable[FunctionLeftView].button, 7);
        }
    }
}

TEST_F(ControlsTest, VersionTwoRoundTrip)
{
    fake.Add("Round", ControllerKindJoystick, 2, 0);
    ASSERT_EQ(InitDirectInput(), 0);
    ReadControlsFile();  // builds the path
    WheelTurn = 540.0f;
    PedalAxesMode = 2;
    ClutchControl = 0;
    HandbrakeControl = 0;
    MouseSensitivityX = 1.5f;
    MouseSensitivityY = 0.5f;  // below 1: stored as 0, not wrapped
    ForceFeedbackOn = 0;
    ForceDevice = 2;
    ShiftForceDevice = 1;
    AssignKey(FunctionHorn, 'H');
    AssignButton(FunctionIgnition, 383);
    AssignAxis(AxisLookHeading, AxisMouseX);
    AxisBindingTable[AxisLookHeading].invert = 1;
    ASSERT_EQ(WriteControlsFile(), 1);
    EXPECT_TRUE(fs::exists("data/misc/Round.con"));

    ResetOptions();
    ReadControlsFile();
    EXPECT_FLOAT_EQ(WheelTurn, 540.0f);
    EXPECT_EQ(PedalAxesMode, 2u);
    EXPECT_EQ(ClutchControl, 0u);
    EXPECT_EQ(HandbrakeControl, 0u);
    EXPECT_NEAR(MouseSensitivityX, 1.5f, 1e-6f);
    EXPECT_FLOAT_EQ(MouseSensitivityY, 1.0f);
    EXPECT_EQ(ForceFeedbackOn, 0u);
    EXPECT_EQ(ForceDevice, 2u);
    EXPECT_EQ(ShiftForceDevice, 1u);
    EXPECT_EQ(KeyBindingTable[FunctionHorn].key, 'H');
    EXPECT_EQ(KeyBindingTable[FunctionIgnition].button, 383);
    EXPECT_EQ(KeyBindingTable[FunctionSteerLeft].key, 'J');
    EXPECT_EQ(AxisBindingTable[AxisLookHeading].axis, AxisMouseX);
    EXPECT_EQ(AxisBindingTable[AxisLookHeading].invert, 1);
    EXPECT_EQ(AxisBindingTable[AxisThrottle].axis, 1);
}

TEST_F(ControlsTest, DamagedFileLoadsSafely)
{
    ControlsImage image;
    image.wheelTurn = 5000.0f;
    image.pedalMode = 9;
    image.clutch = 7;
    image.handbrake = 4;
    image.bindings = 60;  // more than the table: the extra ones are skipped
    image.firstButton = 999;
    image.firstKey = 300;
    image.firstAxis = 80;
    WriteImage("data/misc/DEFAULT.con", image);
    ReadControlsFile();
    EXPECT_FLOAT_EQ(WheelTurn, 270.0f);
    EXPECT_EQ(PedalAxesMode, 0u);
    EXPECT_EQ(ClutchControl, 1u);
    EXPECT_EQ(HandbrakeControl, 1u);
    EXPECT_EQ(KeyBindingTable[0].button, -1);
    EXPECT_EQ(KeyBindingTable[0].key, -1);
    EXPECT_EQ(KeyBindingTable[52].key, 152);
    // The axis bindings are still read from their own place.
    EXPECT_EQ(AxisBindingTable[0].axis, -1);
    EXPECT_EQ(AxisBindingTable[1].axis, 1);
    EXPECT_EQ(AxisBindingTable[10].axis, 10);

    image = ControlsImage();
    image.wheelTurn = std::numeric_limits<float>::quiet_NaN();
    image.bindings = 0xFFFFFFFFu;  // a count the file cannot hold
    image.axes = 0;
    {
        DataStream out;
        ASSERT_EQ(out.OpenWrite(nullptr, "data/misc/DEFAULT.con", "KZVCON", 2), nullptr);
        uint32_t bits;
        std::memcpy(&bits, &image.wheelTurn, 4);
        out.WriteU32(bits);
        out.WriteZeros(32);
        out.WriteU32(image.bindings);
        out.WriteU32(0x00070007);
        ASSERT_EQ(out.Close(), 0);
    }
    ReadControlsFile();
    EXPECT_FLOAT_EQ(WheelTurn, 270.0f);
    EXPECT_EQ(KeyBindingTable[0].button, 7);
    EXPECT_EQ(KeyBindingTable[1].button, -1);
}

// --- ReadControlInputs ----------------------------------------------------------------

void SetAxis(FakeControllerDevice &device, int slot, int raw)
{
    device.reading.axes[slot] = static_cast<int16_t>(raw);
}

TEST_F(ControlsTest, PedalModes)
{
    struct Case {
        uint32_t mode;
        float shaping;
        int combinedRaw;   // axis 1
        int brakeRaw;      // axis 2 (inverted fraction)
        float throttle;
        float brake;
    };
    const float untouched = 0.75f;
    const Case cases[] = {
        {0, 0.0f, -400, 0, 0.0f, 0.4f},
        {0, 0.0f, 1000, 0, 1.0f, 0.0f},
        {0, 1.0f, 500, 0, 0.125f, 0.0f},        // k = 1: 0.5 becomes 0.125
        {1, 0.0f, 0, 600, 0.5f, 0.2f},          // brake fraction 0.8, inverted
        {2, 1.0f, 1000, 1000, untouched, untouched},
    };
    FakeControllerDevice &device = StartLockedController();
    for (const Case &c : cases) {
        PedalAxesMode = c.mode;
        CombinedNonLinear = c.shaping;
        ControlInputs.throttle = untouched;
        ControlInputs.brake = untouched;
        SetAxis(device, 0, 1);
        SetAxis(device, 1, c.combinedRaw);
        SetAxis(device, 2, c.brakeRaw);
        ReadControlInputs();
        EXPECT_NEAR(ControlInputs.throttle, c.throttle, 1e-5f) << c.mode << " " << c.combinedRaw;
        EXPECT_NEAR(ControlInputs.brake, c.brake, 1e-5f) << c.mode << " " << c.combinedRaw;
    }
}

TEST_F(ControlsTest, AxesFollowTheirBindingsAndInversion)
{
    FakeControllerDevice &device = StartLockedController();
    AxisBindingTable[AxisSteer].invert = 1;
    AxisBindingTable[AxisClutch] = {5, 1};
    AxisBindingTable[AxisShifterX] = {6, 0};
    SetAxis(device, 0, 500);
    SetAxis(device, 5, -1000);
    SetAxis(device, 6, -500);
    ReadControlInputs();
    EXPECT_NEAR(ControlInputs.steer, -0.5f, 1e-5f);
    EXPECT_NEAR(ControlInputs.clutch, 1.0f, 1e-5f);
    EXPECT_NEAR(ControlInputs.shifterX, -0.5f, 1e-5f);
    EXPECT_EQ(ControlInputs.lookHeading, 0.0f);  // no axis
}

TEST_F(ControlsTest, MouseAxisWithoutControllers)
{
    ASSERT_EQ(InitDirectInput(), 0);  // started, nothing attached
    AssignAxis(AxisSteer, AxisMouseX);
    MouseSensitivityX = 2.0f;
    const float fractions[] = {0.7f, -0.7f, 0.25f};
    const float steer[] = {1.0f, -1.0f, 0.5f};
    for (int i = 0; i < 3; ++i) {
        MouseFracX = fractions[i];
        ReadControlInputs();
        EXPECT_FLOAT_EQ(ControlInputs.steer, steer[i]);
    }
    // Not started: nothing is read.
    ReleaseControllers();
    MouseFracX = 0.1f;
    ReadControlInputs();
    EXPECT_FLOAT_EQ(ControlInputs.steer, 0.5f);
}

int KeyDowns = 0;
int KeyDownCtrl = 0;
int KeyDownCode = 0;

void CountKeyDown(int key)
{
    ++KeyDowns;
    KeyDownCtrl = CtrlHeld;
    KeyDownCode = key;
}

TEST_F(ControlsTest, ControllerFunctionKeyFiresOnThePressEdge)
{
    WindowServices services = {};
    services.keyDown = CountKeyDown;
    SetWindowServices(services);
    KeyDowns = 0;
    FakeControllerDevice &device = StartLockedController();
    KeyBindingTable[FunctionCtrlF1 + 2].button = 5;
    SetAxis(device, 0, 10);
    device.reading.buttons[5] = 0x80;
    for (int frame = 0; frame < 3; ++frame) {
        ReadControlInputs();
    }
    EXPECT_EQ(KeyDowns, 1);
    EXPECT_EQ(KeyDownCtrl, 1);
    EXPECT_EQ(KeyDownCode, 114);  // F3
    EXPECT_EQ(CtrlHeld, 0);
    device.reading.buttons[5] = 0;
    ReadControlInputs();
    device.reading.buttons[5] = 0x80;
    ReadControlInputs();
    EXPECT_EQ(KeyDowns, 2);
}

TEST_F(ControlsTest, IsControlDownReadsButtonsAndKeys)
{
    StartLockedController();
    KeyBindingTable[FunctionHorn] = {4, 'B'};
    ButtonState[4] = 0xFF;
    EXPECT_EQ(IsControlDown(FunctionHorn, 0), 1);
    ButtonState[4] = 0;
    KeyState['B'] = 1;
    EXPECT_EQ(IsControlDown(FunctionHorn, 0), 0);
    EXPECT_EQ(IsControlDown(FunctionHorn, 1), 1);
    KeyState['B'] = 0;
    KeyBindingTable[FunctionHorn].key = KeyCodePageDown;
    PageKeyState[1] = 1;
    EXPECT_EQ(IsControlDown(FunctionHorn, 1), 1);
    PageKeyState[1] = 0;
    EXPECT_EQ(IsControlDown(99, 1), 0);
}

TEST(ControlsKeys, KeyNames)
{
    struct Name {
        const char *name;
        int key;
    };
    const Name names[] = {{"ESC", 27}, {"f1", 112}, {"F12", 123}, {"F13", 0}, {"F1x", 0}, {"Left", 37},
                          {"more", 190}, {"TAB", 9}, {"nothing", 0}, {"", 0}};
    for (const Name &n : names) {
        EXPECT_EQ(FindKeyByName(n.name), n.key) << n.name;
    }
    EXPECT_EQ(FindKeyByName(nullptr), 0);

    struct Code {
        int key;
        const char *name;
    };
    const Code codes[] = {{65, "A"}, {-1, "[none]"}, {258, "Right Arrow"}, {0, "[Zero]"}, {32, "Space"},
                          {261, "Page Down"}};
    for (const Code &c : codes) {
        char out[32];
        GetKeyName(c.key, out, sizeof(out));
        EXPECT_STREQ(out, c.name) << c.key;
    }
    char name[32];
    GetButtonFunctionName(FunctionAltF1 + 11, name, sizeof(name));
    EXPECT_STREQ(name, "ALT + F12");
    GetButtonFunctionName(FunctionIgnition, name, sizeof(name));
    EXPECT_STREQ(name, "Ignition");
}

}  // namespace
