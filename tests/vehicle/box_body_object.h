#pragma once

#include <cstdint>

#include "render/object_file.h"

// A closed box as the only level of a body object, in part 0: 2 m wide, 4 m
// long and 1 m high, its floor at `floorZ` (16.16 metres). Each face is two
// triangles listed counter-clockwise seen from outside.
struct BoxBodyObject {
    Object3D object;

    explicit BoxBodyObject(int32_t floorZ = 0) {
        InitObject3D(&object);
        object.pointCount = 8;
        object.points = new ObjectPoint[8]();
        for (int i = 0; i < 8; i++) {
            object.points[i].x = (i & 1 ? 1 : -1) * 65536;
            object.points[i].y = (i & 2 ? 2 : -2) * 65536;
            object.points[i].z = (i & 4 ? 1 : 0) * 65536 + floorZ;
        }
        // Quads as corner bits.
        const int quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
        object.triangleCount = 12;
        object.triangles = new ObjectTriangle[12]();
        for (int q = 0; q < 6; q++) {
            const int *c = quads[q];
            const int corners[2][3] = {{c[0], c[1], c[2]}, {c[0], c[2], c[3]}};
            for (int t = 0; t < 2; t++) {
                for (int k = 0; k < 3; k++)
                    object.triangles[2 * q + t].corners[k] = static_cast<uint16_t>(corners[t][k]);
            }
        }
    }
    ~BoxBodyObject() { FreeObject3D(&object); }
    BoxBodyObject(const BoxBodyObject &) = delete;
    BoxBodyObject &operator=(const BoxBodyObject &) = delete;
};
