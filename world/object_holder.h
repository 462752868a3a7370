#pragma once

#include <cstdint>

struct DataStream;
struct Object3D;
struct ModelNode;
class ObjectRecordList;

// Kinds of object a holder holds.
constexpr uint8_t HolderObject3D = 0;   // a 3D object read inline
constexpr uint8_t HolderLathe = 1;      // a lathe object (ObjectRecordList)

// Bits of flag byte 2.
constexpr uint8_t HolderUnsortedAlpha = 1;   // transparent parts go to the unsorted list
constexpr uint8_t HolderExtraFloats = 2;     // two more floats follow the five (dropped)

// Movable byte values.
constexpr uint8_t HolderStatic = 0;
constexpr uint8_t HolderMovable = 1;
constexpr uint8_t HolderMovableDynamic = 2;

// What ObjectHolder::Read reports.
enum ObjectHolderError {
    HolderReadOk = 0,
    HolderBadKind,        // a kind other than 0 or 1
    HolderBadObject,      // the held 3D object or lathe object was refused as damaged
    HolderTruncated,      // the fields ran past the end of the data
};

// One record of the world's duplicator table: the shared object that placed
// copies (DuplicatorObject) show, with its scale and the physics values of a
// movable copy. docs/world_objects.md gives the byte roles.
struct ObjectHolder {
    ObjectHolder() = default;
    // The held object is owned: a copy would free it twice.
    ObjectHolder(const ObjectHolder &) = delete;
    ObjectHolder &operator=(const ObjectHolder &) = delete;

    uint8_t kind = HolderObject3D;
    uint8_t flags1 = 0;            // kept, unused
    uint8_t flags2 = 0;            // HolderUnsortedAlpha, HolderExtraFloats
    uint8_t flags3 = 0;            // kept, unused
    float scale = 1.0f;            // 1.0 = natural size
    float stiffness = 0.0f;
    float friction = 0.0f;
    float damping = 0.0f;
    float density = 0.0f;
    uint8_t movable = HolderStatic;
    uint8_t placeable = 0;         // may be placed as a layout object
    uint8_t pitPlace = 0;
    uint8_t spare = 0;
    Object3D *object = nullptr;           // owned; kind 0
    ObjectRecordList *lathe = nullptr;    // owned; kind 1
    ModelNode *model = nullptr;           // owned; built with drawing

    // Reads the record: kind, three flag bytes, five floats (two more dropped
    // with flag byte 2 bit 1), four bytes, then the held object. A 3D object
    // is refused when any of its records has a level count outside 1..4, a
    // count beyond the bytes left or a triangle corner beyond its points.
    // HolderReadOk, or an ObjectHolderError with nothing held.
    int Read(DataStream *stream, int version);
    // The 3D object of a kind-0 holder, else null.
    Object3D *GetObject() const;
    // The lathe object of a kind-1 holder, else null.
    ObjectRecordList *GetLatheObject() const;
    // The held object's name (empty when nothing is held).
    const char *GetName() const;
    // Builds the model node, freeing an earlier one. Kind 0: the object's
    // textures loaded in object mode without skins, then level 0 of the root
    // alone (no children, surface row 0, every part) with both scales
    // scale x 65536 rounded. Kind 1: an empty node (lathe models are built
    // by the world's graphics phase).
    void BuildModel();
    // Destroys and deletes the model node.
    void FreeModel();
    // Frees the model and the held object.
    void Free();
};
