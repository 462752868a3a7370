#include "core/controllers.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/controls.h"
#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/player_file.h"
#include "core/text_utils.h"

ControllerRecord Controllers[MaxControllers] = {};
int ControllerCount = 0;
AxisCalibration AxisCalibrations[MaxAxisCalibrations] = {};
int AxisCalibrationCount = 0;
int ButtonStateCount = 0;
uint8_t ButtonState[ButtonStateSize] = {};
int InputState = 0;
uint32_t AxesCalibrated = 0;
int SteerForceClipped = 0;

namespace {

constexpr const char *CalibrationPath = "data\\misc\\cfg.clb";
constexpr const char *CalibrationId = "QZCALI";
constexpr int CalibrationVersion = 246;
constexpr int HatEntries = 4;
constexpr int FullForce = 10000;
constexpr int WatchdogMilliseconds = 1000;
constexpr uint8_t PressedEntry = 0xFF;
constexpr int ShiftForceMode = 3;

ControllerBackend *ChosenBackend = nullptr;
ControllerBackend *StartedBackend = nullptr;   // the backend that InitDirectInput started
bool CalibrationFileRead = false;
bool CalibrationChanged = false;

void LogMessage(const char *text, int)
{
    LogLine(text);
}

ControllerMessageFunction MessageFunction = LogMessage;

// One force-feedback effect and the device that plays it.
struct ForceEffect {
    int device;   // backend device, -1 none
    int effect;
    int axes;     // 1 or 2
};

ForceEffect SteerEffect = {-1, -1, 0};
ForceEffect ShiftEffect = {-1, -1, 0};
bool HapticOpen[MaxControllers] = {};
int ForceDeviceCount = 0;
int Watchdog = 0;

ControllerBackend *Backend()
{
    if (StartedBackend != nullptr) {
        return StartedBackend;
    }
    return ChosenBackend != nullptr ? ChosenBackend : SystemControllerBackend();
}

const char *ErrorName()
{
    const char *text = Backend()->LastError();
    return (text != nullptr && text[0] != '\0') ? text : "Unknown Error";
}

void Message(int colour, const char *format, ...) __attribute__((format(printf, 2, 3)));
void Message(int colour, const char *format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    MessageFunction(text, colour);
}

void ReportBackendError(const char *operation)
{
    Message(ColourSalmon, "DI : %s - %s", operation, ErrorName());
}

void ReportControllerError(int index, const char *operation)
{
    Message(ColourLightGrey, "Controller %d (%s) : %s - %s", index + 1, Controllers[index].name, operation,
            ErrorName());
}

int16_t ClampToShort(int value)
{
    return static_cast<int16_t>(value < -32768 ? -32768 : (value > 32767 ? 32767 : value));
}

// Nearest integer of value x 10000, kept to full scale; NaN reads as 0.
int ForceUnits(float value, bool *clipped)
{
    const float scaled = std::nearbyint(value * static_cast<float>(FullForce));
    *clipped = false;
    if (!(scaled > static_cast<float>(-FullForce))) {
        if (scaled != scaled) {
            return 0;
        }
        *clipped = true;
        return -FullForce;
    }
    if (scaled >= static_cast<float>(FullForce)) {
        *clipped = true;
        return FullForce;
    }
    return static_cast<int>(scaled);
}

void ReleaseForceFeedback()
{
    ControllerBackend *backend = Backend();
    for (int device = 0; device < MaxControllers; ++device) {
        if (HapticOpen[device]) {
            backend->CloseHaptic(device);
            HapticOpen[device] = false;
        }
    }
    SteerEffect = {-1, -1, 0};
    ShiftEffect = {-1, -1, 0};
    ForceDeviceCount = 0;
}

// Opens the device's actuators and makes the constant-force effect; 0 on
// success. A failure is reported here.
int CreateForceEffect(int device, ForceEffect *out)
{
    ControllerBackend *backend = Backend();
    if (!HapticOpen[device]) {
        if (backend->OpenHaptic(device) != 0) {
            ReportBackendError("OpenHaptic");
            return 1;
        }
        HapticOpen[device] = true;
    }
    int axes = backend->HapticAxisCount(device);
    axes = axes > 2 ? 2 : axes;
    const int effect = axes >= 1 ? backend->CreateConstantEffect(device, axes) : -1;
    if (effect < 0) {
        Message(ColourSalmon, "CreateEffect failed (%d axes)", axes);
        return 1;
    }
    *out = {device, effect, axes};
    return 0;
}

// Counts the force-capable controllers in device order and gives the chosen
// ones their effect; a device carries at most one.
void EnumerateForceDevices(bool createEffects)
{
    ForceDeviceCount = 0;
    for (int i = 0; i < ControllerCount; ++i) {
        const ControllerRecord &record = Controllers[i];
        if (!record.active || Backend()->IsHaptic(record.device) == 0) {
            continue;
        }
        const uint32_t number = static_cast<uint32_t>(ForceDeviceCount++);
        if (!createEffects) {
            continue;
        }
        if (number == ForceDevice && ForceFeedbackOn == 1) {
            if (CreateForceEffect(record.device, &SteerEffect) != 0) {
                Message(ColourLightGrey, "Could not set up FF steer device");
            }
        } else if (number == ShiftForceDevice && ShifterMode == ShiftForceMode) {
            if (CreateForceEffect(record.device, &ShiftEffect) != 0) {
                Message(ColourLightGrey, "Could not set up FF shift device");
            }
        }
    }
}

void StartEffect(const ForceEffect &effect, const char *operation)
{
    if (effect.device < 0) {
        return;
    }
    ControllerBackend *backend = Backend();
    backend->UpdateConstantEffect(effect.device, effect.effect, 1, 0, 0);
    const int result = backend->RunEffect(effect.device, effect.effect);
    if (result != HapticRunOk && result != HapticPermissionDenied) {
        ReportBackendError(operation);
    }
}

void StartForceEffects()
{
    StartEffect(SteerEffect, "Effect");
    StartEffect(ShiftEffect, "ShiftEffect");
}

float ClampFloat(float v, float lo, float hi)
{
    if (!(v >= lo)) {
        return lo;
    }
    return v > hi ? hi : v;
}

void SetUpController(int index, ControllerBackend *backend)
{
    ControllerRecord &record = Controllers[index];
    record.firstAxis = AxisCalibrationCount;
    record.firstButton = ButtonStateCount;
    ControllerDeviceInfo info = {};
    const int failed = backend->Open(index, &info);
    CopyString(record.name, info.name, ControllerNameSize);
    record.kind = static_cast<uint8_t>(info.kind);
    record.pedals = static_cast<uint8_t>(info.pedals > 0 ? info.pedals : 1);
    record.device = index;
    if (failed != 0) {
        ReportControllerError(index, "Open");
        return;
    }
    int present = 0;
    for (int slot = 0; slot < ControllerAxisSlots; ++slot) {
        present += info.axisPresent[slot] ? 1 : 0;
    }
    const int hats = info.hatCount < 0 ? 0 : (info.hatCount > ControllerMaxHats ? ControllerMaxHats : info.hatCount);
    if (AxisCalibrationCount + present > MaxAxisCalibrations ||
        ButtonStateCount + ControllerButtonCount + HatEntries * hats > ButtonStateSize) {
        backend->Close(index);
        ReportControllerError(index, "EnumObjects");
        return;
    }
    for (int slot = 0; slot < ControllerAxisSlots; ++slot) {
        if (info.axisPresent[slot]) {
            record.axisPresent[slot] = 1;
            AxisCalibrations[AxisCalibrationCount++].Init(slot);
        }
    }
    record.hatCount = static_cast<uint32_t>(hats);
    ButtonStateCount += ControllerButtonCount + HatEntries * hats;
    record.active = 1;
}

}  // namespace

// --- Calibration records ----------------------------------------------------------

void AxisCalibration::Init(int axisSlot)
{
    slot = static_cast<uint16_t>(axisSlot);
    value = 0;
}

void AxisCalibration::Reset(int keep)
{
    value = 0;
    minimum = 0;
    maximum = 0;
    if (keep == 0) {
        slot = 0;
    }
}

void AxisCalibration::Update(int raw)
{
    const int16_t v = ClampToShort(raw);
    if (AxesCalibrated != 0) {
        value = v < minimum ? minimum : (v > maximum ? maximum : v);
        return;
    }
    value = v;
    minimum = v < minimum ? v : minimum;
    maximum = v > maximum ? v : maximum;
}

float AxisCalibration::Centred() const
{
    if (maximum == minimum) {
        return 0.0f;
    }
    const float fraction = static_cast<float>(value - minimum) / static_cast<float>(maximum - minimum);
    return (fraction - 0.5f) * 2.0f;
}

float AxisCalibration::Fraction() const
{
    if (maximum == minimum) {
        return 0.0f;
    }
    return static_cast<float>(value - minimum) / static_cast<float>(maximum - minimum);
}

void ResetAxisCalibrations(int keep)
{
    for (AxisCalibration &record : AxisCalibrations) {
        record.Reset(keep);
    }
}

float GetAxisCentred(int axis)
{
    if (axis == AxisMouseX) {
        return ClampFloat(MouseFracX * MouseSensitivityX, -1.0f, 1.0f);
    }
    if (axis == AxisMouseY) {
        return ClampFloat(MouseFracY * MouseSensitivityY, -1.0f, 1.0f);
    }
    if (axis < 0 || axis >= MaxAxisCalibrations) {
        return 0.0f;
    }
    return AxisCalibrations[axis].Centred();
}

float GetAxisFraction(int axis)
{
    if (axis == AxisMouseX) {
        return ClampFloat((MouseFracX * MouseSensitivityX + 1.0f) * 0.5f, 0.0f, 1.0f);
    }
    if (axis == AxisMouseY) {
        return ClampFloat((MouseFracY * MouseSensitivityY + 1.0f) * 0.5f, 0.0f, 1.0f);
    }
    if (axis < 0 || axis >= MaxAxisCalibrations) {
        return 0.0f;
    }
    return AxisCalibrations[axis].Fraction();
}

int ReadCalibrationFile()
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, CalibrationPath, CalibrationId, &version, CalibrationVersion, 0) != nullptr) {
        return 0;
    }
    const uint32_t locked = stream.ReadU32();
    int16_t limits[MaxAxisCalibrations][2];
    for (auto &pair : limits) {
        pair[0] = static_cast<int16_t>(stream.ReadU16());
        pair[1] = static_cast<int16_t>(stream.ReadU16());
    }
    const bool truncated = stream.overrun;
    stream.Close();
    if (truncated) {
        return 0;
    }
    AxesCalibrated = locked;
    for (int i = 0; i < MaxAxisCalibrations; ++i) {
        AxisCalibrations[i].minimum = limits[i][0];
        AxisCalibrations[i].maximum = limits[i][1];
    }
    CalibrationFileRead = true;
    return 1;
}

int WriteCalibrationFile()
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, CalibrationPath, CalibrationId, CalibrationVersion) != nullptr) {
        return 0;
    }
    stream.WriteU32(AxesCalibrated);
    for (const AxisCalibration &record : AxisCalibrations) {
        stream.WriteU16(record.minimum);
        stream.WriteU16(record.maximum);
    }
    return stream.Close() == 0 ? 1 : 0;
}

void MarkCalibrationChanged()
{
    CalibrationChanged = true;
}

void ResetCalibrationFileState()
{
    CalibrationFileRead = false;
    CalibrationChanged = false;
}

void WriteCalibrationFileAtExit()
{
    if (CalibrationFileRead || CalibrationChanged) {
        WriteCalibrationFile();
    }
}

// --- Devices ----------------------------------------------------------------------------

void SetControllerBackend(ControllerBackend *backend)
{
    ChosenBackend = backend;
}

void SetControllerMessageFunction(ControllerMessageFunction function)
{
    MessageFunction = function != nullptr ? function : LogMessage;
}

void ResetControllerTables()
{
    std::memset(Controllers, 0, sizeof(Controllers));
    ControllerCount = 0;
    AxisCalibrationCount = 0;
    ButtonStateCount = 0;
    std::memset(ButtonState, 0, sizeof(ButtonState));
    std::memset(HapticOpen, 0, sizeof(HapticOpen));
    SteerEffect = {-1, -1, 0};
    ShiftEffect = {-1, -1, 0};
    ForceDeviceCount = 0;
    Watchdog = 0;
    for (AxisCalibration &record : AxisCalibrations) {
        record.slot = 0;
        record.value = 0;
    }
}

void ReleaseControllers()
{
    InputState = 0;
    if (StartedBackend == nullptr) {
        return;
    }
    ReleaseForceFeedback();
    for (int i = 0; i < ControllerCount; ++i) {
        if (Controllers[i].active && !Controllers[i].lost) {
            StartedBackend->Close(Controllers[i].device);
        }
        Controllers[i].active = 0;
    }
    StartedBackend->Stop();
    StartedBackend = nullptr;
}

int InitDirectInput()
{
    ReleaseControllers();
    ResetControllerTables();
    InputState = 1;
    ControllerBackend *backend = ChosenBackend != nullptr ? ChosenBackend : SystemControllerBackend();
    if (backend->Start() != 0) {
        StartedBackend = backend;
        ReportBackendError("Start");
        StartedBackend = nullptr;
        return 1;
    }
    StartedBackend = backend;
    const int devices = backend->DeviceCount();
    ControllerCount = devices < 0 ? 0 : (devices > MaxControllers ? MaxControllers : devices);
    if (ControllerCount == 0) {
        return 0;
    }
    int active = 0;
    for (int i = 0; i < ControllerCount; ++i) {
        SetUpController(i, backend);
        active += Controllers[i].active;
    }
    if (active == 0) {
        return 1;
    }
    ReadCalibrationFile();
    return 0;
}

void PollController(int index)
{
    if (StartedBackend == nullptr || index < 0 || index >= ControllerCount || !Controllers[index].active) {
        return;
    }
    ControllerRecord &record = Controllers[index];
    if (record.lost) {
        // Opened again now; its data comes from the next poll.
        ControllerDeviceInfo info = {};
        if (StartedBackend->Open(record.device, &info) == 0) {
            record.lost = 0;
        }
        return;
    }
    ControllerReading reading = {};
    if (StartedBackend->Poll(record.device, &reading) != 0) {
        StartedBackend->Close(record.device);
        record.lost = 1;
        return;
    }
    if (InputState < 2) {
        bool anyMoved = false;
        for (const int16_t value : reading.axes) {
            anyMoved = anyMoved || value != 0;
        }
        if (!anyMoved) {
            return;
        }
    }
    InputState = 2;
    int calibration = record.firstAxis;
    for (int slot = 0; slot < ControllerAxisSlots; ++slot) {
        if (record.axisPresent[slot]) {
            AxisCalibrations[calibration++].Update(reading.axes[slot]);
        }
    }
    uint8_t *block = ButtonState + record.firstButton;
    std::memcpy(block, reading.buttons, ControllerButtonCount);
    uint8_t *hat = block + ControllerButtonCount;
    for (uint32_t h = 0; h < record.hatCount; ++h, hat += HatEntries) {
        const int32_t direction = reading.hats[h];
        for (int entry = 0; entry < HatEntries; ++entry) {
            hat[entry] = direction == entry * 9000 ? PressedEntry : 0;
        }
    }
}

int PollControllers()
{
    if (ControllerCount == 0) {
        return 1;
    }
    for (int i = 0; i < ControllerCount; ++i) {
        PollController(i);
    }
    return InputState == 2 ? 1 : 0;
}

// --- Force feedback ------------------------------------------------------------------

int InitForceFeedback()
{
    if (ControllerCount == 0 || StartedBackend == nullptr) {
        return 0;
    }
    if (ForceFeedbackOn == 0 && ShifterMode != ShiftForceMode) {
        return 0;
    }
    ReleaseForceFeedback();
    EnumerateForceDevices(false);
    const uint32_t count = static_cast<uint32_t>(ForceDeviceCount);
    if (ForceDevice >= count || ShiftForceDevice >= count) {
        ForceDevice = 0;
        ShiftForceDevice = 0;
    }
    EnumerateForceDevices(true);
    StartForceEffects();
    return 0;
}

void SetSteerForce(float force)
{
    if (SteerEffect.device < 0) {
        return;
    }
    Watchdog = WatchdogMilliseconds;
    bool clipped = false;
    const int f = ForceUnits(force, &clipped);
    SteerForceClipped = clipped ? 1 : 0;
    if (SteerEffect.axes >= 2) {
        Backend()->UpdateConstantEffect(SteerEffect.device, SteerEffect.effect, f, 0, f < 0 ? -f : f);
    } else {
        Backend()->UpdateConstantEffect(SteerEffect.device, SteerEffect.effect, 1, 0, f);
    }
}

void SetShiftForce(float x, float y)
{
    if (ShiftEffect.device < 0) {
        return;
    }
    bool clipped = false;
    const int fx = ForceUnits(x, &clipped);
    const int fy = ForceUnits(y, &clipped);
    if (ShiftEffect.axes >= 2) {
        const float length = std::sqrt(static_cast<float>(fx) * static_cast<float>(fx) +
                                       static_cast<float>(fy) * static_cast<float>(fy));
        Backend()->UpdateConstantEffect(ShiftEffect.device, ShiftEffect.effect, fx, fy,
                                        static_cast<int>(std::nearbyint(length)));
    } else {
        Backend()->UpdateConstantEffect(ShiftEffect.device, ShiftEffect.effect, 1, 0, fx);
    }
}

void TickForceFeedback(int frameMilliseconds)
{
    Watchdog += frameMilliseconds > 0 ? frameMilliseconds : 0;
    if (Watchdog >= WatchdogMilliseconds) {
        SetSteerForce(0.0f);
        SetShiftForce(0.0f, 0.0f);
        Watchdog = 0;
    }
}
