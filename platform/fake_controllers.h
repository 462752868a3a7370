#pragma once

#include "platform/controllers.h"

// A controller backend without hardware, for tests: devices are described
// by plain fields, readings are set directly, and every force-feedback call
// is counted and remembered.

struct FakeControllerDevice {
    ControllerDeviceInfo info;
    ControllerReading reading;
    int openFails;          // Open answers failure
    int pollFails;          // Poll answers failure (the device is lost)
    int haptic;             // has force actuators
    int hapticAxes;         // 1 or 2
    int createFails;        // CreateConstantEffect answers -1
    int runResult;          // what RunEffect answers

    // Observed.
    int open;
    int opens;
    int hapticOpen;
    int effects;            // effects created
    int updates;
    int lastDirX;
    int lastDirY;
    int lastLevel;
    int runs;
};

constexpr int FakeMaxDevices = 8;

class FakeControllerBackend final : public ControllerBackend {
public:
    FakeControllerBackend();

    // Adds a device with the axes 0..axes-1, the hats given, and a name.
    FakeControllerDevice &Add(const char *name, int kind, int axes, int hats);

    int Start() override;
    void Stop() override;
    int DeviceCount() override;
    int Open(int device, ControllerDeviceInfo *info) override;
    void Close(int device) override;
    int Poll(int device, ControllerReading *reading) override;
    int IsHaptic(int device) override;
    int OpenHaptic(int device) override;
    int HapticAxisCount(int device) override;
    int CreateConstantEffect(int device, int axes) override;
    int UpdateConstantEffect(int device, int effect, int dirX, int dirY, int level) override;
    int RunEffect(int device, int effect) override;
    void CloseHaptic(int device) override;
    const char *LastError() override;

    FakeControllerDevice devices[FakeMaxDevices];
    int deviceCount;
    int startFails;
    int started;
    int starts;

private:
    FakeControllerDevice *Find(int device);
};
