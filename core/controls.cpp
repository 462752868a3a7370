#include "core/controls.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/controllers.h"
#include "core/translation_table.h"
#include "core/data_stream.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/text_utils.h"

KeyBinding KeyBindingTable[ButtonFunctionCount] = {};
AxisBinding AxisBindingTable[AxisFunctionCount] = {};

float WheelTurn = 270.0f;
uint32_t PedalAxesMode = 0;
uint32_t HandbrakeControl = 1;
float MouseSensitivityX = 1.0f;
float MouseSensitivityY = 1.0f;
uint32_t RemoveDeadzones = 0;
uint32_t ForceFeedbackOn = 1;
uint32_t ForceDevice = 0;
uint32_t ShiftForceDevice = 0;

ControlInputValues ControlInputs = {};

const char *const ButtonFunctionNames[ButtonFunctionCount] = {
    "Steer Left", "Steer Right", "Steer Fast", "Steer Slow", "Accelerate", "Brake", "Shift Up", "Shift Down",
    "Clutch", "Handbrake", "Left View", "Right View", "Rear View", "Horn", "Flash", "Reset Car",
    "Speed Limiter", "Traction Control", "Ignition", "Zoom In", "Zoom Out", "Reverse", "First", "Second",
    "Third", "Fourth", "Fifth", "Sixth", "Seventh",
    "CTRL + F%d", "CTRL + F%d", "CTRL + F%d", "CTRL + F%d", "CTRL + F%d", "CTRL + F%d",
    "CTRL + F%d", "CTRL + F%d", "CTRL + F%d", "CTRL + F%d", "CTRL + F%d", "CTRL + F%d",
    "ALT + F%d", "ALT + F%d", "ALT + F%d", "ALT + F%d", "ALT + F%d", "ALT + F%d",
    "ALT + F%d", "ALT + F%d", "ALT + F%d", "ALT + F%d", "ALT + F%d", "ALT + F%d",
};

const char *const AxisFunctionNames[AxisFunctionCount] = {
    "Steer", "Thr / Brk Combined", "Throttle", "Brake", "Look Heading", "Look Pitch",
    "Look Roll", "Clutch", "Handbrake", "Shifter Left-Right", "Shifter Front-Back",
};

namespace {

constexpr const char *ControlsFileId = "KZVCON";
constexpr int ControlsFileVersion = 2;
constexpr int FunctionKeyCount = 12;
constexpr int VirtualKeyF1 = 112;
constexpr int MaxKeyCode = 261;
constexpr int MaxControllerAxis = MaxAxisCalibrations - 1;
constexpr float DefaultWheelTurn = 270.0f;

struct DefaultKey {
    int function;
    int key;
};

constexpr DefaultKey DefaultKeys[] = {
    {FunctionSteerLeft, 'J'},   {FunctionSteerRight, 'K'},     {FunctionAccelerate, 1},
    {FunctionBrake, 2},         {FunctionShiftUp, 'S'},        {FunctionShiftDown, 'X'},
    {FunctionClutch, 'C'},      {FunctionHandbrake, 'Q'},      {FunctionLeftView, 'W'},
    {FunctionRightView, 'E'},   {FunctionRearView, 'R'},       {FunctionHorn, 'B'},
    {FunctionFlash, 'G'},       {FunctionResetCar, ' '},       {FunctionSpeedLimiter, 'L'},
    {FunctionTractionControl, 'O'}, {FunctionIgnition, 'I'},   {FunctionZoomIn, '5'},
    {FunctionZoomOut, '6'},
};

struct DefaultAxis {
    int function;
    int axis;
    int invert;
};

constexpr DefaultAxis DefaultAxes[] = {
    {AxisSteer, 0, 0}, {AxisCombinedPedals, 1, 0}, {AxisThrottle, 1, 1}, {AxisBrake, 2, 1},
    {AxisClutch, 4, 1}, {AxisHandbrake, -1, 1},
};

// Controller buttons a lone steering wheel gets when it has no controls file.
constexpr DefaultKey WheelButtons[] = {
    {FunctionHandbrake, 0}, {FunctionHorn, 1}, {FunctionTractionControl, 2}, {FunctionSpeedLimiter, 3},
    {FunctionShiftUp, 4}, {FunctionShiftDown, 5}, {FunctionRightView, 6}, {FunctionLeftView, 7},
    {FunctionFirstGear + 0, 8}, {FunctionFirstGear + 1, 9}, {FunctionFirstGear + 2, 10},
    {FunctionFirstGear + 3, 11}, {FunctionFirstGear + 4, 12}, {FunctionFirstGear + 5, 13},
    {FunctionReverse, 14},
};

struct KeyName {
    int key;
    const char *name;
};

struct TranslatedKeyName {
    int key;
    TextId text;
};

constexpr TranslatedKeyName KeyNames[] = {
    {-1, Text_3a_oht_none},  {0, Text_3a_ass_zero},   {1, Text_3a_ass_mlft},   {2, Text_3a_ass_mrgt},
    {3, Text_3a_ass_mmid},   {4, Text_3a_ass_whup},   {5, Text_3a_ass_whdn},   {32, Text_3a_ass_spac},
    {256, Text_3a_ass_upar}, {257, Text_3a_ass_dnar}, {258, Text_3a_ass_rtar}, {259, Text_3a_ass_ltar},
    {260, Text_3a_ass_pgup}, {261, Text_3a_ass_pgdn},
};

constexpr KeyName NamedKeys[] = {
    {38, "up"},    {40, "down"},   {39, "right"}, {37, "left"}, {188, "less"}, {190, "more"},
    {32, "space"}, {13, "enter"},  {27, "esc"},   {9, "tab"},
};

char ControlsPath[96] = "";
uint8_t FunctionKeyHeld[2 * FunctionKeyCount] = {};

bool ValidFunction(int function, int count)
{
    return function >= 0 && function < count;
}

bool ButtonDown(int button)
{
    return button >= 0 && button < ButtonStateSize && ButtonState[button] != 0;
}

bool KeyDown(int key)
{
    if (key >= 0 && key < KeyStateSize + ArrowKeyCount) {
        return KeyState[key] != 0;
    }
    if (key == KeyCodePageUp || key == KeyCodePageDown) {
        return PageKeyState[key - KeyCodePageUp] != 0;
    }
    return false;
}

float CentredInput(int function)
{
    const AxisBinding &binding = AxisBindingTable[function];
    if (binding.axis == AxisNone) {
        return 0.0f;
    }
    const float v = GetAxisCentred(binding.axis);
    return binding.invert ? -v : v;
}

float FractionInput(int function)
{
    const AxisBinding &binding = AxisBindingTable[function];
    if (binding.axis == AxisNone) {
        return 0.0f;
    }
    const float v = GetAxisFraction(binding.axis);
    return binding.invert ? 1.0f - v : v;
}

int16_t CheckedButton(int value)
{
    return static_cast<int16_t>(value >= -1 && value < ButtonStateSize ? value : -1);
}

int16_t CheckedKey(int value)
{
    return static_cast<int16_t>(value >= -1 && value <= MaxKeyCode ? value : -1);
}

int16_t CheckedAxis(int value)
{
    return static_cast<int16_t>(value >= AxisMouseX && value <= MaxControllerAxis ? value : -1);
}

// How many 4-byte records of a count can still be in the stream; a damaged
// count is not followed past the end of the file.
uint32_t RecordsLeft(const DataStream &stream, uint32_t count)
{
    const int64_t left = stream.Remaining() / 4;
    return left < static_cast<int64_t>(count) ? static_cast<uint32_t>(left > 0 ? left : 0) : count;
}

void ApplyDeviceDefaults()
{
    if (ControllerCount != 1) {
        return;
    }
    if (Controllers[0].kind == ControllerKindWheel) {
        PedalAxesMode = 1;
        WheelTurn = DefaultWheelTurn;
        for (const DefaultKey &entry : WheelButtons) {
            KeyBindingTable[entry.function].button = static_cast<int16_t>(entry.key);
        }
    } else {
        PedalAxesMode = 0;
        WheelTurn = 90.0f;
    }
}

void ReadButtonBindings(DataStream &stream, int version)
{
    const uint32_t count = RecordsLeft(stream, stream.ReadU32());
    bool filled[ButtonFunctionCount] = {};
    // Files before version 2 had no "Ignition" entry: their bindings from the
    // 19th on belong one place further on.
    const bool noIgnition = version < 2;
    for (uint32_t i = 0; i < count; ++i) {
        const int button = stream.ReadU16();
        const int key = stream.ReadU16();
        const uint32_t function = (noIgnition && i >= FunctionIgnition) ? i + 1 : i;
        if (function < static_cast<uint32_t>(ButtonFunctionCount)) {
            KeyBindingTable[function] = {CheckedButton(button), CheckedKey(key)};
            filled[function] = true;
        }
    }
    for (int f = 0; f < ButtonFunctionCount; ++f) {
        if (!filled[f] && !(noIgnition && f == FunctionIgnition)) {
            KeyBindingTable[f] = {-1, -1};
        }
    }
}

void ReadAxisBindings(DataStream &stream)
{
    const uint32_t count = RecordsLeft(stream, stream.ReadU32());
    for (uint32_t i = 0; i < count; ++i) {
        const int axis = stream.ReadU16();
        const int invert = stream.ReadU16();
        if (i < static_cast<uint32_t>(AxisFunctionCount)) {
            AxisBindingTable[i] = {CheckedAxis(axis), static_cast<uint16_t>(invert != 0 ? 1 : 0)};
        }
    }
    for (uint32_t f = count; f < static_cast<uint32_t>(AxisFunctionCount); ++f) {
        AxisBindingTable[f] = {-1, 0};
    }
}

int SensitivityByte(float value)
{
    const float scaled = std::nearbyint((value - 1.0f) * 10.0f);
    if (!(scaled >= 0.0f)) {
        return 0;
    }
    return scaled > 255.0f ? 255 : static_cast<int>(scaled);
}

}  // namespace

void GetButtonFunctionName(int function, char *out, size_t outSize)
{
    if (outSize == 0) {
        return;
    }
    if (!ValidFunction(function, ButtonFunctionCount)) {
        out[0] = '\0';
        return;
    }
    int number = 0;
    if (function >= FunctionAltF1) {
        number = function - FunctionAltF1 + 1;
    } else if (function >= FunctionCtrlF1) {
        number = function - FunctionCtrlF1 + 1;
    }
    if (number > 0) {
        std::snprintf(out, outSize, ButtonFunctionNames[function], number);
    } else {
        std::snprintf(out, outSize, "%s", ButtonFunctionNames[function]);
    }
}

void SetDefaultControls()
{
    for (KeyBinding &binding : KeyBindingTable) {
        binding = {-1, -1};
    }
    for (const DefaultKey &entry : DefaultKeys) {
        KeyBindingTable[entry.function].key = static_cast<int16_t>(entry.key);
    }
    for (AxisBinding &binding : AxisBindingTable) {
        binding.axis = -1;
    }
    for (const DefaultAxis &entry : DefaultAxes) {
        AxisBindingTable[entry.function] = {static_cast<int16_t>(entry.axis), static_cast<uint16_t>(entry.invert)};
    }
}

void AssignAxis(int function, int axis)
{
    if (!ValidFunction(function, AxisFunctionCount)) {
        return;
    }
    for (AxisBinding &binding : AxisBindingTable) {
        if (binding.axis == axis) {
            binding.axis = -1;
        }
    }
    AxisBindingTable[function].axis = CheckedAxis(axis);
}

void AssignKey(int function, int key)
{
    if (!ValidFunction(function, ButtonFunctionCount)) {
        return;
    }
    for (KeyBinding &binding : KeyBindingTable) {
        if (binding.key == key) {
            binding.key = -1;
        }
    }
    KeyBindingTable[function].key = CheckedKey(key);
}

void AssignButton(int function, int button)
{
    if (!ValidFunction(function, ButtonFunctionCount)) {
        return;
    }
    for (KeyBinding &binding : KeyBindingTable) {
        if (binding.button == button) {
            binding.button = -1;
        }
    }
    KeyBindingTable[function].button = CheckedButton(button);
}

int IsControlDown(int function, int withKey)
{
    if (!ValidFunction(function, ButtonFunctionCount)) {
        return 0;
    }
    const KeyBinding &binding = KeyBindingTable[function];
    if (ButtonDown(binding.button)) {
        return 1;
    }
    return withKey != 0 && binding.key != -1 && KeyDown(binding.key) ? 1 : 0;
}

void GetKeyName(int key, char *out, size_t outSize)
{
    if (outSize == 0) {
        return;
    }
    for (const TranslatedKeyName &entry : KeyNames) {
        if (entry.key == key) {
            std::snprintf(out, outSize, "%s", Tx(entry.text));
            return;
        }
    }
    std::snprintf(out, outSize, "%c", static_cast<char>(key));
}

int FindKeyByName(const char *name)
{
    if (name == nullptr) {
        return 0;
    }
    if ((name[0] == 'F' || name[0] == 'f') && name[1] >= '1' && name[1] <= '9') {
        int number = name[1] - '0';
        if (name[2] >= '0' && name[2] <= '9' && name[3] == '\0') {
            number = number * 10 + (name[2] - '0');
        } else if (name[2] != '\0') {
            number = 0;
        }
        if (number >= 1 && number <= FunctionKeyCount) {
            return VirtualKeyF1 + number - 1;
        }
    }
    for (const KeyName &entry : NamedKeys) {
        if (EqualsNoCase(name, entry.name)) {
            return entry.key;
        }
    }
    return 0;
}

void ShapePedalInputs()
{
    const float k = CombinedNonLinear;
    const float t = ControlInputs.throttle;
    const float b = ControlInputs.brake;
    ControlInputs.throttle = k * t * t * t + (1.0f - k) * t;
    ControlInputs.brake = k * b * b * b + (1.0f - k) * b;
}

void ReadControlInputs()
{
    if (PollControllers() == 0 || InputState == 0) {
        return;
    }
    // Ctrl and Alt function keys on controller buttons, on the press edge.
    for (int i = 0; i < 2 * FunctionKeyCount; ++i) {
        const bool alt = i >= FunctionKeyCount;
        const int function = (alt ? FunctionAltF1 : FunctionCtrlF1) + i % FunctionKeyCount;
        const bool down = ButtonDown(KeyBindingTable[function].button);
        if (down && !FunctionKeyHeld[i]) {
            SimulateKeyPress(alt ? 0 : 1, 0, alt ? 1 : 0, VirtualKeyF1 + i % FunctionKeyCount);
        }
        FunctionKeyHeld[i] = down ? 1 : 0;
    }
    ControlInputs.steer = CentredInput(AxisSteer);
    ControlInputs.lookHeading = CentredInput(AxisLookHeading);
    ControlInputs.lookPitch = CentredInput(AxisLookPitch);
    ControlInputs.lookRoll = CentredInput(AxisLookRoll);
    ControlInputs.clutch = FractionInput(AxisClutch);
    ControlInputs.handbrake = FractionInput(AxisHandbrake);
    ControlInputs.shifterX = CentredInput(AxisShifterX);
    ControlInputs.shifterY = CentredInput(AxisShifterY);
    if (PedalAxesMode == 0) {
        const float v = CentredInput(AxisCombinedPedals);
        ControlInputs.throttle = v >= 0.0f ? v : 0.0f;
        ControlInputs.brake = v >= 0.0f ? 0.0f : -v;
    } else if (PedalAxesMode == 1) {
        ControlInputs.brake = FractionInput(AxisBrake);
        ControlInputs.throttle = FractionInput(AxisThrottle);
    } else {
        return;  // throttle and brake come from the button functions
    }
    if (CombinedNonLinear != 0.0f) {
        ShapePedalInputs();
    }
}

void MakeControlsFilePath(const char *controllerName, char *out, size_t outSize)
{
    char safe[ControllerNameSize] = "";
    size_t length = 0;
    if (controllerName != nullptr) {
        for (const char *p = controllerName; *p != '\0' && length + 1 < sizeof(safe); ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (c == '(' || c == ')' || c == '[' || c == ']' || c < 32 || c == 127) {
                continue;
            }
            safe[length++] = (c == ' ' || FileCharToEscape(c) != 0) ? '_' : static_cast<char>(c);
        }
    }
    safe[length] = '\0';
    std::snprintf(out, outSize, "data\\misc\\%s.con", length > 0 ? safe : "DEFAULT");
}

const char *ControlsFilePath()
{
    return ControlsPath;
}

void ReadControlsFile()
{
    MakeControlsFilePath(ControllerCount == 1 ? Controllers[0].name : nullptr, ControlsPath, sizeof(ControlsPath));
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, ControlsPath, ControlsFileId, &version, ControlsFileVersion, 0) != nullptr) {
        if (!FileExists(ControlsPath)) {
            ApplyDeviceDefaults();
        }
        return;
    }
    if (version >= 1) {
        const float turn = stream.ReadFloat();
        WheelTurn = (turn >= WheelTurnMin && turn <= WheelTurnMax) ? turn : DefaultWheelTurn;
    }
    PedalAxesMode = stream.ReadU32();
    if (PedalAxesMode > 2) {
        PedalAxesMode = 0;
    }
    ClutchControl = stream.ReadU32();
    if (ClutchControl > 1) {
        ClutchControl = 1;
    }
    HandbrakeControl = stream.ReadU32();
    if (HandbrakeControl > 1) {
        HandbrakeControl = 1;
    }
    MouseSensitivityX = static_cast<float>(stream.ReadU8() & 0xFF) * 0.1f + 1.0f;
    MouseSensitivityY = static_cast<float>(stream.ReadU8() & 0xFF) * 0.1f + 1.0f;
    stream.ReadU8();
    stream.ReadU8();
    RemoveDeadzones = stream.ReadU32();
    ForceFeedbackOn = stream.ReadU32();
    ForceDevice = stream.ReadU32();
    ShiftForceDevice = stream.ReadU32();
    ReadButtonBindings(stream, version);
    ReadAxisBindings(stream);
    stream.Close();
}

int WriteControlsFile()
{
    if (ControlsPath[0] == '\0') {
        return 0;
    }
    DataStream stream;
    if (stream.OpenWrite(nullptr, ControlsPath, ControlsFileId, ControlsFileVersion) != nullptr) {
        return 0;
    }
    uint32_t turnBits = 0;
    std::memcpy(&turnBits, &WheelTurn, sizeof(turnBits));
    stream.WriteU32(turnBits);
    stream.WriteU32(PedalAxesMode);
    stream.WriteU32(ClutchControl);
    stream.WriteU32(HandbrakeControl);
    stream.WriteU8(SensitivityByte(MouseSensitivityX));
    stream.WriteU8(SensitivityByte(MouseSensitivityY));
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU32(RemoveDeadzones);
    stream.WriteU32(ForceFeedbackOn);
    stream.WriteU32(ForceDevice);
    stream.WriteU32(ShiftForceDevice);
    stream.WriteU32(ButtonFunctionCount);
    for (const KeyBinding &binding : KeyBindingTable) {
        stream.WriteU16(binding.button);
        stream.WriteU16(binding.key);
    }
    stream.WriteU32(AxisFunctionCount);
    for (const AxisBinding &binding : AxisBindingTable) {
        stream.WriteU16(binding.axis);
        stream.WriteU16(binding.invert);
    }
    return stream.Close() == 0 ? 1 : 0;
}
