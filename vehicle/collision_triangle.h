#pragma once

#include <cstdint>

#include "core/fixed_math.h"

// A vertex of a 3D object mesh as the collision code sees it: a first word
// of the mesh code, then the position.
struct CollisionVertex {
    uint32_t first;
    FixVector position;   // 16.16
};

// One triangle of a 3D object mesh flattened for collision. The field order
// is that of the mesh's collision data; nothing stores it in a file, so the
// pointers take their native size.
struct CollisionTriangle {
    FixVector normal;            // unit normal in 16.16
    int32_t meshWords[3];        // filled by the mesh code
    uint8_t layer;               // bit index of the collision layers the triangle takes part in
    uint8_t zero[3];
    const void *surface;         // the mesh's surface record of the triangle
    const CollisionVertex *vertices[3];
};

// Fills the normal, the layer byte, the three zero bytes, the surface and the
// vertex pointers. The normal is the unit cross product (v1 - v0) x (v2 - v0)
// in 16.16; a degenerate triangle gets the zero vector.
void SetUpCollisionTriangle(CollisionTriangle &triangle, const CollisionVertex *vertex0,
                            const CollisionVertex *vertex1, const CollisionVertex *vertex2, const void *surface,
                            uint8_t layer);
