#include "core/track_ir.h"

#include <cstdlib>
#include <cstring>

#include "core/main_window.h"
#include "platform/dynamic_library.h"

namespace {

constexpr int TrackIRReady = 0;
constexpr int TrackIRNotInstalled = 1;
constexpr int TrackIRFailed = 2;

struct TrackIRClient {
    void *library;
    TrackIRRegisterWindowFn registerWindow;
    TrackIRNoArgumentFn unregisterWindow;
    TrackIRProfileFn registerProfile;
    TrackIRVersionFn queryVersion;
    TrackIRMaskFn requestData;
    TrackIRGetDataFn getData;
    TrackIRNoArgumentFn startCursor;
    TrackIRNoArgumentFn stopCursor;
    TrackIRNoArgumentFn reCenter;
    TrackIRNoArgumentFn startTransmission;
    TrackIRNoArgumentFn stopTransmission;
};

TrackIRClient Client = {};

template <typename Function>
bool Resolve(Function *out, const char *name)
{
    void *symbol = PlatformLibrarySymbol(Client.library, name);
    *out = reinterpret_cast<Function>(symbol);
    return symbol != nullptr;
}

void CloseClient()
{
    PlatformCloseLibrary(Client.library);
    Client = {};
}

}  // namespace

int LoadTrackIRClient()
{
    if (Client.library != nullptr) {
        return TrackIRReady;
    }
    const char *path = std::getenv(TrackIRLibraryVariable);
    if (path == nullptr || path[0] == '\0' || std::strlen(path) > static_cast<size_t>(TrackIRMaxPathLength)) {
        return TrackIRNotInstalled;
    }
    Client.library = PlatformOpenLibrary(path);
    if (Client.library == nullptr) {
        return TrackIRNotInstalled;
    }
    // Every entry point must exist, also the ones the program does not call.
    bool complete = true;
    complete = Resolve(&Client.registerWindow, "NP_RegisterWindowHandle") && complete;
    complete = Resolve(&Client.unregisterWindow, "NP_UnregisterWindowHandle") && complete;
    complete = Resolve(&Client.registerProfile, "NP_RegisterProgramProfileID") && complete;
    complete = Resolve(&Client.queryVersion, "NP_QueryVersion") && complete;
    complete = Resolve(&Client.requestData, "NP_RequestData") && complete;
    complete = Resolve(&Client.getData, "NP_GetData") && complete;
    complete = Resolve(&Client.startCursor, "NP_StartCursor") && complete;
    complete = Resolve(&Client.stopCursor, "NP_StopCursor") && complete;
    complete = Resolve(&Client.reCenter, "NP_ReCenter") && complete;
    complete = Resolve(&Client.startTransmission, "NP_StartDataTransmission") && complete;
    complete = Resolve(&Client.stopTransmission, "NP_StopDataTransmission") && complete;
    uint16_t version = 0;
    if (complete && Client.registerWindow(PlatformNativeWindowId()) == 0 && Client.queryVersion(&version) == 0 &&
        Client.requestData(TrackIRDataMask) == 0 && Client.registerProfile(TrackIRProfileId) == 0) {
        return TrackIRReady;
    }
    CloseClient();
    return TrackIRFailed;
}

void UnloadTrackIRClient()
{
    if (Client.library == nullptr) {
        return;
    }
    Client.unregisterWindow();
    CloseClient();
    TrackIRState = TrackIRFailed;
}

int RegisterTrackIRWindow(uintptr_t window)
{
    return Client.library != nullptr ? Client.registerWindow(window) : 1;
}

int UnregisterTrackIRWindow()
{
    return Client.library != nullptr ? Client.unregisterWindow() : 1;
}

int RegisterTrackIRProgram(uint16_t id)
{
    return Client.library != nullptr ? Client.registerProfile(id) : 1;
}

int QueryTrackIRVersion(uint16_t *version)
{
    return Client.library != nullptr && version != nullptr ? Client.queryVersion(version) : 1;
}

int RequestTrackIRData(uint16_t mask)
{
    return Client.library != nullptr ? Client.requestData(mask) : 1;
}

int GetTrackIRData(TrackIRData *data)
{
    return Client.library != nullptr && data != nullptr ? Client.getData(data) : 1;
}

int StartTrackIRTransmission()
{
    return Client.library != nullptr ? Client.startTransmission() : 1;
}

int StopTrackIRTransmission()
{
    return Client.library != nullptr ? Client.stopTransmission() : 1;
}
