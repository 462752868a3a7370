#pragma once

#include <cstdint>

// Game controllers and their force-feedback actuators, as a small backend
// interface: the program's own controller code talks to an implementation
// over the system's joystick and haptic services, and tests talk to a fake
// (platform/fake_controllers.h). Devices are numbered by the system's device
// index, which is the one stable enumeration order the positional axis
// calibrations follow. Main thread only.

constexpr int ControllerAxisSlots = 8;        // X, Y, Z, Rx, Ry, Rz, slider 0, slider 1
constexpr int ControllerButtonCount = 32;
constexpr int ControllerMaxHats = 4;
constexpr int ControllerNameSize = 64;

// Controller kinds, as the controls code keeps them.
constexpr int ControllerKindOther = 0;
constexpr int ControllerKindFirstPerson = 1;
constexpr int ControllerKindWheel = 2;
constexpr int ControllerKindFlight = 3;
constexpr int ControllerKindJoystick = 4;

// A hat's direction in hundredths of a degree clockwise from up; centred is
// HatCentred. Diagonals are the odd multiples of 4500.
constexpr int32_t HatCentred = -1;

struct ControllerDeviceInfo {
    char name[ControllerNameSize];            // product name, UTF-8, zero-terminated
    int kind;                                 // ControllerKind...
    int pedals;                               // 1
    int axisPresent[ControllerAxisSlots];
    int hatCount;                             // every hat the device has
};

struct ControllerReading {
    int16_t axes[ControllerAxisSlots];        // -1000..1000; 0 for a missing axis
    int32_t hats[ControllerMaxHats];          // hundredths of a degree, or HatCentred
    uint8_t buttons[ControllerButtonCount];   // 0x80 while down
};

// Answers of RunEffect.
constexpr int HapticRunOk = 0;
constexpr int HapticRunFailed = 1;
constexpr int HapticPermissionDenied = 2;

class ControllerBackend {
public:
    virtual ~ControllerBackend() = default;

    // Starts the joystick and haptic services; 0 on success.
    virtual int Start() = 0;
    // Closes every device and stops the services.
    virtual void Stop() = 0;
    // Attached game controllers.
    virtual int DeviceCount() = 0;
    // Opens device index; 0 on success with info filled.
    virtual int Open(int device, ControllerDeviceInfo *info) = 0;
    virtual void Close(int device) = 0;
    // Reads the current state of an open device; non-zero when the device
    // could not be read (lost): the caller closes it and opens it again later.
    virtual int Poll(int device, ControllerReading *reading) = 0;

    // Force feedback, by device index.
    virtual int IsHaptic(int device) = 0;
    // Opens the device's actuators with auto-centring off and full gain;
    // 0 on success.
    virtual int OpenHaptic(int device) = 0;
    // Axes that carry an actuator.
    virtual int HapticAxisCount(int device) = 0;
    // A constant force of infinite length on the first one or two axes, at
    // rest; returns the effect id, or -1.
    virtual int CreateConstantEffect(int device, int axes) = 0;
    // Sets the effect's Cartesian direction and level (-10000..10000 full
    // scale); 0 on success.
    virtual int UpdateConstantEffect(int device, int effect, int dirX, int dirY, int level) = 0;
    // Runs the effect endlessly: HapticRunOk, HapticRunFailed or HapticPermissionDenied.
    virtual int RunEffect(int device, int effect) = 0;
    virtual void CloseHaptic(int device) = 0;

    // The text of the latest failure, "" when there is none.
    virtual const char *LastError() = 0;
};

// The system's implementation (one instance for the program's life).
ControllerBackend *SystemControllerBackend();
