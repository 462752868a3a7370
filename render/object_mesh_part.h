#pragma once

#include <cstdint>

// The dynamic mesh of a lit-mesh object: one detail level built on demand.
// It stays valid while the level distance lies within minDistance ..
// maxDistance (16.16; a maximum of -1 means no limit); outside that range
// its owner drops it and builds another.
class ObjectMeshPart {
public:
    ObjectMeshPart() = default;
    // Frees what the mesh holds; the owner deletes it afterwards.
    virtual void Release() = 0;
    // Draws with the view classification of the owner's bounding sphere.
    virtual void Draw(int visibility) = 0;
    virtual ~ObjectMeshPart() = default;

    int32_t minDistance = 0;
    int32_t maxDistance = -1;
};
