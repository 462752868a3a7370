// Damage: dents from hard body contacts, kept as deformation records, and
// the shape rebuilt from them: the drawn meshes (vertices, normals, part
// positions) and the physics shape (wheel mounts, collision points).
#include "vehicle/car_damage.h"

#include <cmath>
#include <cstdint>
#include <new>

#include "core/fixed_math.h"
#include "core/float_math.h"
#include "core/float_matrix.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/collision_hull.h"
#include "vehicle/vector3.h"

// Byte 0 of a record names the collision point.
static_assert(MaxCollisionHullPoints <= 256, "a damage record names its point in one byte");

namespace {

constexpr float DirectionScale = 30720.0f;
constexpr float InverseDirectionScale = 1.0f / 30720.0f;
// A dent pushes a point at most this share of its distance from the centre
// of mass away from its undamaged place.
constexpr float DentLimitShare = 0.12f;
// Contacts no harder than the car's weight leave no dent.
constexpr float DentGravity = 9.81f;

int PackComponent(float c) {
    if (!std::isfinite(c))
        return 0;
    if (c > 1.0f)
        c = 1.0f;
    if (c < -1.0f)
        c = -1.0f;
    const int16_t word = static_cast<int16_t>(std::lround(c * DirectionScale));
    return word >> 11;  // arithmetic: -0.5 gives -8, +0.5 gives 7
}

float UnpackComponent(uint16_t fiveBitsAtTop) {
    const int16_t word = static_cast<int16_t>(fiveBitsAtTop & 0xF800u);
    return static_cast<float>(word) * InverseDirectionScale;
}

float Length3(const float v[3]) {
    return std::sqrt(Dot3(v, v));
}

// Words per vertex and per part of the saved undamaged copies (after the
// count in word 0).
constexpr int SavedVertexWords = 6;
constexpr int SavedPartWords = 3;
constexpr float FixToMetres = 1.0f / 65536.0f;
constexpr float Pi = 3.14159265f;

// One deformation record made ready for the meshes.
struct DentShape {
    const float *point;   // p, metres in the car's frame
    const float *normal;  // n, the decoded direction
    float h2;             // (half the wheelbase)^2
    float d0;             // the depth of the fall-off in front of the point
    float magnitude;      // m, metres
};

// Whether a position (metres) lies in the dent's reach; `fall` =
// (1 - |v - p|^2 / h^2) x f, f = 1 - s / d0 in front of the point and 1
// behind it.
bool DentFalloff(const float v[3], const DentShape &dent, float &fall) {
    const float d[3] = {v[0] - dent.point[0], v[1] - dent.point[1], v[2] - dent.point[2]};
    const float s = Dot3(d, dent.normal);
    const float dist2 = Dot3(d, d);
    if (!(s < dent.d0 && dist2 < dent.h2))
        return false;
    const float f = s >= 0.0f ? 1.0f - s / dent.d0 : 1.0f;
    fall = (1.0f - dist2 / dent.h2) * f;
    return true;
}

int32_t AddClamped(int32_t a, long b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > INT32_MAX)
        return INT32_MAX;
    if (sum < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(sum);
}

// Moves every vertex of one node in the dent's reach, clears its normal and
// marks it (scratch 1). Answers whether any moved.
bool DentVertices(ModelNode &node, const DentShape &dent) {
    if (node.vertices == nullptr)
        return false;
    bool moved = false;
    for (int i = 0; i < node.vertexCount; i++) {
        ModelVertex &vertex = node.vertices[i];
        const float v[3] = {static_cast<float>(vertex.position[0]) * FixToMetres,
                            static_cast<float>(vertex.position[1]) * FixToMetres,
                            static_cast<float>(vertex.position[2]) * FixToMetres};
        float fall = 0.0f;
        if (!DentFalloff(v, dent, fall))
            continue;
        // Between 0.5 and 1 in 16.16, from the low bits of the coordinates
        // (wrapping sum: only the low seven bits count).
        const uint32_t sum = static_cast<uint32_t>(vertex.position[0]) + static_cast<uint32_t>(vertex.position[1]) +
                             static_cast<uint32_t>(vertex.position[2]);
        const float roughness = static_cast<float>((sum & 127u) * 256u + 32768u);
        for (int k = 0; k < 3; k++) {
            const float amount = dent.normal[k] * fall * roughness * dent.magnitude;
            vertex.position[k] = AddClamped(vertex.position[k], std::lround(amount));
            vertex.normal[k] = 0;
        }
        vertex.scratch = 1;
        moved = true;
    }
    return moved;
}

// A part position (16.16) moves like a vertex, without the roughness.
void DentPart(int32_t position[3], const DentShape &dent) {
    const float v[3] = {static_cast<float>(position[0]) * FixToMetres, static_cast<float>(position[1]) * FixToMetres,
                        static_cast<float>(position[2]) * FixToMetres};
    float fall = 0.0f;
    if (!DentFalloff(v, dent, fall))
        return;
    const float amount = fall * dent.magnitude * 65536.0f;
    for (int k = 0; k < 3; k++)
        position[k] = AddClamped(position[k], std::lround(dent.normal[k] * amount));
}

// The finished normal of a marked vertex: the summed corner normals scaled
// to unit length. A vertex whose triangles gave no direction (degenerate or
// none) takes its undamaged normal back rather than staying zero.
void FinishNormal(ModelVertex &vertex, const int64_t sum[3], const int32_t *savedVertex) {
    int64_t c[3] = {sum[0], sum[1], sum[2]};
    int64_t largest = 0;
    for (const int64_t x : c)
        largest = x < 0 ? (-x > largest ? -x : largest) : (x > largest ? x : largest);
    // Brought to 2^29..2^30 first: a short sum would lose precision to the
    // integer length, a long one would not fit 32 bits.
    while (largest > (int64_t{1} << 30)) {
        for (int64_t &x : c)
            x /= 2;
        largest /= 2;
    }
    while (largest != 0 && largest < (int64_t{1} << 29)) {
        for (int64_t &x : c)
            x *= 2;
        largest *= 2;
    }
    FixVector normal = {static_cast<int32_t>(c[0]), static_cast<int32_t>(c[1]), static_cast<int32_t>(c[2])};
    if (NormaliseFixVector(normal) == 0) {
        if (savedVertex != nullptr)
            normal = {savedVertex[3], savedVertex[4], savedVertex[5]};
        else
            normal = {0, 0, 65536};
    }
    vertex.normal[0] = normal.x;
    vertex.normal[1] = normal.y;
    vertex.normal[2] = normal.z;
}

// The normals of the marked vertices made again as the model builder makes
// them: each triangle adds its face normal weighted by the corner's angle to
// its marked corners; then each is normalised and its mark cleared.
void RenewMovedNormals(ModelNode &node, const int32_t *saved) {
    if (node.vertices == nullptr || node.vertexCount <= 0)
        return;
    const int32_t *savedFit = saved != nullptr && saved[0] == node.vertexCount ? saved + 1 : nullptr;
    int64_t *sums = new (std::nothrow) int64_t[3 * static_cast<size_t>(node.vertexCount)]();
    for (int t = 0; t < node.triangleCount && node.triangles != nullptr && sums != nullptr; t++) {
        const uint16_t *corners = node.triangles[t].corners;
        if (corners[0] >= node.vertexCount || corners[1] >= node.vertexCount || corners[2] >= node.vertexCount)
            continue;
        if (node.vertices[corners[0]].scratch == 0 && node.vertices[corners[1]].scratch == 0 &&
            node.vertices[corners[2]].scratch == 0)
            continue;
        float q[3][3];
        for (int k = 0; k < 3; k++) {
            for (int a = 0; a < 3; a++)
                q[k][a] = static_cast<float>(node.vertices[corners[k]].position[a]) * FixToMetres;
        }
        // The edges around the triangle: e[k] leaves corner k.
        float e[3][3];
        for (int a = 0; a < 3; a++) {
            e[0][a] = q[1][a] - q[0][a];
            e[1][a] = q[2][a] - q[1][a];
            e[2][a] = q[0][a] - q[2][a];
        }
        const float face[3] = {e[0][1] * e[1][2] - e[0][2] * e[1][1], e[0][2] * e[1][0] - e[0][0] * e[1][2],
                               e[0][0] * e[1][1] - e[0][1] * e[1][0]};
        const float lengths[3] = {std::sqrt(Dot3(e[0], e[0])), std::sqrt(Dot3(e[1], e[1])), std::sqrt(Dot3(e[2], e[2]))};
        for (int k = 0; k < 3; k++) {
            if (node.vertices[corners[k]].scratch == 0)
                continue;
            // Corner k lies between the incoming edge e[k - 1] and the
            // outgoing e[k]; pi - their angle is the corner's angle.
            const float *in = e[(k + 2) % 3];
            const float *out = e[k];
            const float product = lengths[(k + 2) % 3] * lengths[k];
            if (!(product >= 1e-6f))
                continue;
            float cosine = Dot3(in, out) / product;
            cosine = cosine < -1.0f ? -1.0f : (cosine > 1.0f ? 1.0f : cosine);
            const float weight = Pi - FloatAcos(cosine);
            int64_t *sum = sums + 3 * static_cast<size_t>(corners[k]);
            for (int a = 0; a < 3; a++)
                sum[a] -= std::llround(face[a] * weight * 65536.0f);
        }
    }
    for (int v = 0; v < node.vertexCount; v++) {
        ModelVertex &vertex = node.vertices[v];
        if (vertex.scratch == 0)
            continue;
        static const int64_t None[3] = {0, 0, 0};
        FinishNormal(vertex, sums != nullptr ? sums + 3 * static_cast<size_t>(v) : None,
                     savedFit != nullptr ? savedFit + SavedVertexWords * static_cast<size_t>(v) : nullptr);
        vertex.scratch = 0;
    }
    delete[] sums;
}

}  // namespace

uint16_t PackDamageDirection(const float direction[3]) {
    const unsigned x = static_cast<unsigned>(PackComponent(direction[0])) & 31u;
    const unsigned y = static_cast<unsigned>(PackComponent(direction[1])) & 31u;
    const unsigned z = static_cast<unsigned>(PackComponent(direction[2])) & 31u;
    return static_cast<uint16_t>(x << 11 | y << 6 | z << 1);
}

void UnpackDamageDirection(uint16_t packed, float direction[3]) {
    direction[0] = UnpackComponent(packed);
    direction[1] = UnpackComponent(static_cast<uint16_t>(packed << 5));
    direction[2] = UnpackComponent(static_cast<uint16_t>(packed << 10));
}

int CarObject::AddDamageRecord(const uint8_t record[4]) {
    // A record from another program may name a point this car lacks, or be
    // the zero fill behind a damage list: neither is a dent.
    if (record[0] >= pointCount || record[1] == 0)
        return 0;
    if (damageCount < 0)
        damageCount = 0;
    if (damageCount < CarDamageRecords) {
        for (int k = 0; k < 4; k++)
            damageRecords[damageCount][k] = record[k];
        damageCount++;
        return 1;
    }
    damageCount = CarDamageRecords;
    int weakest = 0;
    for (int i = 1; i < CarDamageRecords; i++) {
        if (damageRecords[i][1] < damageRecords[weakest][1])
            weakest = i;
    }
    if (record[1] <= damageRecords[weakest][1])
        return 0;
    for (int i = weakest; i < CarDamageRecords - 1; i++) {
        for (int k = 0; k < 4; k++)
            damageRecords[i][k] = damageRecords[i + 1][k];
    }
    for (int k = 0; k < 4; k++)
        damageRecords[CarDamageRecords - 1][k] = record[k];
    return 1;
}

// Every collision point whose push has grown and stopped growing (phase 2)
// is handled once (phase 3); a push harder than the car's weight leaves a
// dent of the contact depth, shared with a softer body and limited so that
// no point strays far from its undamaged place.
void CarObject::AccumulateDamage(PlayerSlot *slot) {
    const float h = 0.5f * wheelbase;
    // A car without axles has no scale for the magnitude: no dents.
    const bool canDent = h > 0.0f && std::isfinite(h);
    const float weight = DentGravity * dryMass;
    float inverse[9];
    bool haveInverse = false;
    bool stored = false;
    for (int i = 0; i < pointCount; i++) {
        CollisionPoint &point = points[i];
        if (point.phase != 2)
            continue;
        point.phase = 3;
        if (!canDent || !(Dot3(point.force, point.stepNormal) > weight))
            continue;

        float d = point.lastDepth;
        if (!(d > 0.0f))
            d = 0.0f;
        if (d > h)
            d = h;
        const RigidBody *other = point.probe.otherBody;
        if (other != nullptr) {
            const float both = stiffness + other->stiffness;
            if (both > 0.0f)
                d *= other->stiffness / both;
        }

        if (!haveInverse) {
            InvertFloatMatrix(inverse, orientation);
            haveInverse = true;
        }
        float n[3];
        MatVec3(inverse, point.stepNormal, n);

        if (savedPoints != nullptr && i < hullPointCount) {
            const float *p = savedPoints[i];
            const float fromCentre[3] = {p[0] - dryCentreOfMass[0], p[1] - dryCentreOfMass[1],
                                         p[2] - dryCentreOfMass[2]};
            const float r0 = Length3(fromCentre);
            const float moved[3] = {point.local[0] + d * n[0] - p[0], point.local[1] + d * n[1] - p[1],
                                    point.local[2] + d * n[2] - p[2]};
            const float e = Length3(moved) - DentLimitShare * r0;
            if (e > 0.0f) {
                d -= e;
                if (!(d > 0.0f))
                    d = 0.0f;
                if (d > h)
                    d = h;
            }
        }

        const long m = std::lround(d * 255.0f / h);
        if (m <= 0)
            continue;
        const uint16_t packed = PackDamageDirection(n);
        const uint8_t record[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(m > 255 ? 255 : m),
                                   static_cast<uint8_t>(packed & 0xFF), static_cast<uint8_t>(packed >> 8)};
        if (AddDamageRecord(record) == 0)
            continue;
        stored = true;
        if (RaceIsOnline() && RaceIsStartAllowed()) {
            const uint8_t id = slot != nullptr && RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
            const uint8_t packet[CarDamagePacketSize] = {CarDamagePacketId, id, 0, 0,
                                                         record[0], record[1], record[2], record[3]};
            RaceQueueGamePacket(packet, CarDamagePacketSize);
        }
    }
    if (stored)
        RefreshShape();
}

// The undamaged copies are taken from freshly built nodes (the model refresh
// calls this right after rebuilding them). A copy is made once per level and
// kept; one whose count no longer fits the node (another part choice built
// another mesh) is taken again, so a restore never writes past a node's
// arrays nor puts another variant's shape back.
void CarObject::SaveUndamagedMeshes() {
    if (bodyObject == nullptr || bodyObject->lodCount < 1)
        return;
    const int levels = bodyObject->lodCount < CarLodCount ? bodyObject->lodCount : CarLodCount;
    for (int i = 0; i < levels; i++) {
        const ModelNode *node = modelNodes[i];
        if (node == nullptr)
            continue;
        if (node->vertices != nullptr && node->vertexCount > 0) {
            if (savedVertices[i] != nullptr && savedVertices[i][0] != node->vertexCount) {
                delete[] savedVertices[i];
                savedVertices[i] = nullptr;
            }
            if (savedVertices[i] == nullptr) {
                int32_t *copy = new (std::nothrow) int32_t[1 + SavedVertexWords * static_cast<size_t>(node->vertexCount)];
                if (copy != nullptr) {
                    copy[0] = node->vertexCount;
                    for (int v = 0; v < node->vertexCount; v++) {
                        int32_t *out = copy + 1 + SavedVertexWords * v;
                        for (int a = 0; a < 3; a++) {
                            out[a] = node->vertices[v].position[a];
                            out[3 + a] = node->vertices[v].normal[a];
                        }
                    }
                }
                savedVertices[i] = copy;
            }
        }
        if (node->children != nullptr && node->childCount > 0) {
            if (savedPartVectors[i] != nullptr && savedPartVectors[i][0] != node->childCount) {
                delete[] savedPartVectors[i];
                savedPartVectors[i] = nullptr;
            }
            if (savedPartVectors[i] == nullptr) {
                int32_t *copy = new (std::nothrow) int32_t[1 + SavedPartWords * static_cast<size_t>(node->childCount)];
                if (copy != nullptr) {
                    copy[0] = node->childCount;
                    for (int c = 0; c < node->childCount; c++) {
                        const ModelNode *part = node->children[c];
                        for (int a = 0; a < 3; a++)
                            copy[1 + SavedPartWords * c + a] = part != nullptr ? part->position[a] : 0;
                    }
                }
                savedPartVectors[i] = copy;
            }
        }
    }
}

void CarObject::RestoreShape(int withMeshes) {
    for (int i = 0; i < wheelCount && wheels != nullptr; i++)
        Copy3(wheels[i].position, wheels[i].restPosition);
    if (savedPoints != nullptr) {
        const int n = pointCount < hullPointCount ? pointCount : hullPointCount;
        for (int i = 0; i < n; i++)
            Copy3(points[i].local, savedPoints[i]);
    }
    if (!withMeshes)
        return;
    // Copied back, never recomputed: the undamaged shape returns bit for bit.
    for (int i = 0; i < CarLodCount; i++) {
        ModelNode *node = modelNodes[i];
        if (node == nullptr)
            continue;
        const int32_t *vertices = savedVertices[i];
        if (vertices != nullptr && node->vertices != nullptr && vertices[0] == node->vertexCount) {
            for (int v = 0; v < node->vertexCount; v++) {
                const int32_t *in = vertices + 1 + SavedVertexWords * v;
                for (int a = 0; a < 3; a++) {
                    node->vertices[v].position[a] = in[a];
                    node->vertices[v].normal[a] = in[3 + a];
                }
            }
        }
        const int32_t *parts = savedPartVectors[i];
        if (parts != nullptr && node->children != nullptr && parts[0] == node->childCount) {
            for (int c = 0; c < node->childCount; c++) {
                if (node->children[c] == nullptr)
                    continue;
                for (int a = 0; a < 3; a++)
                    node->children[c]->position[a] = parts[1 + SavedPartWords * c + a];
            }
        }
    }
}

// Each record in order dents the drawn meshes and the physics shape around
// its collision point p along its direction n, within half a wheelbase h of
// p and less than d0 = 0.333 h in front of it: vertices (with a roughness
// that varies from vertex to vertex), part positions and wheel mounts move
// by n x (1 - |v - p|^2 / h^2) x f x m, f falling from 1 at the point to 0
// at d0 (1 behind it); the point itself moves by n x m. The normals of the
// moved vertices are then made again from their triangles.
void CarObject::ApplyDamageToMeshes() {
    const float h = 0.5f * wheelbase;
    if (!(h > 0.0f) || !std::isfinite(h))
        return;
    const float h2 = h * h;
    const float d0 = 0.333f * h;
    const int count = damageCount < 0 ? 0 : (damageCount > CarDamageRecords ? CarDamageRecords : damageCount);
    if (count == 0)
        return;
    // The scratch byte of a vertex is its "moved" mark; other users of the
    // nodes may have left anything there.
    for (ModelNode *node : modelNodes) {
        if (node != nullptr && node->vertices != nullptr) {
            for (int v = 0; v < node->vertexCount; v++)
                node->vertices[v].scratch = 0;
        }
    }
    for (int r = 0; r < count; r++) {
        const uint8_t *record = damageRecords[r];
        // Received records are checked on arrival; this keeps the write
        // safe whatever reaches it.
        if (record[0] >= pointCount)
            continue;
        float *p = points[record[0]].local;
        float n[3];
        UnpackDamageDirection(static_cast<uint16_t>(record[2] | record[3] << 8), n);
        const float m = static_cast<float>(record[1]) / 255.0f * h;
        const DentShape dent = {p, n, h2, d0, m};

        bool anyVertexMoved = false;
        for (ModelNode *node : modelNodes) {
            if (node != nullptr && DentVertices(*node, dent))
                anyVertexMoved = true;
        }
        for (ModelNode *node : modelNodes) {
            if (node == nullptr || node->children == nullptr)
                continue;
            for (int c = 0; c < node->childCount; c++) {
                if (node->children[c] != nullptr)
                    DentPart(node->children[c]->position, dent);
            }
        }
        for (int i = 0; i < wheelCount && wheels != nullptr; i++) {
            float *w = wheels[i].position;
            float fall = 0.0f;
            if (!DentFalloff(w, dent, fall))
                continue;
            const float amount = fall * m;
            for (int k = 0; k < 3; k++)
                w[k] += n[k] * amount;
        }
        for (int k = 0; k < 3; k++)
            p[k] += n[k] * m;

        if (anyVertexMoved) {
            for (int i = 0; i < CarLodCount; i++) {
                if (modelNodes[i] != nullptr)
                    RenewMovedNormals(*modelNodes[i], savedVertices[i]);
            }
        }
    }
}

// The shape rebuild after stored dents or a received record: the render
// objects filled from the old meshes are released (built again on demand),
// the undamaged shape restored and every record applied again.
void CarObject::RefreshShape() {
    ReleaseSkinTextures();
    RestoreShape(1);
    ApplyDamageToMeshes();
}
