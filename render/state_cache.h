#pragma once

#include <cstdint>

// Deferred caches of the render states and texture-stage states. Every state
// the render layer sets goes through them; FlushStateCache sends what
// changed (and only what differs from the device's value) in the order the
// states were first set, before a draw and at the end of a scene.

constexpr int StateCacheRenderStates = 172;
constexpr int StateCacheStages = 8;
constexpr int StateCacheStageTypes = 29;
constexpr int StateCachePendingMax = 16;

// The state numbers the device has.
bool IsRenderStateIndex(int state);
bool IsTextureStageStateIndex(int type);

// A full pending list flushes first. Unknown numbers are ignored.
void SetRenderStateCached(uint32_t state, uint32_t value);
void SetTextureStageStateCached(int stage, uint32_t type, uint32_t value);
void FlushStateCache();

// After device creation: reads every state from the device. Refused when
// loaded already.
void LoadStateCache();
// After a Reset: sends every wanted value to the device again.
void ReloadStateCache();
// At shut-down: flushes and forgets. Refused when not loaded.
void UnloadStateCache();
bool StateCacheLoaded();
// Set by ReloadStateCache; the next frame start uses the plain filters once
// and clears it.
extern int StateCacheReloaded;

// The value the render layer last asked for.
uint32_t WantedRenderState(uint32_t state);
uint32_t WantedStageState(int stage, uint32_t type);
