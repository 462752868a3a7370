#pragma once

#include <cstdint>

struct MaterialDrawList;

// Parts of a placed object that its owner draws by detail level. Three
// slots: the type id, a reset (the mesh releases its arrays in that slot)
// and an operation with one argument (the mesh draws in that slot, given the
// view classification of the owner's bounding sphere).
//
// A part stays valid while the level distance lies within minDistance ..
// maxDistance (16.16; a maximum of -1 means no limit); outside that range
// its owner drops it and builds another.
class ObjectPart {
public:
    ObjectPart() = default;
    ObjectPart(const ObjectPart &) = delete;
    ObjectPart &operator=(const ObjectPart &) = delete;
    virtual ~ObjectPart() = default;

    // 0 for the plain part, 2 for an ObjectMeshPart.
    virtual int TypeId() const
    {
        return 0;
    }
    // The plain part: minDistance back to 0 and maxDistance to -1.
    virtual void Release()
    {
        minDistance = 0;
        maxDistance = -1;
    }
    // The plain part does nothing.
    virtual void Draw(int)
    {
    }

    uint32_t minDistance = 0;
    int32_t maxDistance = -1;
};

// A vertex lit once on the CPU: position in 16.16, the unit normal as
// floats, the two colour words (lit by the sun, and ambient only; the
// world's colour selector picks one when drawn) and the texture coordinates.
struct ObjectMeshVertex {
    int32_t x, y, z;
    float nx, ny, nz;
    uint32_t litColour;
    uint32_t ambientColour;
    float u, v;
};
static_assert(sizeof(ObjectMeshVertex) == 40, "a lit vertex is 40 bytes");

struct ObjectMeshTriangle {
    uint32_t corners[3];
};

// A drawable part with lit vertex colours: the world objects built from 3D
// objects (BuildObjectMaterialLists) and the generated strip meshes. The
// material lists (render/model_node.h) cut the vertices and triangles as a
// model node's lists do; triangle corners index the whole vertex array.
class ObjectMeshPart : public ObjectPart {
public:
    ObjectMeshPart() = default;
    ~ObjectMeshPart() override;

    int TypeId() const override
    {
        return 2;
    }
    // Frees the three arrays and zeroes their counts.
    void Release() override;
    // Draws the lists through the world batch (render/object_mesh_part_draw.cpp).
    void Draw(int visibility) override;

    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    ObjectMeshVertex *vertices = nullptr;      // owned (new[])
    ObjectMeshTriangle *triangles = nullptr;   // owned (new[])
    int32_t listCount = 0;
    MaterialDrawList *lists = nullptr;         // owned (new[])
    uint8_t firstAlphaList = 255;              // 255: none
    uint8_t hasAlphaTest = 0;
    uint8_t reserved[2] = {0, 0};
};
