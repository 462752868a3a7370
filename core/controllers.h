#pragma once

#include <cstdint>

#include "platform/controllers.h"

// The attached game controllers as the program keeps them: per-controller
// records, one calibration record per present axis (positional, in device
// order), one table of button states, the mouse standing in for two axes,
// the calibration file, and the force-feedback effects with their watchdog.

constexpr int MaxControllers = 8;
constexpr int MaxAxisCalibrations = 64;
constexpr int ButtonStateSize = 384;

struct ControllerRecord {
    char name[ControllerNameSize];
    uint8_t kind;         // ControllerKind...
    uint8_t pedals;
    uint8_t active;       // set up completely
    uint8_t lost;         // a poll failed: opened again at the next poll
    int device;           // the backend's device index
    int firstAxis;        // first calibration record
    uint8_t axisPresent[ControllerAxisSlots];
    uint32_t hatCount;    // at most 4
    int firstButton;      // first ButtonState entry
};

struct AxisCalibration {
    uint16_t slot;        // which of the controller's eight axes
    int16_t value;        // current value, -1000..1000 (or the clamped value)
    int16_t minimum;
    int16_t maximum;

    void Init(int axisSlot);
    void Reset(int keep);
    void Update(int raw);
    float Centred() const;
    float Fraction() const;
};

extern ControllerRecord Controllers[MaxControllers];
extern int ControllerCount;              // controllers enumerated (records in use)
extern AxisCalibration AxisCalibrations[MaxAxisCalibrations];
extern int AxisCalibrationCount;
extern int ButtonStateCount;             // entries in use
extern uint8_t ButtonState[ButtonStateSize];
// 0 not started, 1 started, 2 a controller has delivered data.
extern int InputState;
// 0 while calibrating (limits widen), non-zero when the limits clamp.
extern uint32_t AxesCalibrated;
extern int SteerForceClipped;

// The backend used from the next InitDirectInput; null restores the system's.
void SetControllerBackend(ControllerBackend *backend);
// Where controller messages go ("DI : %s - %s", ...). Null: the debug log.
using ControllerMessageFunction = void (*)(const char *text, int colour);
void SetControllerMessageFunction(ControllerMessageFunction function);

// Releases what was started, clears the tables, starts the backend and sets
// up every controller. 0 on success (also with none attached), non-zero when
// the backend failed or no attached controller could be set up.
int InitDirectInput();
void ReleaseControllers();
void ResetControllerTables();

// Reads one controller into the calibrations and ButtonState.
void PollController(int index);
// 1 when no controller is attached or data has arrived; else 0.
int PollControllers();

void ResetAxisCalibrations(int keep);
// -3 mouse horizontal, -2 mouse vertical, 0.. calibration record; other
// values read 0.
float GetAxisCentred(int axis);
float GetAxisFraction(int axis);

// "data\misc\cfg.clb". Read returns 1 when read; write returns 1 when written.
int ReadCalibrationFile();
int WriteCalibrationFile();
// The user reset, locked or reopened the calibration: the exit write is due.
void MarkCalibrationChanged();
// The shutdown write: only when the file was read in this run or the user
// changed the calibration, so that a run without the controller does not
// overwrite stored limits with empty ones.
void WriteCalibrationFileAtExit();
// Forgets that the file was read or changed (a fresh run, for tests).
void ResetCalibrationFileState();

// Force feedback. 0 on success.
int InitForceFeedback();
void SetSteerForce(float force);
void SetShiftForce(float x, float y);
// Once per frame before the controls are read; drops the forces when they
// were not renewed since the previous tick.
void TickForceFeedback(int frameMilliseconds);
