#include "world/object_holder.h"

#include "core/data_stream.h"
#include "render/object_file.h"
#include "world/lathe_object.h"

namespace {

// Bytes before the held object: kind, three flag bytes, five floats, four bytes.
constexpr int64_t HolderFieldBytes = 4 + 5 * 4 + 4;

// A 3D object placed in the world must have one to four detail levels in
// every record; the reader itself takes 0.
bool LevelCountsValid(const Object3D *object)
{
    if (object->lodCount < 1 || object->lodCount > MaxObjectLods) {
        return false;
    }
    for (int i = 0; i < object->childCount; ++i) {
        if (!LevelCountsValid(&object->children[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int ObjectHolder::Read(DataStream *stream, int version)
{
    Free();
    if (stream->overrun || stream->Remaining() < HolderFieldBytes) {
        return HolderTruncated;
    }
    kind = static_cast<uint8_t>(stream->ReadU8());
    flags1 = static_cast<uint8_t>(stream->ReadU8());
    flags2 = static_cast<uint8_t>(stream->ReadU8());
    flags3 = static_cast<uint8_t>(stream->ReadU8());
    scale = stream->ReadFloat();
    stiffness = stream->ReadFloat();
    friction = stream->ReadFloat();
    damping = stream->ReadFloat();
    density = stream->ReadFloat();
    if (flags2 & HolderExtraFloats) {
        stream->ReadFloat();
        stream->ReadFloat();
    }
    movable = static_cast<uint8_t>(stream->ReadU8());
    placeable = static_cast<uint8_t>(stream->ReadU8());
    pitPlace = static_cast<uint8_t>(stream->ReadU8());
    spare = static_cast<uint8_t>(stream->ReadU8());
    if (stream->overrun) {
        return HolderTruncated;
    }

    if (kind == HolderObject3D) {
        object = new Object3D;
        InitObject3D(object);
        if (!ReadObject3D(object, stream, version, 1, 1, 1, nullptr) || !LevelCountsValid(object)) {
            Free();
            return HolderBadObject;
        }
        return HolderReadOk;
    }
    if (kind == HolderLathe) {
        lathe = new ObjectRecordList;
        if (lathe->Read(stream, version) != 0) {
            Free();
            return HolderBadObject;
        }
        return HolderReadOk;
    }
    return HolderBadKind;
}

Object3D *ObjectHolder::GetObject() const
{
    return kind == HolderObject3D ? object : nullptr;
}

const char *ObjectHolder::GetName() const
{
    if (object) {
        return object->name;
    }
    if (lathe) {
        return lathe->name;
    }
    return "";
}

void ObjectHolder::FreeModel()
{
    // Models are built with drawing; until then none is ever made.
    model = nullptr;
}

void ObjectHolder::Free()
{
    FreeModel();
    if (object) {
        FreeObject3D(object);
        delete object;
        object = nullptr;
    }
    if (lathe) {
        lathe->Free();
        // Always allocated as an ObjectRecordList itself: the destructor
        // need not be virtual to end it exactly.
        lathe->~ObjectRecordList();
        ::operator delete(lathe);
        lathe = nullptr;
    }
}
