#pragma once

#include <cstdint>
#include <vector>

// The devices keep their textures, surfaces and buffers in tables indexed by
// handle; slot 0 is never used, so handle 0 means none. A slot is live while
// its `alive` flag is set.

// The live slot of a handle, or null.
template <typename Slot>
Slot *FindLiveSlot(std::vector<Slot> &slots, uint32_t handle)
{
    return handle != 0 && handle < slots.size() && slots[handle].alive ? &slots[handle] : nullptr;
}

template <typename Slot>
const Slot *FindLiveSlot(const std::vector<Slot> &slots, uint32_t handle)
{
    return handle != 0 && handle < slots.size() && slots[handle].alive ? &slots[handle] : nullptr;
}

// Appends a live copy of the slot; returns its handle.
template <typename Slot>
uint32_t AddLiveSlot(std::vector<Slot> &slots, const Slot &slot)
{
    slots.push_back(slot);
    slots.back().alive = true;
    return static_cast<uint32_t>(slots.size() - 1);
}
