#include "render/state_cache.h"

#include "render/render_device.h"

int StateCacheReloaded = 0;

namespace {

struct StateEntry {
    uint32_t device;
    uint32_t wanted;
    int32_t pending;  // slot in the pending list, -1 none
};

struct PendingList {
    uint32_t states[StateCachePendingMax];
    int count;
};

StateEntry RenderStates[StateCacheRenderStates];
PendingList RenderPending;
StateEntry StageStates[StateCacheStages][StateCacheStageTypes];
PendingList StagePending[StateCacheStages];
bool Loaded = false;

GraphicsDevice *Device()
{
    return RenderDevice.Device;
}

void ClearPending()
{
    for (StateEntry &entry : RenderStates) {
        entry.pending = -1;
    }
    RenderPending.count = 0;
    for (int stage = 0; stage < StateCacheStages; ++stage) {
        for (StateEntry &entry : StageStates[stage]) {
            entry.pending = -1;
        }
        StagePending[stage].count = 0;
    }
}

}  // namespace

bool IsRenderStateIndex(int state)
{
    if (state < 7 || state >= StateCacheRenderStates) {
        return false;
    }
    switch (state) {
    case 11: case 12: case 13: case 17: case 18: case 21: case 31: case 32: case 33: case 39:
    case 49: case 50: case 51: case 138: case 144: case 149: case 150: case 169:
        return false;
    default:
        break;
    }
    return !(state >= 41 && state <= 46) && !(state >= 61 && state <= 127);
}

bool IsTextureStageStateIndex(int type)
{
    return type >= 1 && type < StateCacheStageTypes && !(type >= 7 && type <= 10) && type != 12;
}

void SetRenderStateCached(uint32_t state, uint32_t value)
{
    if (state >= static_cast<uint32_t>(StateCacheRenderStates)) {
        return;
    }
    StateEntry &entry = RenderStates[state];
    if (entry.pending < 0) {
        if (RenderPending.count == StateCachePendingMax) {
            FlushStateCache();
        }
        entry.pending = RenderPending.count;
        RenderPending.states[RenderPending.count++] = state;
    }
    entry.wanted = value;
}

void SetTextureStageStateCached(int stage, uint32_t type, uint32_t value)
{
    if (stage < 0 || stage >= StateCacheStages || type >= static_cast<uint32_t>(StateCacheStageTypes)) {
        return;
    }
    StateEntry &entry = StageStates[stage][type];
    PendingList &list = StagePending[stage];
    if (entry.pending < 0) {
        if (list.count == StateCachePendingMax) {
            FlushStateCache();
        }
        entry.pending = list.count;
        list.states[list.count++] = type;
    }
    entry.wanted = value;
}

void FlushStateCache()
{
    GraphicsDevice *device = Device();
    for (int i = 0; i < RenderPending.count; ++i) {
        const uint32_t state = RenderPending.states[i];
        StateEntry &entry = RenderStates[state];
        entry.pending = -1;
        if (entry.wanted != entry.device && device != nullptr) {
            device->SetRenderState(state, entry.wanted);
            entry.device = entry.wanted;
        }
    }
    RenderPending.count = 0;
    for (int stage = 0; stage < StateCacheStages; ++stage) {
        PendingList &list = StagePending[stage];
        for (int i = 0; i < list.count; ++i) {
            const uint32_t type = list.states[i];
            StateEntry &entry = StageStates[stage][type];
            entry.pending = -1;
            if (entry.wanted != entry.device && device != nullptr) {
                device->SetTextureStageState(stage, type, entry.wanted);
                entry.device = entry.wanted;
            }
        }
        list.count = 0;
    }
}

void LoadStateCache()
{
    GraphicsDevice *device = Device();
    if (Loaded || device == nullptr) {
        return;
    }
    for (int state = 0; state < StateCacheRenderStates; ++state) {
        uint32_t value = 0;
        if (IsRenderStateIndex(state)) {
            device->GetRenderState(static_cast<uint32_t>(state), &value);
        }
        RenderStates[state] = {value, value, -1};
    }
    for (int stage = 0; stage < StateCacheStages; ++stage) {
        for (int type = 0; type < StateCacheStageTypes; ++type) {
            uint32_t value = 0;
            if (IsTextureStageStateIndex(type)) {
                device->GetTextureStageState(stage, static_cast<uint32_t>(type), &value);
            }
            StageStates[stage][type] = {value, value, -1};
        }
    }
    ClearPending();
    Loaded = true;
}

void ReloadStateCache()
{
    GraphicsDevice *device = Device();
    ClearPending();
    StateCacheReloaded = 1;
    if (device == nullptr) {
        return;
    }
    for (int state = 0; state < StateCacheRenderStates; ++state) {
        if (IsRenderStateIndex(state)) {
            StateEntry &entry = RenderStates[state];
            device->SetRenderState(static_cast<uint32_t>(state), entry.wanted);
            entry.device = entry.wanted;
        }
    }
    for (int stage = 0; stage < StateCacheStages; ++stage) {
        for (int type = 0; type < StateCacheStageTypes; ++type) {
            if (IsTextureStageStateIndex(type)) {
                StateEntry &entry = StageStates[stage][type];
                device->SetTextureStageState(stage, static_cast<uint32_t>(type), entry.wanted);
                entry.device = entry.wanted;
            }
        }
    }
}

void UnloadStateCache()
{
    if (!Loaded) {
        return;
    }
    FlushStateCache();
    Loaded = false;
}

bool StateCacheLoaded()
{
    return Loaded;
}

uint32_t WantedRenderState(uint32_t state)
{
    return state < static_cast<uint32_t>(StateCacheRenderStates) ? RenderStates[state].wanted : 0;
}

uint32_t WantedStageState(int stage, uint32_t type)
{
    if (stage < 0 || stage >= StateCacheStages || type >= static_cast<uint32_t>(StateCacheStageTypes)) {
        return 0;
    }
    return StageStates[stage][type].wanted;
}
