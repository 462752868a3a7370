#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "vehicle/rigid_body.h"

// One bone of a human figure: a small rigid body whose position and
// orientation are the bone's pose, with eight contact points and no faces.
// Body parts are never stepped by the physics world.
class BodyPart : public RigidBody {
public:
    BodyPart();
    ~BodyPart() override;
    // 2: a body part.
    int GetType() const override;

    // 0 when the contact points could not be allocated: pointCount is then
    // 0 and the part must not be used.
    uint8_t usable;
};

// The bones of one figure and its link records.
struct BodyPartSet {
    int32_t count = 0;
    int32_t linkCount = 0;
    BodyPart *parts = nullptr;   // owned array of count parts
    uint8_t *links = nullptr;    // owned buffer of the figure's link records
    uint32_t modelWords[2] = {};

    BodyPartSet() = default;
    ~BodyPartSet();
    BodyPartSet(const BodyPartSet &) = delete;
    BodyPartSet &operator=(const BodyPartSet &) = delete;

    // out[i] = the pose of bone i (orientation in 16.16, position).
    void SavePoses(FixTransform *out) const;
    // Sets every bone to poses[i].
    void RestorePoses(const FixTransform *poses);
    // A new array of count poses holding the present ones (the caller frees
    // it with delete[]); null when the memory cannot be had.
    FixTransform *AllocPoses() const;
    // Every bone to the blend of a[i] and b[i]: t = 0 gives a, t = 1 gives b.
    // Orientations blend element by element and are not re-orthonormalised.
    void BlendPoses(const FixTransform *a, const FixTransform *b, float t);
};
