#pragma once

#include <cstdint>

#include "core/fixed_math.h"

struct Material;
struct ModelNode;
struct Object3D;
class ObjectMeshPart;

// Building model nodes (render/model_node.h) from 3D objects
// (render/object_file.h). Builds share global buffers: one build at a time,
// on the main thread.

constexpr int MaxBuildVertices = 16384;
constexpr int MaxBuildTriangles = 16384;

// Child modes of BuildModelFromObject.
constexpr int BuildNoChildren = 0;
constexpr int BuildChildren = 1;
constexpr int BuildChildrenWithSkins = 2;

// Part mask selecting every part.
constexpr uint32_t AllObjectParts = 0xFFFFFFFFu;

// The texture layer's look-up of a material's texture name. mode 0 world
// objects, 1 objects, 2 objects with skins; alphaTest asks for the
// alpha-tested variant; index selects the number-plate group. It may set
// *environment. Null answers "no texture".
using ObjectTextureLookup = Material *(*)(const char *name, int mode, int alphaTest, int index,
                                          uint8_t *environment);
// Registered by the texture layer at start-up; with none registered the
// names stay resolved in the lists (MaterialDrawList::textureName) and the
// materials are null.
void SetObjectTextureLookup(ObjectTextureLookup lookup);

// Restarts of the material pass, added up by every build (a restart makes
// one mapping's mirrored-side material its first; at most one per mapping).
// Tests clear it.
extern int LastBuildRestarts;

// Set to 1 by LoadObjectTextures when the registered look-up had no
// texture for a used material; callers clear it before a load.
extern int ObjectTextureMissing;

// Resolves the texture of every material used by the object's triangles
// (level not negative, part in partMask); the children are loaded by the
// build. worldMode 1 for world objects; skinMode 1 lets car-specific
// textures use the car's skin; fallbackIndex selects the number-plate
// group. Sets the materials' flags: bit 0 alpha-tested ("ATEST"), 0x40
// looked up as an object texture, 0x80 car-specific. Must run before a
// build. Null object: nothing.
void LoadObjectTextures(Object3D *object, int worldMode, int skinMode, int fallbackIndex, uint32_t partMask);

// Fills `node` (reset first by its creator or by Destroy) from level `level`
// of the object: transform, visible range, the vertices and triangles of the
// selected parts cut into material lists. With childMode nonzero the
// children are built too (a mirrored child twice: mirrored, then plain),
// childMode 2 loading their textures with skins. surfaceRow picks the row
// of the surface table (clamped per child). Positions are multiplied by
// xScale (x) and yzScale (y and z), 16.16 (65536 = 1.0). Returns the node's
// bounding radius; 0 for a null object or node.
int32_t BuildModelFromObject(Object3D *object, ModelNode *node, int level, int childMode, int surfaceRow,
                             int32_t xScale, int32_t yzScale, uint32_t partMask);

// One bone entry of a skinned build: the bone transform the vertices of its
// points are stored in, plus `mirror` for the vertices of the mirrored side.
struct SkeletonEntry {
    uint8_t transform;
    uint8_t mirror;
};
// A skeleton is handed to the build as its entries, which the object's
// points name by their `bone` byte (a point naming no entry takes bone 0),
// and the bone transforms (bone frame to model space) the entries index;
// bones beyond boneCount count as the identity. Children are built with the
// same skeleton.
struct ModelSkeleton {
    const SkeletonEntry *entries;
    int entryCount;
    const FixTransform *bones;
    int boneCount;
};

// The full form. `parent` is the object whose build asked for this one
// (null for a root; kept for the caller, the build does not read it). With
// a transform cursor, each node built appends six words (x, y, z, pitch,
// roll, heading, the angles sign-extended) at *transformCursor and advances
// it, children after their parent in build order. With a skeleton, each
// vertex's position is stored in its bone's frame and its normal turned
// into it (ModelVertex::bone names the bone); face normals are still taken
// in model space.
int32_t BuildModelFromObject(Object3D *object, ModelNode *node, Object3D *parent, int32_t **transformCursor,
                             int level, int childMode, int surfaceRow, const ModelSkeleton *skeleton,
                             int32_t xScale, int32_t yzScale, uint32_t partMask);

// The world-object path: level `level` of the object (all parts, scales
// 1.0) as lit vertices in one frame: positions through `transform`, normals
// through `normalMatrix`, colours from the surfaces under the current view's
// light (mesh_lit_colours.h), triangles wound (first, third, second). The
// children follow in their composed frames, their lists merged into the
// mesh's by texture material. An object whose points span at most 64 units
// in z gives the textures of its lists LOD class 3. Nothing happens when the
// level does not exist. Textures must be loaded first (world mode).
void BuildObjectMaterialLists(Object3D *object, ObjectMeshPart *mesh, const FixTransform &transform,
                              const FixMatrix &normalMatrix, int level, int surfaceRow);
// The children of `object` into the mesh (part of the above).
void BuildChildMaterialLists(Object3D *object, ObjectMeshPart *mesh, const FixTransform &transform,
                             const FixMatrix &normalMatrix, int level, int surfaceRow);
