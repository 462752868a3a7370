#include "scene/rim_models.h"

#include <cmath>
#include <cstring>
#include <new>

#include "render/model_node.h"
#include "render/object_file.h"
#include "vehicle/car_curve.h"

namespace {

constexpr float TwoPi = 6.2831855f;
constexpr float FlangeHeight = 0.015f;       // the flange lies this far above the rim radius
constexpr float SeatHalfWidthAdd = 0.005f;   // the seat's half width beyond half the rim width
constexpr float FlatSlope = 0.0001f;         // |dr| up to this: the face is parallel to the axle
constexpr int SurfaceNameOffset = 4;
constexpr int SurfaceNameLength = 10;

const uint8_t TyreColour[4] = {32, 32, 32, 0};
const uint8_t EdgeColour[4] = {16, 16, 16, 0};
const uint8_t BlackColour[4] = {0, 0, 0, 0};

bool SurfaceNameIs(const GridCell &cell, const char *name) {
    for (int i = 0; i < SurfaceNameLength; i++) {
        const char a = static_cast<char>(cell.bytes[SurfaceNameOffset + i]);
        const char b = name[i];
        const char la = a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a;
        const char lb = b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b;
        if (la != lb)
            return false;
        if (a == 0)
            return true;
    }
    // All the cell's bytes matched: the name must end right there.
    return std::strlen(name) == SurfaceNameLength;
}

// The surface of row 0, column `column` of the curve, or null.
const GridCell *CurveSurface(const CarCurve *curve, int column) {
    if (curve == nullptr || curve->materials.cells == nullptr || curve->materials.width == 0 || column < 0 ||
        column >= curve->materials.height)
        return nullptr;
    return &curve->materials.cells[column];
}

// Ring ids made for the curve's points: one per (point, group, surface).
struct MadeRing {
    int point, group, surface, ring;
};

struct ProfileBuilder {
    RimData &rim;
    RingDarkening darkening;
    bool failed = false;

    int AddRing(float offset, float radius, const uint8_t colour[4], float v, int kind, int linkA, int linkB) {
        if (rim.ringCount >= MaxProfileRings) {
            failed = true;
            return 0;
        }
        const int index = rim.ringCount++;
        SetProfileRing(&rim.rings[index], darkening, offset, radius, colour, v, kind, linkA, linkB);
        return index;
    }
    void AddFace(int a, int b) {
        if (rim.faceCount >= MaxProfileFaces) {
            failed = true;
            return;
        }
        ProfileFace &face = rim.faces[rim.faceCount++];
        face = ProfileFace{};
        face.ringA = static_cast<uint32_t>(a);
        face.ringB = static_cast<uint32_t>(b);
    }
};

void Normalise2(float *v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    if (length > 0.0f) {
        v[0] /= length;
        v[1] /= length;
    }
}

void ClearProfile(RimData &rim) {
    rim.ringCount = 0;
    rim.faceCount = 0;
    std::memset(rim.rings, 0, sizeof(rim.rings));
    std::memset(rim.faces, 0, sizeof(rim.faces));
}

// Leaves the profile empty; answers 0.
int RefuseProfile(RimData &rim) {
    ClearProfile(rim);
    return 0;
}

}  // namespace

void SetProfileRing(ProfileRing *ring, const RingDarkening &darkening, float offset, float radius,
                    const uint8_t colour[4], float v, int kind, int linkA, int linkB) {
    ring->offset = offset;
    ring->radius = radius;
    ring->normal[0] = 0.0f;
    ring->normal[1] = 0.0f;
    ring->v = v;
    ring->kind = static_cast<uint8_t>(kind);
    ring->linkA = static_cast<uint8_t>(linkA);
    ring->linkB = static_cast<uint8_t>(linkB);
    if (!darkening.on) {
        std::memcpy(ring->colour.bytes, colour, 4);
        return;
    }
    const bool tyre = colour[0] == 32 && colour[1] == 32 && colour[2] == 32;
    const float w = darkening.halfWidth;
    float f = 1.0f;
    if (darkening.variant == 0) {
        if (tyre) {
            std::memcpy(ring->colour.bytes, colour, 4);
            return;
        }
        f = std::fabs(offset) / w * darkening.scale + darkening.base;
    } else if (tyre) {
        f = (w + offset) * 0.5f / w;
    } else {
        f = offset >= 0.0f ? offset / w * darkening.scale + darkening.base : darkening.base;
    }
    // A zero half width gives no usable factor: the colour is kept.
    if (!std::isfinite(f))
        f = 1.0f;
    if (f < 0.01f) {
        ring->colour.bytes[0] = 0;
        ring->colour.bytes[1] = 0;
        ring->colour.bytes[2] = 0;
    } else if (f < 0.99f) {
        for (int c = 0; c < 3; c++)
            ring->colour.bytes[c] = static_cast<uint8_t>(std::lround(static_cast<float>(colour[c]) * f));
    } else {
        std::memcpy(ring->colour.bytes, colour, 4);
    }
}

int BuildRimProfile(RimData &rim, const CarCurve *curve, int roundCrown, int plainV, int darkVariant) {
    ClearProfile(rim);
    const float R = rim.outerRadius;
    const float c = rim.crownRadius;
    if (!(R > 0.0f) || !(c > 0.0f))
        return 0;

    const float W = rim.tyreWidth;
    const float h = W / 2.0f;
    const float hr = rim.rimWidth / 2.0f;
    const float e = rim.rimRadius + FlangeHeight;
    const float sr = rim.rimRadius - static_cast<float>(rim.seatInset) * 0.001f;
    const float wi = hr + SeatHalfWidthAdd;
    const float wd = wi + static_cast<float>(rim.style[1]) * 0.001f;
    const float hs = h > wd ? h : wd;
    const bool creased = rim.style[3] != 0;

    // 1. Crown values.
    float t, Rc, s, q, k, m;
    if (roundCrown) {
        t = R - c * 0.10899999999999999f;
        Rc = R - c * 0.012299999999999978f;
        s = c * 0.4539f;
        q = c * 0.1564f;
        k = R - c * 0.29290003f;
        m = e + (k - e) * 0.5f;
    } else {
        const float f = W * 0.02f;
        t = R - f;
        Rc = R;
        const float g = (t - e) * 0.3f;
        k = t - g;
        s = h - g;
        q = s * 0.33333334f;
        m = creased ? e + (t - e) * 0.125f : e + (t - e) * 0.3f;
    }

    // 2. Base v of the tread.
    float b = 0.0f;
    if (rim.tyreType >= 4)
        b = static_cast<float>(rim.tyreType) * 0.125f;
    else if (plainV)
        b = 0.125f;

    // 3.
    ProfileBuilder builder{rim, RingDarkening{1, wd, static_cast<float>(rim.darkening) * 0.1f,
                                              1.0f - static_cast<float>(rim.darkening) * 0.1f, darkVariant}};

    // 4. Colours. The curve's first extra byte holds its flags.
    uint8_t rimColour[4] = {0, 0, 0, 0};
    if (const GridCell *surface = CurveSurface(curve, 0))
        std::memcpy(rimColour, surface->bytes, 4);
    const uint8_t *rimA = curve != nullptr && (curve->extraCounts[0] & 1) ? BlackColour : rimColour;

    // 5. Fixed rings.
    builder.AddRing(-wd, e, EdgeColour, 0.125f, 1, 0, 0);
    builder.AddRing(-hs, m, TyreColour, 0.125f, creased ? 1 : 2, 0, creased ? 0 : 8);
    builder.AddRing(-s, t, TyreColour, b + 0.0125f, 3, 0, 0);
    builder.AddRing(-q, Rc, TyreColour, b + 0.045f, 3, 0, 0);
    builder.AddRing(q, Rc, TyreColour, b + 0.08f, 3, 0, 0);
    builder.AddRing(s, t, TyreColour, b + 0.1125f, 3, 0, 0);
    builder.AddRing(hs, m, TyreColour, 0.125f, creased ? 1 : 2, creased ? 0 : 9, creased ? 0 : 7);
    builder.AddRing(wd, e, EdgeColour, 0.125f, 1, 0, 0);
    builder.AddRing(-h, k, TyreColour, 0.125f, 2, 1, roundCrown ? 8 : 2);
    builder.AddRing(h, k, TyreColour, 0.125f, 2, roundCrown ? 9 : 5, 6);
    builder.AddRing(-wd, e, rimA, 0.125f, 0, 0, 0);
    builder.AddRing(wd, e, rimColour, 0.125f, 0, 0, 0);
    builder.AddRing(-wi, sr, rimA, 0.125f, 0, 0, 0);
    builder.AddRing(wi, sr, rimColour, 0.125f, 0, 0, 0);
    builder.AddRing(-h, k, TyreColour, b, 2, roundCrown ? 14 : 1, 2);
    builder.AddRing(h, k, TyreColour, b + 0.125f, 2, 5, roundCrown ? 15 : 6);
    if (creased) {
        builder.AddRing(-hs, m, TyreColour, 0.125f, 1, 0, 0);
        builder.AddRing(hs, m, TyreColour, 0.125f, 1, 0, 0);
    }

    // 6. Flange ring pair.
    int p = -1;
    if (rim.style[2] != 0) {
        const float fr = e - static_cast<float>(rim.style[2]) * 0.001f;
        p = builder.AddRing(-wd, fr, rimA, 0.125f, 0, 0, 0);
        builder.AddRing(wd, fr, rimColour, 0.125f, 0, 0, 0);
    }

    // 7. Fixed faces.
    builder.AddFace(0, creased ? 16 : 1);
    builder.AddFace(1, 8);
    builder.AddFace(14, 2);
    builder.AddFace(2, 3);
    builder.AddFace(3, 4);
    builder.AddFace(4, 5);
    builder.AddFace(5, 15);
    builder.AddFace(9, 6);
    builder.AddFace(creased ? 17 : 6, 7);
    if (p < 0) {
        builder.AddFace(12, 10);
        builder.AddFace(11, 13);
    } else {
        builder.AddFace(12, p);
        builder.AddFace(p + 1, 13);
        builder.AddFace(p, 10);
        builder.AddFace(11, p + 1);
    }

    // 8. The spoke surface: its colours are not darkened.
    const int pointCount = curve != nullptr && curve->pairs != nullptr ? static_cast<int>(curve->count) : 0;
    int spokeSurface = -1;
    if (curve != nullptr && CurveSurface(curve, 0) != nullptr) {
        bool onAxle = false;
        for (int i = 0; i < pointCount; i++)
            onAxle = onAxle || curve->pairs[i].b == 0.0f;
        if (onAxle) {
            for (int column = 0; column < curve->materials.height; column++) {
                if (SurfaceNameIs(curve->materials.cells[column], "M2spoke"))
                    spokeSurface = column;
            }
        }
    }

    // 9. The curve's records: rings shared per point, group and surface.
    const int recordCount = curve != nullptr && curve->segments != nullptr ? curve->segmentCount : 0;
    if (recordCount > 0) {
        if (pointCount < 2)
            return RefuseProfile(rim);
        const float x0 = curve->pairs[0].a;
        const float x1 = curve->pairs[1].a;
        const float cx = (x0 + x1) / 2.0f;
        const float xScale = wi / (x1 - cx);
        const float yScale = sr / 4.0f;
        if (!std::isfinite(xScale) || x1 == cx)
            return RefuseProfile(rim);
        MadeRing made[MaxProfileRings];
        int madeCount = 0;
        for (int r = 0; r < recordCount && !builder.failed; r++) {
            const CurveSegment &record = curve->segments[r];
            const GridCell *surface = CurveSurface(curve, record.surface);
            uint8_t colour[4] = {0, 0, 0, 0};
            if (surface != nullptr)
                std::memcpy(colour, surface->bytes, 4);
            builder.darkening.on = record.surface != spokeSurface ? 1 : 0;
            int ends[2];
            const int points[2] = {record.pointA, record.pointB};
            for (int j = 0; j < 2; j++) {
                const int point = points[j];
                if (point < 0 || point >= pointCount)
                    return RefuseProfile(rim);
                if (point <= 1) {
                    const int fixed = point == 0 ? 12 : 13;
                    if (record.group == 0 && record.surface == 0)
                        ends[j] = fixed;
                    else
                        ends[j] = builder.AddRing(rim.rings[fixed].offset, rim.rings[fixed].radius, colour, 0.125f,
                                                  0, 0, 0);
                    continue;
                }
                int found = -1;
                for (int i = 0; i < madeCount; i++) {
                    if (made[i].point == point && made[i].group == record.group && made[i].surface == record.surface)
                        found = made[i].ring;
                }
                if (found < 0) {
                    found = builder.AddRing((curve->pairs[point].a - cx) * xScale, curve->pairs[point].b * yScale,
                                            colour, 0.125f, 0, 0, 0);
                    if (madeCount < MaxProfileRings)
                        made[madeCount++] = MadeRing{point, record.group, record.surface, found};
                }
                ends[j] = found;
            }
            builder.AddFace(ends[0], ends[1]);
        }
    }
    if (builder.failed)
        return RefuseProfile(rim);

    // 10. Face normals, ring normal sums and line words.
    for (int f = 0; f < rim.faceCount; f++) {
        ProfileFace &face = rim.faces[f];
        ProfileRing &a = rim.rings[face.ringA];
        ProfileRing &bRing = rim.rings[face.ringB];
        float dx = bRing.offset - a.offset;
        const float dr = bRing.radius - a.radius;
        if (dx == 0.0f && dr == 0.0f)
            return RefuseProfile(rim);
        face.normal[0] = -dr;
        face.normal[1] = dx;
        Normalise2(face.normal);
        a.normal[0] += face.normal[0];
        a.normal[1] += face.normal[1];
        bRing.normal[0] += face.normal[0];
        bRing.normal[1] += face.normal[1];
        if (std::fabs(dr) <= FlatSlope) {
            face.axisCrossing = 0.0f;
            face.slope = 0.0f;
        } else {
            const bool positive = dx > 0.0f;
            if (positive)
                dx = dx < FlatSlope ? FlatSlope : dx;
            else
                dx = dx > -FlatSlope ? -FlatSlope : dx;
            const float slope = dr / dx;
            face.axisCrossing = a.offset - a.radius / slope;
            face.slope = positive ? slope : -slope;
        }
    }

    // 11.
    for (int i = 0; i < rim.ringCount; i++)
        Normalise2(rim.rings[i].normal);
    if (!roundCrown) {
        const int pairs[2][2] = {{8, 14}, {9, 15}};
        for (const auto &pair : pairs) {
            float n[2] = {rim.rings[pair[0]].normal[0] + rim.rings[pair[1]].normal[0],
                          rim.rings[pair[0]].normal[1] + rim.rings[pair[1]].normal[1]};
            Normalise2(n);
            for (int r : pair) {
                rim.rings[r].normal[0] = n[0];
                rim.rings[r].normal[1] = n[1];
            }
        }
    }
    return 1;
}

int BuildRimNode(const RimData &rim, ModelNode *node, int n, const Object3D *wheelObject, float scale) {
    if (node == nullptr)
        return 0;
    node->FreeGeometry();
    if (n < 3 || rim.ringCount > MaxProfileRings || rim.faceCount > MaxProfileFaces)
        return 0;

    // 1. Rim surface rings only.
    int used[MaxProfileRings];
    int k = 0;
    for (int i = 0; i < rim.ringCount; i++)
        used[i] = rim.rings[i].kind == 0 ? k++ : -1;
    const int rimFaces = rim.faceCount > TyreProfileFaces ? rim.faceCount - TyreProfileFaces : 0;
    for (int f = TyreProfileFaces; f < rim.faceCount; f++) {
        const ProfileFace &face = rim.faces[f];
        if (face.ringA >= static_cast<uint32_t>(rim.ringCount) || face.ringB >= static_cast<uint32_t>(rim.ringCount) ||
            used[face.ringA] < 0 || used[face.ringB] < 0)
            return 0;
    }
    const int vertexCount = k * n;
    const int triangleCount = rimFaces * n * 2;
    if (vertexCount > 65536)
        return 0;
    ModelVertex *vertices = vertexCount > 0 ? new (std::nothrow) ModelVertex[vertexCount]() : nullptr;
    ModelTriangle *triangles = triangleCount > 0 ? new (std::nothrow) ModelTriangle[triangleCount]() : nullptr;
    if ((vertexCount > 0 && vertices == nullptr) || (triangleCount > 0 && triangles == nullptr)) {
        delete[] vertices;
        delete[] triangles;
        return 0;
    }

    // 2. Texture ranges (16.16) and the mapping material's repeats.
    float uMin = -65536.0f, uLength = 131072.0f, vMin = -65536.0f, vLength = 131072.0f;
    float uRepeat = 1.0f, vRepeat = 1.0f, uOffset = 0.0f, vOffset = 0.0f;
    if (wheelObject != nullptr && wheelObject->mappingCount > 0 && wheelObject->mappings != nullptr) {
        const ObjectMapping &mapping = wheelObject->mappings[0];
        uMin = static_cast<float>(mapping.uMin) * scale;
        vMin = static_cast<float>(mapping.vMin) * scale;
        uLength = (static_cast<float>(mapping.uMax) - static_cast<float>(mapping.uMin)) * scale;
        vLength = (static_cast<float>(mapping.vMax) - static_cast<float>(mapping.vMin)) * scale;
        if (!(uLength >= 64.0f))
            uLength = 64.0f;
        if (!(vLength >= 64.0f))
            vLength = 64.0f;
        if (mapping.materials[0] < wheelObject->materialCount && wheelObject->materials != nullptr) {
            const ObjectMaterial &material = wheelObject->materials[mapping.materials[0]];
            uRepeat = static_cast<float>(material.uRepeat) / 64.0f;
            vRepeat = static_cast<float>(material.vRepeat) / 64.0f;
            uOffset = static_cast<float>(material.uOffset) / 64.0f;
            vOffset = static_cast<float>(material.vOffset) / 64.0f;
        }
    }

    // 3. Vertices, segment by segment.
    int index = 0;
    for (int i = 0; i < n; i++) {
        const float a = -static_cast<float>(i) * TwoPi / static_cast<float>(n);
        const float ca = std::cos(a);
        const float sa = std::sin(a);
        for (int r = 0; r < rim.ringCount; r++) {
            if (used[r] < 0)
                continue;
            const ProfileRing &ring = rim.rings[r];
            ModelVertex &v = vertices[index++];
            v.position[0] = static_cast<int32_t>(std::lround(ring.offset * 65536.0f));
            v.position[1] = static_cast<int32_t>(std::lround(ring.radius * ca * 65536.0f));
            v.position[2] = static_cast<int32_t>(std::lround(ring.radius * sa * 65536.0f));
            v.normal[0] = static_cast<int32_t>(std::lround(ring.normal[0] * 65536.0f));
            v.normal[1] = static_cast<int32_t>(std::lround(ca * ring.normal[1] * 65536.0f));
            v.normal[2] = static_cast<int32_t>(std::lround(sa * ring.normal[1] * 65536.0f));
            v.u = (static_cast<float>(v.position[1]) - uMin) / uLength * uRepeat + uOffset;
            v.v = 1.0f - ((static_cast<float>(v.position[2]) - vMin) / vLength * vRepeat + vOffset);
            v.surface = &ring.colour;
        }
    }

    // 4. Two triangles per rim face and segment.
    int t = 0;
    for (int i = 0; i < n; i++) {
        const int j = i + 1 < n ? i + 1 : 0;
        for (int f = TyreProfileFaces; f < rim.faceCount; f++) {
            const int a = used[rim.faces[f].ringA];
            const int b = used[rim.faces[f].ringB];
            const ModelTriangle first = {{static_cast<uint16_t>(a + i * k), static_cast<uint16_t>(b + j * k),
                                          static_cast<uint16_t>(b + i * k)},
                                         0,
                                         &rim.rings[rim.faces[f].ringA].colour};
            const ModelTriangle second = {{static_cast<uint16_t>(a + i * k), static_cast<uint16_t>(a + j * k),
                                           static_cast<uint16_t>(b + j * k)},
                                          0,
                                          &rim.rings[rim.faces[f].ringA].colour};
            triangles[t++] = first;
            triangles[t++] = second;
        }
    }
    node->vertices = vertices;
    node->vertexCount = vertexCount;
    node->triangles = triangles;
    node->triangleCount = triangleCount;
    return 1;
}

int BuildTyreMesh(ModelNode *node, int n, const Object3D *wheelObject, const RimData &rim, float scale) {
    if (!BuildRimNode(rim, node, n, wheelObject, scale))
        return 0;
    MaterialDrawList *list = new (std::nothrow) MaterialDrawList[1]();
    if (list == nullptr) {
        node->FreeGeometry();
        return 0;
    }
    list->flags = ModelListTextureOnly;
    list->objectMaterial = 0;
    if (wheelObject != nullptr && wheelObject->materialCount > 0 && wheelObject->materials != nullptr) {
        const ObjectMaterial &material = wheelObject->materials[0];
        list->material = material.textureMaterial;
        if (material.texture < wheelObject->textureCount && wheelObject->textures != nullptr) {
            // The list was zeroed, so the name copied stays terminated.
            const char *name = wheelObject->textures[material.texture].name;
            std::memcpy(list->textureName, name, strnlen(name, sizeof(list->textureName) - 1));
        }
    }
    list->vertexCount = static_cast<uint32_t>(node->vertexCount);
    list->triangleCount = static_cast<uint32_t>(node->triangleCount);
    node->lists = list;
    node->listCount = 1;
    node->radius = rim.boundingRadius;
    return 1;
}

int BuildRimMeshes(RimData *rim, const CarCurve *curve, int roundCrown, int plainV, int darkVariant) {
    if (rim == nullptr)
        return 0;
    return BuildRimProfile(*rim, curve, roundCrown, plainV, darkVariant);
}
