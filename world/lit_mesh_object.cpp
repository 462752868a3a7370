#include "world/lit_mesh_object.h"

#include "core/data_stream.h"
#include "render/object_mesh_part.h"
#include "vehicle/solid_link.h"
#include "world/world.h"

namespace {

// True when the stream still holds that many bytes. The memory modes also
// flag a read past their end, but a file read past its end only yields 0xFF
// bytes, so every fixed-size read that may run out is checked first.
bool Fits(const DataStream *stream, int64_t bytes)
{
    return !stream->overrun && bytes <= stream->Remaining();
}

void FreeRecords(LightingRecord *records)
{
    if (!records) {
        return;
    }
    for (int level = 0; level < MeshLevelCount; ++level) {
        delete[] records[level].list1;
        delete[] records[level].list2;
        delete[] records[level].list3;
    }
    delete[] records;
}

// Reads one u32 list of a lighting record. A kept list is allocated (null
// for a count of 0); a dropped one is read past and its count stored as 0, so
// that a count never describes a list that is not there. With extra, a
// non-zero count is followed by one more word before the values (list 3).
// rawCount is the count as the file gives it. 0, or 1 when the list does not
// fit the bytes left.
int ReadLightingList(DataStream *stream, bool keep, uint32_t *extra, uint32_t &rawCount, uint32_t &count,
                     uint32_t *&list)
{
    rawCount = stream->ReadU32();
    count = 0;
    list = nullptr;
    const int64_t extraBytes = extra && rawCount != 0 ? 4 : 0;
    if (!Fits(stream, extraBytes + static_cast<int64_t>(rawCount) * 4)) {
        return 1;
    }
    if (extraBytes != 0) {
        *extra = stream->ReadU32();
    }
    if (!keep) {
        for (uint32_t i = 0; i < rawCount; ++i) {
            stream->ReadU32();
        }
        return 0;
    }
    if (rawCount != 0) {
        list = new uint32_t[rawCount];
        for (uint32_t i = 0; i < rawCount; ++i) {
            list[i] = stream->ReadU32();
        }
    }
    count = rawCount;
    return 0;
}

// The four level records of a lighting record. Returns 0 and the records,
// with anyCount telling whether any list count was non-zero; 1 when the data
// is damaged (nothing is kept then).
int ReadLightingLevels(DataStream *stream, LightingRecord *&out, bool &anyCount)
{
    LightingRecord *records = new LightingRecord[MeshLevelCount]();
    anyCount = false;
    for (int level = 0; level < MeshLevelCount; ++level) {
        LightingRecord &record = records[level];
        const bool full = level == 0;   // lists 2 and 3 are kept for level 0 only
        uint32_t raw1 = 0, raw2 = 0, raw3 = 0;
        if (ReadLightingList(stream, true, nullptr, raw1, record.count1, record.list1) != 0 ||
            ReadLightingList(stream, full, nullptr, raw2, record.count2, record.list2) != 0 ||
            ReadLightingList(stream, full, &record.list3Extra, raw3, record.count3, record.list3) != 0) {
            FreeRecords(records);
            return 1;
        }
        if (raw1 != 0 || raw2 != 0 || raw3 != 0) {
            anyCount = true;
        }
    }
    out = records;
    return 0;
}

} // namespace

LitMeshObject::LitMeshObject()
{
    for (MeshSlot &level : levels) {
        level = {NoCombinedMesh, 0, 0, 0, 0};
    }
    if (!LoadingWorldObjects && CurrentWorld) {
        AllocateLighting(CurrentWorld->lightSchemeCount);
    }
}

void LitMeshObject::Release()
{
    ReleaseDynamicMesh();
    AllocateLighting(0);
}

void LitMeshObject::AllocateLighting(int count)
{
    for (int scheme = 0; scheme < lightingCount; ++scheme) {
        FreeLighting(scheme);
    }
    delete[] lighting;
    lighting = nullptr;
    lightingCount = 0;
    if (count > 0) {
        lighting = new LightingSlot[count]();
        lightingCount = count;
    }
}

int LitMeshObject::ReadLighting(DataStream *stream, int, int scheme)
{
    if (!lighting || scheme < 0 || scheme >= lightingCount) {
        return 1;
    }
    FreeLighting(scheme);
    LightingSlot &slot = lighting[scheme];
    if (!Fits(stream, 4)) {
        return 1;
    }
    // Bit 1 only ever says that this program allocated the lists.
    slot.flags = stream->ReadU32() & ~LightingListsAllocated;
    LightingRecord *records = nullptr;
    bool anyCount = false;
    if ((slot.flags & LightingHasLists) && ReadLightingLevels(stream, records, anyCount) != 0) {
        slot.flags = 0;
        return 1;
    }
    if (!Fits(stream, 4)) {
        FreeRecords(records);
        slot.flags = 0;
        return 1;
    }
    slot.value = stream->ReadFloat();
    if (stream->overrun) {
        FreeRecords(records);
        slot.flags = 0;
        return 1;
    }
    if (slot.flags & LightingHasLists) {
        if (anyCount) {
            slot.records = records;
            slot.flags |= LightingListsAllocated;
        } else {
            FreeRecords(records);
            slot.flags = 0;
        }
    }
    return 0;
}

const LightingRecord *LitMeshObject::GetLightingLists(int level) const
{
    if (!CurrentWorld || !lighting || level < 0 || level >= MeshLevelCount) {
        return nullptr;
    }
    const int scheme = CurrentWorld->lightSchemeIndex;
    if (scheme < 0 || scheme >= lightingCount) {
        return nullptr;
    }
    const LightingSlot &slot = lighting[scheme];
    const uint32_t wanted = LightingHasLists | LightingListsAllocated;
    if ((slot.flags & wanted) != wanted || !slot.records) {
        return nullptr;
    }
    return &slot.records[level];
}

void LitMeshObject::FreeLighting(int scheme)
{
    if (!lighting || scheme < 0 || scheme >= lightingCount) {
        return;
    }
    LightingSlot &slot = lighting[scheme];
    FreeRecords(slot.records);
    slot.records = nullptr;
    slot.flags = 0;
}

void LitMeshObject::Rebuild(int prepare)
{
    ReleaseDynamicMesh();
    for (int scheme = 0; scheme < lightingCount; ++scheme) {
        FreeLighting(scheme);
    }
    if (prepare) {
        Prepare();
    }
}

void LitMeshObject::ReleaseDynamicMesh()
{
    if (dynamicMesh) {
        dynamicMesh->Release();
        delete dynamicMesh;
        dynamicMesh = nullptr;
    }
}

int ReadSolidLink(DataStream *stream, SolidLink &link)
{
    if (!Fits(stream, 8)) {
        return 1;
    }
    link.surface = static_cast<uint16_t>(stream->ReadU16());
    link.collide = static_cast<uint8_t>(stream->ReadU8());
    link.measured = static_cast<uint8_t>(stream->ReadU8());
    link.mapping = static_cast<uint16_t>(stream->ReadU16());
    link.curveA = static_cast<uint8_t>(stream->ReadU8());
    link.curveB = static_cast<uint8_t>(stream->ReadU8());
    if (link.curveA == link.curveB) {
        if (!Fits(stream, 8)) {
            return 1;
        }
        link.curveA = static_cast<uint8_t>(stream->ReadU32());
        link.curveB = static_cast<uint8_t>(stream->ReadU32());
    }
    return stream->overrun ? 1 : 0;
}
