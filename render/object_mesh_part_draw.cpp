#include "render/object_mesh_part.h"

#include "render/geometry_batch.h"
#include "render/model_node.h"
#include "render/render_object.h"
#include "render/strip_mesh.h"
#include "render/view.h"

#include <cmath>

// Each list through the world batch: positions in metres, the colour word
// the world's selector picks, and for environment lists texture
// coordinates reflected from the eye. Triangles go in as (first, third,
// second).
void ObjectMeshPart::Draw(int)
{
    if (vertices == nullptr || triangles == nullptr || lists == nullptr) {
        return;
    }
    const float eye[3] = {static_cast<float>(CurrentView->eye.x) / 65536.0f,
                          static_cast<float>(CurrentView->eye.y) / 65536.0f,
                          static_cast<float>(CurrentView->eye.z) / 65536.0f};
    const float a = EnvironmentRotation[0];
    const float b = EnvironmentRotation[1];
    const bool ambient = ObjectMeshColourSelector == ObjectMeshAmbientWord;
    int32_t firstVertex = 0;
    int32_t firstTriangle = 0;
    for (int l = 0; l < listCount; ++l) {
        const MaterialDrawList &list = lists[l];
        const int32_t count = static_cast<int32_t>(list.vertexCount);
        const int32_t triangleTotal = static_cast<int32_t>(list.triangleCount);
        if (count < 0 || triangleTotal < 0 || firstVertex + count > vertexCount ||
            firstTriangle + triangleTotal > triangleCount) {
            break;
        }
        BeginWorldBatch(list.material, static_cast<uint32_t>(count), static_cast<uint32_t>(triangleTotal));
        for (int32_t i = 0; i < count; ++i) {
            const ObjectMeshVertex &v = vertices[firstVertex + i];
            const float x = static_cast<float>(v.x) / 65536.0f;
            const float y = static_cast<float>(v.y) / 65536.0f;
            const float z = static_cast<float>(v.z) / 65536.0f;
            float u = v.u;
            float tv = v.v;
            if (list.flags & ModelListEnvironment) {
                float d[3] = {x - eye[0], y - eye[1], (z - eye[2]) * ReflectionScale};
                const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                if (length > 0.0f) {
                    d[0] /= length;
                    d[1] /= length;
                    d[2] /= length;
                }
                const float dn = d[0] * v.nx + d[1] * v.ny + d[2] * v.nz;
                const float r[2] = {d[0] - 2.0f * dn * v.nx, d[1] - 2.0f * dn * v.ny};
                u = (a * r[0] + b * r[1] + 1.0f) / 2.0f;
                tv = (-b * r[0] + a * r[1] + 1.0f) / 2.0f;
            }
            AddWorldVertex(x, y, z, u, tv, ambient ? v.ambientColour : v.litColour);
        }
        for (int32_t t = 0; t < triangleTotal; ++t) {
            const ObjectMeshTriangle &triangle = triangles[firstTriangle + t];
            const uint32_t c0 = triangle.corners[0] - static_cast<uint32_t>(firstVertex);
            const uint32_t c1 = triangle.corners[1] - static_cast<uint32_t>(firstVertex);
            const uint32_t c2 = triangle.corners[2] - static_cast<uint32_t>(firstVertex);
            if (c0 >= static_cast<uint32_t>(count) || c1 >= static_cast<uint32_t>(count) ||
                c2 >= static_cast<uint32_t>(count)) {
                continue;
            }
            AddWorldTriangle(static_cast<uint16_t>(c0), static_cast<uint16_t>(c2), static_cast<uint16_t>(c1));
        }
        FlushWorldBatch();
        firstVertex += count;
        firstTriangle += triangleTotal;
    }
}
