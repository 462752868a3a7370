#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "render/object_file.h"

struct DataStream;
struct MenuPage;

// The human system: the jointed figures of drivers (and of the people that
// world objects show beside the track), loaded once at start-up from
// data\hmn\hmn.hmn (file id "QZHSYS"). A character model gives the joints as
// boxes with mass and the links between them; body parts give the meshes
// skinned to the joints; pose clips give whole-body poses.
//
// This holds what the file holds. The pose sets and the driver records with
// their drawables are built from it by the scene drawing.

constexpr const char *HumanFilePath = "data\\hmn\\hmn.hmn";
constexpr const char *HumanFileId = "QZHSYS";
constexpr int HumanFileVersion = 251;

constexpr int MinWeightedJoints = 31;   // a figure needs at least this many bodies
constexpr int AnimClipSlots = 18;       // clips per character model

constexpr uint32_t JointPaired = 1u << 0;      // built twice, mirrored in x
constexpr uint32_t LinkPaired = 1u << 0;
constexpr uint32_t BlockTwoClips = 1u << 2;
constexpr uint32_t DriverChoosable = 1u << 0;  // body-part flags: a driver that can be chosen
constexpr uint32_t DriverWorldFigure = 1u << 2; // a figure for world objects

// One pose of a whole figure: one transform per joint body.
struct AnimTrack {
    float value;
    FixTransform *keys;   // new[], joint count entries

    // Reads a track of keysInFile keys for a figure of jointCount bodies:
    // missing keys are identity transforms, keys beyond the figure's are
    // read and dropped. Returns 1, or 0 when the stream ran out.
    int Read(DataStream &stream, int jointCount, int keysInFile, int version);
};

struct AnimClip {
    uint32_t flags;
    float value;          // 1.0 for an empty clip
    uint16_t trackCount;
    uint16_t secondCount; // 0 after reading
    AnimTrack *tracks;    // new[], trackCount entries; null without tracks

    AnimClip();
    void Reset();
    // Reads a clip for a figure of jointCount bodies into an empty clip.
    // Returns 1, or 0 (the clip empty) when the data left cannot hold it.
    int Read(DataStream &stream, int jointCount, int version);
    void Free();
};

// File form 44 bytes: flags, half sizes, position, angles, colour.
struct HumanJoint {
    uint32_t flags;
    uint32_t firstBody;     // index of its first body in the pose set
    float halfSize[3];      // metres
    int32_t position[3];    // 16.16
    float angles[3];        // radians: a, b, c
    uint8_t colour[4];      // r, g, b, flags
};

// File form 48 bytes: kind, flags, anchor, angles, limits, joints.
struct HumanLink {
    uint32_t kind;          // kept for the vehicle code, not read here
    uint32_t flags;
    uint32_t firstLinkRecord;
    int32_t anchor[3];      // 16.16
    float angles[3];        // radians: the link frame
    float limits[2];        // degrees
    uint32_t joints[2];     // first and second joint index
};

struct AnimationBlock {
    uint32_t flags;
    uint32_t value;
    uint8_t bytes[16];
    AnimClip clips[2];      // the second empty without BlockTwoClips
    float extra[2];         // 0 and 1.0 without BlockTwoClips
};

struct CharacterModel {
    float density;          // 1000.0 when constructed
    uint32_t jointCount;
    HumanJoint *joints;
    uint32_t linkCount;
    HumanLink *links;
    AnimClip clips[AnimClipSlots];
    uint32_t blockCount;
    AnimationBlock *blocks;

    CharacterModel();
    // Bodies of the figure: a paired joint counts twice.
    int WeightedJointCount() const;
    // Returns 1, or 0 for a model without joints or with too few, a link to
    // a joint that does not exist, more clips than slots, or data cut short;
    // the model is then empty.
    int Read(DataStream &stream, int version);
    void Free();
};

struct BodyPart {
    uint32_t flags;         // DriverChoosable, DriverWorldFigure
    uint32_t modelIndex;    // its character model
    float value;
    Object3D object;        // the mesh, skinned to the model's joint bodies
};

struct HumanSystem {
    uint32_t loaded;
    int modelCount;
    CharacterModel *models;
    int bodyPartCount;
    BodyPart *bodyParts;

    // Reads HumanFilePath once. Returns 1 when loaded, 0 on failure (the
    // system then holds nothing).
    int Load(MenuPage *page);
    // Returns 0 when the file cannot be opened or is damaged.
    int ReadFile(const char *path, MenuPage *page);
    int Read(DataStream &stream, int version);
    void Free();
};

extern HumanSystem Humans;
