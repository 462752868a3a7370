#include "tools/layout_writer.h"

#include "core/data_stream.h"
#include "world/duplicator_object.h"

namespace {

// The record fields through the game's own packing.
LayoutRecord Packed(float x, float y, float height, float heading, uint32_t flags, int duplicator, int width, int index)
{
    DuplicatorObject object(static_cast<int32_t>(x * 65536.0f), static_cast<int32_t>(y * 65536.0f));
    object.height = height;
    object.heading = heading;
    object.flags = flags;
    object.duplicator = static_cast<uint16_t>(duplicator);
    object.markerWidth = static_cast<uint8_t>(width);
    object.number = static_cast<uint8_t>(index);
    const LayoutRecord record = PackLayoutRecord(object);
    // With a world loaded the object took lighting slots; it never joined a
    // holder, so it is released as a copy of none.
    object.duplicator = NoDuplicator;
    object.Release();
    return record;
}

} // namespace

const char *WriteLayoutFile(const char *path, const LayoutRecord *records, int count, int laps)
{
    DataStream stream;
    if (const char *error = stream.OpenWrite(nullptr, path, LayoutFileId, LayoutFileVersion)) {
        return error;
    }
    WriteLayoutBody(&stream, records, count, laps, 1);
    return stream.Close() == 0 ? nullptr : "Could not write the layout file";
}

LayoutRecord LayoutObjectRecord(float x, float y, float height, int duplicator, float heading)
{
    return Packed(x, y, height, heading, 0, duplicator, 0, 0);
}

LayoutRecord LayoutTimingRecord(float x, float y, float height, int width, int index, float heading)
{
    return Packed(x, y, height, heading, width == 0 ? DuplicatorPosition : DuplicatorCheckpoint, 0, width, index);
}

LayoutRecord LayoutCheckCircleRecord(float x, float y, float height, int radius, int order)
{
    LayoutRecord record = Packed(x, y, height, 0.0f, 0, LayoutCircleIndex, 0, 0);
    record.flags = static_cast<uint8_t>((radius & 15) << 2);
    record.duplicator = LayoutCircleIndex;
    record.heading = static_cast<uint8_t>(order);
    return record;
}

LayoutRecord LayoutRestrictedRecord(float x, float y, float height, int radius, int figure, float heading)
{
    LayoutRecord record = Packed(x, y, height, heading, 0, LayoutCircleIndex, 0, 0);
    record.flags = static_cast<uint8_t>(LayoutRestrictedFlag | (radius & 15) << 2 | (figure & 3));
    record.duplicator = LayoutCircleIndex;
    return record;
}
