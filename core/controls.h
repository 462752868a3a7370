#pragma once

#include <cstddef>
#include <cstdint>

#include "core/control_options.h"

// The bindings of the program's button and axis functions to controller
// buttons, keyboard keys and controller axes, the per-controller controls
// file that stores them with the control options, and the per-frame reading
// of the controllers into the control values the driven car answers to.

// --- Button functions -------------------------------------------------------------

constexpr int ButtonFunctionCount = 53;

enum ButtonFunction {
    FunctionSteerLeft = 0,
    FunctionSteerRight = 1,
    FunctionSteerFast = 2,
    FunctionSteerSlow = 3,
    FunctionAccelerate = 4,
    FunctionBrake = 5,
    FunctionShiftUp = 6,
    FunctionShiftDown = 7,
    FunctionClutch = 8,
    FunctionHandbrake = 9,
    FunctionLeftView = 10,
    FunctionRightView = 11,
    FunctionRearView = 12,
    FunctionHorn = 13,
    FunctionFlash = 14,
    FunctionResetCar = 15,
    FunctionSpeedLimiter = 16,
    FunctionTractionControl = 17,
    FunctionIgnition = 18,
    FunctionZoomIn = 19,
    FunctionZoomOut = 20,
    FunctionReverse = 21,
    FunctionFirstGear = 22,        // 22..28: first to seventh gear
    FunctionCtrlF1 = 29,           // 29..40: Ctrl + F1..F12
    FunctionAltF1 = 41,            // 41..52: Alt + F1..F12
};

// One button function's binding: a ButtonState index and a KeyState code;
// -1 means none.
struct KeyBinding {
    int16_t button;
    int16_t key;
};

extern KeyBinding KeyBindingTable[ButtonFunctionCount];

// The English names of the button functions ("Steer Left", ...; the Ctrl and
// Alt function-key entries read "CTRL + F%d" and "ALT + F%d").
extern const char *const ButtonFunctionNames[ButtonFunctionCount];
// The display name of button function f with the function-key number filled
// in; "" for an index outside the table.
void GetButtonFunctionName(int function, char *out, size_t outSize);

// --- Axis functions ---------------------------------------------------------------

constexpr int AxisFunctionCount = 11;

enum AxisFunction {
    AxisSteer = 0,
    AxisCombinedPedals = 1,
    AxisThrottle = 2,
    AxisBrake = 3,
    AxisLookHeading = 4,
    AxisLookPitch = 5,
    AxisLookRoll = 6,
    AxisClutch = 7,
    AxisHandbrake = 8,
    AxisShifterX = 9,
    AxisShifterY = 10,
};

// Axis values of a binding besides the controller axes 0..63.
constexpr int AxisNone = -1;
constexpr int AxisMouseY = -2;
constexpr int AxisMouseX = -3;

struct AxisBinding {
    int16_t axis;      // -1 none, -3 mouse horizontal, -2 mouse vertical, 0.. controller axis
    uint16_t invert;   // 0 or 1
};

extern AxisBinding AxisBindingTable[AxisFunctionCount];

// "Steer", "Thr / Brk Combined", ...
extern const char *const AxisFunctionNames[AxisFunctionCount];

// --- Control options (ClutchControl is in control_options.h) ------------------------

extern float WheelTurn;              // full turn of the wheel in degrees; 270
extern uint32_t PedalAxesMode;       // 0 combined, 1 separate, 2 buttons
extern uint32_t HandbrakeControl;    // 0 axis, 1 button
extern float MouseSensitivityX;      // 1.0
extern float MouseSensitivityY;
extern uint32_t RemoveDeadzones;
extern uint32_t ForceFeedbackOn;     // 1
extern uint32_t ForceDevice;         // index among the force-capable controllers
extern uint32_t ShiftForceDevice;

// The range the "wheel_turn" command and the controls file accept.
constexpr float WheelTurnMin = 90.0f;
constexpr float WheelTurnMax = 900.0f;

// --- Control values ------------------------------------------------------------------

// Written by ReadControlInputs, read by the game session.
struct ControlInputValues {
    float steer;          // -1..1
    float throttle;       // 0..1
    float brake;          // 0..1
    float lookHeading;    // -1..1
    float lookPitch;
    float lookRoll;
    float clutch;         // 0..1
    float handbrake;      // 0..1
    float shifterX;       // -1..1
    float shifterY;
};

extern ControlInputValues ControlInputs;

// --- Functions ---------------------------------------------------------------------------

// Every binding to none, then the default keys, axes and invert flags.
void SetDefaultControls();

// Bind one function; any other function bound to the same axis, key or
// button loses it. Invert flags are left alone. A function index outside the
// table does nothing.
void AssignAxis(int function, int axis);
void AssignKey(int function, int key);
void AssignButton(int function, int button);

// 1 when the function's controller button is down, or (withKey non-zero)
// its keyboard key is down.
int IsControlDown(int function, int withKey);

// The display name of a key code: "[none]", "Mouse Left", "Up Arrow", ...,
// else the code's character.
void GetKeyName(int key, char *out, size_t outSize);
// The virtual-key code of "F1".."F12", "up", "down", "right", "left", "less",
// "more", "space", "enter", "esc", "tab" (any case); 0 when unknown.
int FindKeyByName(const char *name);

// Once per frame: poll the controllers and turn their state into ControlInputs.
void ReadControlInputs();
// Applies "Combined Non Linear " to throttle and brake.
void ShapePedalInputs();

// The controls file of the attached controller (or "DEFAULT").
void ReadControlsFile();
// Writes the file read by ReadControlsFile; nothing before a path was built.
// Returns 1 when written.
int WriteControlsFile();
// The path ReadControlsFile built ("" before).
const char *ControlsFilePath();
// Makes the controls file path for a controller name (null: "DEFAULT").
void MakeControlsFilePath(const char *controllerName, char *out, size_t outSize);
