#include "vehicle/body_parts.h"

#include <new>


namespace {

constexpr int BodyPartPoints = 8;

int32_t BlendCoordinate(int32_t a, int32_t b, float t) {
    // Single precision from the 32-bit integers, rounded to nearest.
    const float fa = static_cast<float>(a);
    const float fb = static_cast<float>(b);
    const float v = (fb - fa) * t + fa;
    return static_cast<int32_t>(v < 0.0f ? v - 0.5f : v + 0.5f);
}

} // namespace

BodyPart::BodyPart() : RigidBody(1, 1, nullptr), usable(0) {
    stiffness = 18000.0f;
    friction = 0.5f;
    damping = 250.0f;
    ClearGeometry();
    points = new (std::nothrow) CollisionPoint[BodyPartPoints];
    if (points != nullptr) {
        for (int i = 0; i < BodyPartPoints; i++)
            points[i].Clear();
        pointCount = BodyPartPoints;
        usable = 1;
    }
}

BodyPart::~BodyPart() {
    FreeGeometry();
}

int BodyPart::GetType() const {
    return 2;
}

BodyPartSet::~BodyPartSet() {
    delete[] parts;
    delete[] links;
    parts = nullptr;
    links = nullptr;
    count = 0;
    linkCount = 0;
}

void BodyPartSet::SavePoses(FixTransform *out) const {
    for (int i = 0; i < count; i++) {
        FloatMatrixToFix(parts[i].orientation, out[i].matrix);
        out[i].position = parts[i].position;
    }
}

void BodyPartSet::RestorePoses(const FixTransform *poses) {
    for (int i = 0; i < count; i++) {
        FloatMatrixFromFix(parts[i].orientation, poses[i].matrix);
        parts[i].position = poses[i].position;
    }
}

FixTransform *BodyPartSet::AllocPoses() const {
    if (count < 0)
        return nullptr;
    FixTransform *poses = new (std::nothrow) FixTransform[count];
    if (poses != nullptr)
        SavePoses(poses);
    return poses;
}

void BodyPartSet::BlendPoses(const FixTransform *a, const FixTransform *b, float t) {
    for (int i = 0; i < count; i++) {
        float ma[9];
        float mb[9];
        FloatMatrixFromFix(ma, a[i].matrix);
        FloatMatrixFromFix(mb, b[i].matrix);
        for (int e = 0; e < 9; e++)
            parts[i].orientation[e] = (mb[e] - ma[e]) * t + ma[e];
        parts[i].position.x = BlendCoordinate(a[i].position.x, b[i].position.x, t);
        parts[i].position.y = BlendCoordinate(a[i].position.y, b[i].position.y, t);
        parts[i].position.z = BlendCoordinate(a[i].position.z, b[i].position.z, t);
    }
}
