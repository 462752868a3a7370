#include "render/object_bounds.h"

#include <algorithm>
#include <cstdint>

#include "render/object_file.h"

void ComputeObjectBoundingSphere(const Object3D *object, FixVector &centre, int32_t &radius)
{
    centre = {0, 0, 0};
    radius = 0;
    int64_t low[3] = {INT64_MAX, INT64_MAX, INT64_MAX};
    int64_t high[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
    bool any = false;
    for (int t = 0; t < object->triangleCount; ++t) {
        for (uint16_t corner : object->triangles[t].corners) {
            const int index = corner & CornerIndexMask;
            if (index >= object->pointCount) {
                continue;
            }
            const ObjectPoint &point = object->points[index];
            const int64_t p[3] = {point.x, point.y, point.z};
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], p[axis]);
                high[axis] = std::max(high[axis], p[axis]);
            }
            if (IsMirroredPoint(point)) {
                low[0] = std::min(low[0], -p[0]);
                high[0] = std::max(high[0], -p[0]);
            }
            any = true;
        }
    }
    if (!any) {
        return;
    }
    centre.x = static_cast<int32_t>((low[0] + high[0]) / 2);
    centre.y = static_cast<int32_t>((low[1] + high[1]) / 2);
    centre.z = static_cast<int32_t>((low[2] + high[2]) / 2);
    // Half extents of a box of 32-bit points fit 32 bits but for the last
    // unit; CalcLength3D saturates what does not fit.
    int32_t half[3];
    for (int axis = 0; axis < 3; ++axis) {
        half[axis] = static_cast<int32_t>(std::min<int64_t>((high[axis] - low[axis]) / 2, INT32_MAX));
    }
    radius = CalcLength3D(half[0], half[1], half[2]);
}
