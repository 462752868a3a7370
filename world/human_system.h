#pragma once

#include <cstdint>

#include "core/fixed_math.h"

// What the figures beside the track (figure objects, crowds and the world's
// three marshal figures) ask of the human system. The world sits below the
// scene, which owns the jointed bodies and their pose sets, so the scene
// registers an implementation at start-up; until it does (and on programs
// that never load humans) there is none, and every figure operation still
// runs its random part so that all programs stay in step.

// Flag bits of a driver record.
constexpr uint32_t FigureRecordCrowdBody = 1u << 1;   // may stand in a crowd
constexpr uint32_t FigureRecordWorldFigure = 1u << 2; // marshals and figure objects

// Flag bits of an animation block.
constexpr uint32_t FigureBlockTwoClips = 1u << 2;     // blended by height between two key sets

// One animation block of a driver record's character, as the figures see it
// (docs/world_scenery.md gives how the fields map).
struct FigureBlock {
    uint32_t flags;               // 0: no height range; FigureBlockTwoClips
    uint32_t groupMask;           // bit g: suits pose group g
    float low, high;              // height range, held strictly inside
    const FixTransform *keys[2];  // first key set of each clip (joint count keys); null when empty
};

class FigureHumanSystem {
public:
    virtual ~FigureHumanSystem() = default;

    virtual int RecordCount() const = 0;
    virtual uint32_t RecordFlags(int record) const = 0;
    // The body's size value (about 1.0 for a grown-up).
    virtual float RecordSize(int record) const = 0;
    virtual int JointCount(int record) const = 0;
    virtual int BlockCount(int record) const = 0;
    virtual FigureBlock Block(int record, int block) const = 0;
    // The rest pose of the record's character: JointCount keys.
    virtual void DefaultPose(int record, FixTransform *keys) const = 0;
    // The blend of two key sets at t (0 gives a, 1 gives b).
    virtual void BlendPoses(int record, const FixTransform *a, const FixTransform *b, float t,
                            FixTransform *keys) const = 0;
};

// The registered human system, or null when it is absent.
void SetFigureHumanSystem(const FigureHumanSystem *humans);
const FigureHumanSystem *GetFigureHumanSystem();

// The first driver record flagged as a world figure, or -1.
int FindWorldFigure(const FigureHumanSystem &humans);

// One posed figure: where it stands and one key per joint. World objects and
// the world own theirs; the scene draws them.
struct DriverFigure {
    FixTransform transform = IdentityTransform;
    uint32_t jointCount = 0;
    FixTransform *keys = nullptr;   // owned, jointCount entries
    int record = -1;                // driver record of the human system; -1 none

    DriverFigure() = default;
    ~DriverFigure() { Free(); }
    DriverFigure(const DriverFigure &) = delete;
    DriverFigure &operator=(const DriverFigure &) = delete;

    // Takes the record and room for its joint keys (none for a record of no
    // joints).
    void SetRecord(const FigureHumanSystem &humans, int driverRecord);
    // The keys become a copy of the key set, or the record's rest pose when
    // the set is null.
    void CopyKeys(const FigureHumanSystem &humans, const FixTransform *source);
    // Frees the keys and returns to identity with no record.
    void Free();
};
