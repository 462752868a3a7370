#include "world/object_holder.h"

#include <climits>
#include <cmath>

#include "core/data_stream.h"
#include "render/model_build.h"
#include "render/model_node.h"
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

ObjectRecordList *ObjectHolder::GetLatheObject() const
{
    return kind == HolderLathe ? lathe : nullptr;
}

static int32_t HolderModelScale(float scale)
{
    const double units = std::floor(static_cast<double>(scale) * 65536.0 + 0.5);
    if (!(units > -2147483648.0))  // NaN too
        return units < 0.0 ? INT32_MIN : 0;
    return units >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(units);
}

void ObjectHolder::BuildModel()
{
    FreeModel();
    model = CreateModelNode();
    if (model == nullptr || kind != HolderObject3D || object == nullptr)
        return;
    const int32_t s = HolderModelScale(scale);
    LoadObjectTextures(object, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(object, model, 0, BuildNoChildren, 0, s, s, AllObjectParts);
}

void ObjectHolder::FreeModel()
{
    DeleteModelNode(model);
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
