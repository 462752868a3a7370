#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/fixed_math.h"

struct Material;
struct PartVertex;
struct RenderObject;

// Model nodes: the drawable form of one level of detail of a 3D object
// (render/object_file.h). A node holds a shared-vertex mesh in 16.16 fixed
// point, cut into per-material lists, a local transform, a visibility range,
// a bounding radius and its child nodes (one per child object, two for a
// mirrored child). Cars, the helmet, the driver's body parts and placed
// objects are drawn through nodes, either directly or through a render
// object built once from the node.
//
// Reading a node (the damage code and the car's render parts do):
// - vertices[0 .. vertexCount - 1]: position and normal in 16.16 (65536 =
//   1 m, normals of unit length 65536), U and V, and the surface record;
// - triangles[0 .. triangleCount - 1]: three indices into vertices;
// - lists[0 .. listCount - 1]: the material lists; list i covers the
//   vertices and triangles following those of lists 0 .. i - 1, and its
//   triangles index the node's whole vertex array;
// - children[0 .. childCount - 1]: the node's parts, each placed at its
//   `position` (16.16, in this node's frame) and turned by `rotation`.

// List flags.
constexpr uint8_t ModelListEnvironment = 0x01;   // sky or environment material
constexpr uint8_t ModelListAlpha = 0x20;         // alpha-blended texture
constexpr uint8_t ModelListTextureOnly = 0x40;   // looked up as an object texture, not a skin
constexpr uint8_t ModelListCarSpecific = 0x80;   // a car-specific texture (the car's skin)

// Vertex flags.
constexpr uint8_t ModelVertexMirrored = 0x01;    // made for the mirrored side (x negated)
constexpr int ModelVertexLightingShift = 6;      // bits 6-7: the lighting class 0..3

constexpr uint8_t ModelNoAlphaList = 255;
constexpr int ModelMaterialWordCount = 12;

// FillRenderObject modes.
constexpr int FillSolidLists = 0;
constexpr int FillAlphaLists = 1;
constexpr int FillAllLists = 2;

struct ModelVertex {
    uint8_t bone;        // the transform the position is stored in (0 without a skeleton)
    uint8_t scratch;     // used while building; free for the node's users afterwards
    uint16_t mapping;    // index of the object's texture mapping
    uint8_t flags;       // ModelVertexMirrored, lighting class in bits 6-7
    uint8_t reserved;
    int32_t position[3]; // 16.16, scaled by the build's scales
    int32_t normal[3];   // 16.16 unit length, or zero
    float u, v;
    const GridCell *surface;  // the object's surface record (colour bytes 0-2, flags byte 3)
};

struct ModelTriangle {
    uint16_t corners[3]; // vertex indices
    uint16_t zero;
    const GridCell *surface;
};

// One material list of a node.
struct MaterialDrawList {
    uint8_t flags;                 // ModelList* flags, bits 5-7 also from the material's flags
    int16_t objectMaterial;        // index of the object material it was made from
    Material *material;            // the texture material (null when no texture layer resolved it)
    char textureName[21];          // the texture's name, kept for headless use
    uint32_t vertexCount;
    uint32_t triangleCount;
};

// The operations every node answers, in slot order. Model nodes draw; a
// geometry collector (vehicle/collision_hull.h) answers the same slots with
// its own column and never draws.
struct ModelNodeBase {
    virtual ~ModelNodeBase() = default;
    // 0: base reset, geometry pointers and counts cleared (nothing freed); 0.
    virtual int Reset() = 0;
    // 1: 1 for a model node, 0 for a collector.
    virtual int IsModelNode() const = 0;
    // 2, 3.
    virtual int PointCount() const = 0;
    virtual int TriangleCount() const = 0;
    // 4: frees the geometry.
    virtual void FreeGeometry() = 0;
    // 5: the bounding radius, stored and returned.
    virtual int32_t ComputeBounds() = 0;
    // 6: forgets the render object without deleting it.
    virtual void DetachRenderObject() = 0;
    // 7: builds the render object.
    virtual void BuildRenderObject() = 0;
    // 8: immediate draw through the world batch. `parent` takes the node's
    // parent frame to view space; `extra` is passed on to the children
    // unread.
    virtual void Draw(int withChildren, const FixTransform &parent, int extra) = 0;
    // 9: immediate draw of a skinned node: each vertex through its bone
    // (parent composed with bones[vertex.bone]); no culling, no children.
    virtual void DrawSkinned(const FixTransform &parent, const FixTransform *bones, int boneCount) = 0;
    // 10: the general draw: no culling; with plainSkins, car-specific lists
    // draw with the plain material; every vertex 1000 m further along z.
    virtual void DrawWithOptions(int withChildren, const FixTransform &parent, const FixTransform *bones,
                                 int boneCount, int plainSkins) = 0;
};

// Nodes are made by CreateModelNode (or new, then ResetBase) and filled by a
// builder. Never copy a node byte-wise: it has an operation table.
struct ModelNode : ModelNodeBase {
    // Local transform in the parent's frame.
    FixMatrix rotation;
    int32_t position[3];
    // Composed when drawn.
    FixTransform world;
    // Visible from nearDistance up to farDistance (16.16 metres).
    int32_t nearDistance;
    int32_t farDistance;
    int32_t radius;            // about the node's origin, covering vertices and children (16.16)
    int32_t childCount;
    uint16_t kind;             // the object's kind; kinds 6..9 survive pruning when empty
    uint8_t firstAlphaList;    // index of the first alpha-blended list, ModelNoAlphaList for none
    uint8_t hasAlphaTest;      // a list's texture is alpha-tested ("ATEST")
    ModelNode **children;      // owned
    RenderObject *renderObject;  // owned, built on demand
    int32_t vertexCount;
    int32_t triangleCount;
    ModelVertex *vertices;     // owned
    ModelTriangle *triangles;  // owned
    int32_t listCount;
    MaterialDrawList *lists;   // owned
    // Render-state words of the node's materials (set by its owner) and the
    // owner's draw value.
    uint32_t materialWords[ModelMaterialWordCount];
    uint32_t drawValue;

    // Identity transforms, everything zero, no alpha list, nothing owned
    // (what a new node needs before a build). Owned data is not freed.
    void ResetBase();
    // FreeGeometry, then every child destroyed and deleted, then the child
    // array freed. The node itself stays usable (empty).
    void Destroy();
    // Destroys and deletes every child that has no triangles and whose kind
    // is not 6..9; the later children move up.
    void PruneChildren();
    // The node's render object, built first (slot 7) when there is none.
    // Null when render objects cannot be made.
    RenderObject *GetRenderObject();
    // Clears the parts of `object` and fills them with this node's lists:
    // FillSolidLists the lists without ModelListAlpha, FillAlphaLists those
    // with it, FillAllLists every list. Each list goes to the part whose
    // material is the list's; a list whose material has no part is skipped.
    // The parts are finished at the end.
    void FillRenderObject(RenderObject *object, int mode) const;

    // The slots.
    int Reset() override;
    int IsModelNode() const override
    {
        return 1;
    }
    int PointCount() const override
    {
        return vertexCount;
    }
    int TriangleCount() const override
    {
        return triangleCount;
    }
    // Frees the geometry (vertices, triangles, lists) and deletes the render
    // object; the children are kept.
    void FreeGeometry() override;
    // The bounding radius (vertices, then children), stored and returned.
    // A node whose vertices span less than 65 units in z gives the textures
    // of its lists LOD class 3.
    int32_t ComputeBounds() override;
    void DetachRenderObject() override;
    // "SUB%d" with one part per distinct texture material, filled with every
    // list and built into buffers. Nothing when render objects cannot be made.
    void BuildRenderObject() override;
    void Draw(int withChildren, const FixTransform &parent, int extra) override;
    void DrawSkinned(const FixTransform &parent, const FixTransform *bones, int boneCount) override;
    void DrawWithOptions(int withChildren, const FixTransform &parent, const FixTransform *bones, int boneCount,
                         int plainSkins) override;
};

// Set while the garage shows its car: every node draws through
// DrawWithOptions, 1000 m further along z. The garage sets and clears it.
extern int GaragePreview;

// Triangles one world-batch run of an immediate draw takes before a flush.
constexpr int ModelDrawTrianglesPerFlush = 5120;

// The material car-specific lists draw with under plain skins (the plain
// default "PLAIN~W"), and the add-pass white material of collector geometry.
// Set by the standard textures when they are made; null before.
extern Material *ModelPlainSkinMaterial;
extern Material *CollectorPartMaterial;

// A new reset node, or null when memory ran out; DeleteModelNode destroys
// and deletes it (null is allowed).
ModelNode *CreateModelNode();
void DeleteModelNode(ModelNode *node);

// A node vertex as a render part's vertex: position and normal from 16.16
// to float, the texture coordinates, and the given diffuse colour.
PartVertex ToPartVertex(const ModelVertex &vertex, uint32_t diffuse);

// The running number of the next "SUB%d" render object.
extern int ModelRenderObjectCounter;
