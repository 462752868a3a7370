#include "vehicle/collision_triangle.h"

#include <cmath>

#include "vehicle/fix_convert.h"

void SetUpCollisionTriangle(CollisionTriangle &triangle, const CollisionVertex *vertex0,
                            const CollisionVertex *vertex1, const CollisionVertex *vertex2, const void *surface,
                            uint8_t layer) {
    const FixVector &p0 = vertex0->position;
    const FixVector &p1 = vertex1->position;
    const FixVector &p2 = vertex2->position;
    // Differences in 64 bits: two positions far apart must not wrap.
    const float e1x = static_cast<float>(static_cast<int64_t>(p1.x) - p0.x) * FixToFloat;
    const float e1y = static_cast<float>(static_cast<int64_t>(p1.y) - p0.y) * FixToFloat;
    const float e1z = static_cast<float>(static_cast<int64_t>(p1.z) - p0.z) * FixToFloat;
    const float e2x = static_cast<float>(static_cast<int64_t>(p2.x) - p0.x) * FixToFloat;
    const float e2y = static_cast<float>(static_cast<int64_t>(p2.y) - p0.y) * FixToFloat;
    const float e2z = static_cast<float>(static_cast<int64_t>(p2.z) - p0.z) * FixToFloat;
    float cx = e1y * e2z - e1z * e2y;
    float cy = e1z * e2x - e1x * e2z;
    float cz = e1x * e2y - e1y * e2x;
    const float length = std::sqrt(cx * cx + cy * cy + cz * cz);
    if (length > 1e-6f) {
        const float scale = 65536.0f / length;
        cx *= scale;
        cy *= scale;
        cz *= scale;
    }
    triangle.normal = {RoundToInt(cx), RoundToInt(cy), RoundToInt(cz)};
    triangle.layer = layer;
    triangle.zero[0] = 0;
    triangle.zero[1] = 0;
    triangle.zero[2] = 0;
    triangle.surface = surface;
    triangle.vertices[0] = vertex0;
    triangle.vertices[1] = vertex1;
    triangle.vertices[2] = vertex2;
}
