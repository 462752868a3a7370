#include "platform/fake_controllers.h"

#include <cstring>

FakeControllerBackend::FakeControllerBackend() : devices{}, deviceCount(0), startFails(0), started(0), starts(0) {}

FakeControllerDevice &FakeControllerBackend::Add(const char *name, int kind, int axes, int hats)
{
    FakeControllerDevice &device = devices[deviceCount < FakeMaxDevices ? deviceCount++ : FakeMaxDevices - 1];
    device = FakeControllerDevice{};
    std::strncpy(device.info.name, name, ControllerNameSize - 1);
    device.info.kind = kind;
    device.info.pedals = 1;
    for (int slot = 0; slot < ControllerAxisSlots; ++slot) {
        device.info.axisPresent[slot] = slot < axes ? 1 : 0;
    }
    device.info.hatCount = hats;
    for (int32_t &hat : device.reading.hats) {
        hat = HatCentred;
    }
    device.hapticAxes = 1;
    return device;
}

FakeControllerDevice *FakeControllerBackend::Find(int device)
{
    return device >= 0 && device < deviceCount ? &devices[device] : nullptr;
}

int FakeControllerBackend::Start()
{
    ++starts;
    if (startFails) {
        return 1;
    }
    started = 1;
    return 0;
}

void FakeControllerBackend::Stop()
{
    started = 0;
    for (int i = 0; i < deviceCount; ++i) {
        devices[i].open = 0;
        devices[i].hapticOpen = 0;
    }
}

int FakeControllerBackend::DeviceCount()
{
    return started ? deviceCount : 0;
}

int FakeControllerBackend::Open(int device, ControllerDeviceInfo *info)
{
    FakeControllerDevice *d = Find(device);
    if (d == nullptr) {
        return 1;
    }
    *info = d->info;
    if (d->openFails) {
        return 1;
    }
    d->open = 1;
    ++d->opens;
    return 0;
}

void FakeControllerBackend::Close(int device)
{
    if (FakeControllerDevice *d = Find(device)) {
        d->open = 0;
    }
}

int FakeControllerBackend::Poll(int device, ControllerReading *reading)
{
    FakeControllerDevice *d = Find(device);
    if (d == nullptr || !d->open || d->pollFails) {
        return 1;
    }
    *reading = d->reading;
    return 0;
}

int FakeControllerBackend::IsHaptic(int device)
{
    FakeControllerDevice *d = Find(device);
    return d != nullptr && d->haptic ? 1 : 0;
}

int FakeControllerBackend::OpenHaptic(int device)
{
    FakeControllerDevice *d = Find(device);
    if (d == nullptr || !d->haptic) {
        return 1;
    }
    d->hapticOpen = 1;
    return 0;
}

int FakeControllerBackend::HapticAxisCount(int device)
{
    FakeControllerDevice *d = Find(device);
    return d != nullptr ? d->hapticAxes : 0;
}

int FakeControllerBackend::CreateConstantEffect(int device, int)
{
    FakeControllerDevice *d = Find(device);
    if (d == nullptr || !d->hapticOpen || d->createFails) {
        return -1;
    }
    return d->effects++;
}

int FakeControllerBackend::UpdateConstantEffect(int device, int, int dirX, int dirY, int level)
{
    FakeControllerDevice *d = Find(device);
    if (d == nullptr) {
        return 1;
    }
    ++d->updates;
    d->lastDirX = dirX;
    d->lastDirY = dirY;
    d->lastLevel = level;
    return 0;
}

int FakeControllerBackend::RunEffect(int device, int)
{
    FakeControllerDevice *d = Find(device);
    if (d == nullptr) {
        return HapticRunFailed;
    }
    ++d->runs;
    return d->runResult;
}

void FakeControllerBackend::CloseHaptic(int device)
{
    if (FakeControllerDevice *d = Find(device)) {
        d->hapticOpen = 0;
    }
}

const char *FakeControllerBackend::LastError()
{
    return "fake failure";
}
