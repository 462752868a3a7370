// A stand-in for the head tracker's client library, loaded by the tests with
// a real dlopen. Built twice: complete, and without NP_ReCenter.

#include <cstdint>
#include <cstring>

namespace {

// Answers of the entry points, set by the test through FakeTrackerSet.
int RegisterWindowResult = 0;
int QueryVersionResult = 0;
int RequestDataResult = 0;
int RegisterProfileResult = 0;
int StartTransmissionResult = 0;
int StopTransmissionResult = 0;
int Stopped = 0;
uint16_t LastMask = 0;
uint16_t LastProfile = 0;
int Unregistered = 0;

}  // namespace

extern "C" {

// which: 0 register window, 1 query version, 2 request data, 3 register
// profile, 4 start transmission, 5 stop transmission.
__attribute__((visibility("default"))) void FakeTrackerSet(int which, int result)
{
    int *const results[] = {&RegisterWindowResult, &QueryVersionResult, &RequestDataResult,
                            &RegisterProfileResult, &StartTransmissionResult, &StopTransmissionResult};
    if (which >= 0 && which < 6) {
        *results[which] = result;
    }
}

// what: 0 last data mask, 1 last profile id, 2 unregister calls, 3 stop
// transmission calls.
__attribute__((visibility("default"))) int FakeTrackerSeen(int what)
{
    return what == 0 ? LastMask : what == 1 ? LastProfile : what == 2 ? Unregistered : Stopped;
}

__attribute__((visibility("default"))) int NP_RegisterWindowHandle(uintptr_t) { return RegisterWindowResult; }
__attribute__((visibility("default"))) int NP_UnregisterWindowHandle()
{
    ++Unregistered;
    return 0;
}
__attribute__((visibility("default"))) int NP_RegisterProgramProfileID(uint16_t id)
{
    LastProfile = id;
    return RegisterProfileResult;
}
__attribute__((visibility("default"))) int NP_QueryVersion(uint16_t *version)
{
    *version = 0x0400;
    return QueryVersionResult;
}
__attribute__((visibility("default"))) int NP_RequestData(uint16_t mask)
{
    LastMask = mask;
    return RequestDataResult;
}
// The client calls it through a pointer of this exact form: a call through
// a pointer of another type is undefined.
struct TrackIRData;
__attribute__((visibility("default"))) int NP_GetData(TrackIRData *data)
{
    std::memset(data, 0, 28);
    return 0;
}
__attribute__((visibility("default"))) int NP_StartCursor() { return 0; }
__attribute__((visibility("default"))) int NP_StopCursor() { return 0; }
#ifndef FAKE_TRACKER_WITHOUT_RECENTER
__attribute__((visibility("default"))) int NP_ReCenter() { return 0; }
#endif
__attribute__((visibility("default"))) int NP_StartDataTransmission() { return StartTransmissionResult; }
__attribute__((visibility("default"))) int NP_StopDataTransmission()
{
    ++Stopped;
    return StopTransmissionResult;
}

}  // extern "C"
