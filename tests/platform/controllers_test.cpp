#include "platform/controllers.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

namespace {

// SDL's virtual joysticks stand in for real controllers: the system backend
// sees them as attached devices. No video is started.
class SystemControllersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend = SystemControllerBackend();
        ASSERT_EQ(backend->Start(), 0) << backend->LastError();
    }

    void TearDown() override
    {
        for (SDL_Joystick *joystick : handles) {
            SDL_JoystickClose(joystick);
        }
        for (int index = SDL_NumJoysticks() - 1; index >= 0; --index) {
            if (SDL_JoystickIsVirtual(index)) {
                SDL_JoystickDetachVirtual(index);
            }
        }
        backend->Stop();
    }

    // Attaches a virtual device and keeps a handle of the test's own to move it.
    int Attach(SDL_JoystickType type, int axes, int buttons, int hats)
    {
        const int index = SDL_JoystickAttachVirtual(type, axes, buttons, hats);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick *joystick = SDL_JoystickOpen(index);
        EXPECT_NE(joystick, nullptr);
        handles.push_back(joystick);
        return index;
    }

    ControllerBackend *backend = nullptr;
    std::vector<SDL_Joystick *> handles;
};

TEST_F(SystemControllersTest, EnumerationAndKinds)
{
    const int before = backend->DeviceCount();
    struct Case {
        SDL_JoystickType type;
        int kind;
    };
    const Case cases[] = {
        {SDL_JOYSTICK_TYPE_WHEEL, ControllerKindWheel},
        {SDL_JOYSTICK_TYPE_FLIGHT_STICK, ControllerKindFlight},
        {SDL_JOYSTICK_TYPE_THROTTLE, ControllerKindFlight},
        {SDL_JOYSTICK_TYPE_GAMECONTROLLER, ControllerKindJoystick},
    };
    for (const Case &c : cases) {
        const int index = Attach(c.type, 3, 4, 1);
        ControllerDeviceInfo info = {};
        ASSERT_EQ(backend->Open(index, &info), 0) << backend->LastError();
        EXPECT_EQ(info.kind, c.kind);
        EXPECT_EQ(info.pedals, 1);
        EXPECT_EQ(info.hatCount, 1);
        for (int slot = 0; slot < ControllerAxisSlots; ++slot) {
            EXPECT_EQ(info.axisPresent[slot], slot < 3 ? 1 : 0);
        }
        EXPECT_EQ(backend->IsHaptic(index), 0);
    }
    EXPECT_EQ(backend->DeviceCount(), before + 4);
    ControllerDeviceInfo info = {};
    EXPECT_NE(backend->Open(-1, &info), 0);
    EXPECT_NE(backend->Open(before + 4, &info), 0);
}

TEST_F(SystemControllersTest, AxesHatsAndButtons)
{
    const int index = Attach(SDL_JOYSTICK_TYPE_WHEEL, 8, 33, 2);
    ControllerDeviceInfo info = {};
    ASSERT_EQ(backend->Open(index, &info), 0) << backend->LastError();
    SDL_Joystick *joystick = handles.back();

    struct Case {
        Sint16 raw;
        int16_t scaled;
    };
    const Case axes[] = {{32767, 1000}, {-32768, -1000}, {0, 0}, {16384, 500}};
    for (int i = 0; i < 4; ++i) {
        SDL_JoystickSetVirtualAxis(joystick, i, axes[i].raw);
    }
    SDL_JoystickSetVirtualAxis(joystick, 7, -16384);
    SDL_JoystickSetVirtualHat(joystick, 0, SDL_HAT_RIGHTUP);
    SDL_JoystickSetVirtualHat(joystick, 1, SDL_HAT_LEFT);
    SDL_JoystickSetVirtualButton(joystick, 2, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(joystick, 31, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(joystick, 32, SDL_PRESSED);  // beyond the 32 read

    ControllerReading reading = {};
    ASSERT_EQ(backend->Poll(index, &reading), 0) << backend->LastError();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reading.axes[i], axes[i].scaled) << i;
    }
    EXPECT_EQ(reading.axes[7], -500);
    EXPECT_EQ(reading.hats[0], 4500);
    EXPECT_EQ(reading.hats[1], 27000);
    EXPECT_EQ(reading.hats[2], HatCentred);
    EXPECT_EQ(reading.buttons[2], 0x80);
    EXPECT_EQ(reading.buttons[31], 0x80);
    EXPECT_EQ(reading.buttons[0], 0);

    // Unplugged: the poll fails, and works again once reopened.
    backend->Close(index);
    EXPECT_NE(backend->Poll(index, &reading), 0);
    ASSERT_EQ(backend->Open(index, &info), 0);
    EXPECT_EQ(backend->Poll(index, &reading), 0);
}

TEST_F(SystemControllersTest, NoForceFeedbackOnAPlainDevice)
{
    const int index = Attach(SDL_JOYSTICK_TYPE_WHEEL, 1, 1, 0);
    ControllerDeviceInfo info = {};
    ASSERT_EQ(backend->Open(index, &info), 0);
    EXPECT_NE(backend->OpenHaptic(index), 0);
    EXPECT_STRNE(backend->LastError(), "");
    EXPECT_EQ(backend->HapticAxisCount(index), 0);
    EXPECT_EQ(backend->CreateConstantEffect(index, 1), -1);
    EXPECT_EQ(backend->RunEffect(index, 0), HapticRunFailed);
}

}  // namespace
