// Layout files: "KZVLYT" files holding a record count, the lap count, a
// flags byte (bit 0 in every file written) and the layout records.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/colour.h"
#include "core/command_line.h"
#include "core/data_stream.h"
#include "core/text_utils.h"
#include "world/duplicator_object.h"
#include "world/layout.h"
#include "world/layout_packets.h"
#include "world/object_holder.h"
#include "world/track_code.h"
#include "world/world.h"
#include "world/world_messages.h"
#include "world/world_object.h"

const char LayoutFileId[7] = "KZVLYT";
const char RescaledLayoutSite[3] = "BR";

namespace {

constexpr int PathSize = 96;

void PrintFileError(const char *text, const char *path)
{
    char line[160];
    snprintf(line, sizeof line, "%s %s", text, path);
    WorldPrintMessage(line, ColourSalmon);
}

// Old files (flags bit 0 clear) of the rescaled site hold positions 1/0.927
// times too large.
void SetScaling(int flags)
{
    LayoutScaling = (flags & 1) == 0 && CurrentWorld && EqualsNoCase(CurrentWorld->shortName, RescaledLayoutSite);
}

// The header after the id: count, laps and flags. 0 when the records the
// count promises are not all in the file.
int ReadLayoutHead(DataStream *stream, int &count, int &laps, int &flags)
{
    count = stream->ReadU16() & 0xFFFF;
    laps = stream->ReadU8() & 0xFF;
    flags = stream->ReadU8() & 0xFF;
    return !stream->overrun && stream->Remaining() >= static_cast<int64_t>(count) * LayoutRecordSize;
}

// Opens a layout file without a message when it is missing; any other
// failure prints one naming the file. 1 with the stream at the body.
int OpenLayoutStream(DataStream &stream, const char *path)
{
    if (!FileExists(path)) {
        return 0;
    }
    int version = 0;
    const char *error = stream.OpenCheckHeader(path, LayoutFileId, &version, LayoutFileVersion);
    if (error) {
        PrintFileError(error, path);
        return 0;
    }
    if (version < LayoutOldestVersion) {
        stream.Close();
        PrintFileError("Layout file too old :", path);
        return 0;
    }
    return 1;
}

} // namespace

void MakeLayoutPath(char *out, int size, const char *name)
{
    snprintf(out, static_cast<size_t>(size), "data\\%s\\%s.lyt", CommandLineSettings.lytFolder, name);
}

void MakeLayoutFileName(char *out, int size)
{
    char code[16] = {};
    GetTrackCode(code, sizeof code, CurrentWorld ? CurrentWorld->trackName : "");
    snprintf(out, static_cast<size_t>(size), "data\\%s\\%s_*.lyt", CommandLineSettings.lytFolder, code);
}

void ClearLayoutName()
{
    LayoutLoaded = 1;
    LayoutName[0] = 0;
}

int OpenLayoutFile(const char *name)
{
    World *world = CurrentWorld;
    if (!world) {
        return 0;
    }
    char path[PathSize];
    MakeLayoutPath(path, sizeof path, name);
    DataStream stream;
    if (!OpenLayoutStream(stream, path)) {
        return 0;
    }
    int count, laps, flags;
    if (!ReadLayoutHead(&stream, count, laps, flags)) {
        stream.Close();
        PrintFileError("Layout file damaged :", path);
        return 0;
    }

    char code[16] = {};
    GetTrackCode(code, sizeof code, world->trackName);
    char unnamed[20];
    snprintf(unnamed, sizeof unnamed, "%s_", code);
    if (EqualsNoCase(name, unnamed)) {
        ClearLayoutName();
    } else {
        CopyString(LayoutName, name, LayoutNameSize);
        LayoutLoaded = 1;
    }
    SendLayoutClear();
    if (LayoutStream.file) {
        LayoutStream.Close();
    }
    LayoutRecordsToSend = count;
    LayoutLaps = laps < 2 ? 1 : laps;
    SetScaling(flags);
    if (count > 0) {
        LayoutStream = stream;
    } else {
        stream.Close();
    }
    return 1;
}

void ReadLayoutRecord(DataStream *stream, LayoutRecord &record)
{
    uint8_t bytes[LayoutRecordSize];
    stream->ReadBytes(bytes, LayoutRecordSize);
    record = LayoutRecordFromBytes(bytes);
    if (LayoutScaling) {
        record.x = static_cast<int16_t>(std::lround(static_cast<float>(record.x) * LayoutRescale));
        record.y = static_cast<int16_t>(std::lround(static_cast<float>(record.y) * LayoutRescale));
        record.height = static_cast<int8_t>(std::lround(static_cast<float>(record.height) * LayoutRescale));
    }
}

void WriteLayoutBody(DataStream *stream, const LayoutRecord *records, int count, int laps, int flags)
{
    stream->WriteU16(count);
    stream->WriteU8(std::clamp(laps, 0, 255));
    stream->WriteU8(flags);
    for (int n = 0; n < count; ++n) {
        uint8_t bytes[LayoutRecordSize];
        LayoutRecordToBytes(records[n], bytes);
        stream->WriteBytes(bytes, LayoutRecordSize);
    }
}

void WriteLayoutRecords(DataStream *stream, int duplicatorOrder)
{
    static LayoutRecord records[MaxLayoutObjects + MaxLayoutCircles];
    int count = 0;
    const World *world = CurrentWorld;
    const int first = world ? world->objectCount - world->layoutObjectCount : 0;
    const int objectCount = world ? world->objectCount : 0;
    auto packed = [&](int n, LayoutRecord &record) {
        WorldObject *object = world->objects[n];
        if (!object || object->GetType() != ObjectDuplicator) {
            return false;
        }
        record = PackLayoutRecord(*static_cast<DuplicatorObject *>(object));
        return true;
    };
    bool written[MaxLayoutObjects] = {};
    if (world && duplicatorOrder) {
        for (int d = 0; d < world->duplicatorCount; ++d) {
            if (!world->duplicators[d].placeable) {
                continue;
            }
            for (int n = first; n < objectCount; ++n) {
                LayoutRecord record;
                if (!written[n - first] && packed(n, record) && record.flags == 0 && record.duplicator == d) {
                    records[count++] = record;
                    written[n - first] = true;
                }
            }
        }
    }
    for (int n = first; n < objectCount; ++n) {
        LayoutRecord record = {};
        if (!written[n - first] && packed(n, record)) {
            records[count++] = record;
        }
    }
    for (int n = 0; n < LayoutCircles.count; ++n) {
        records[count++] = LayoutCircles.records[n];
    }
    const LayoutServices &services = GetLayoutServices();
    const int laps = services.getRaceLapSetting ? services.getRaceLapSetting() : LayoutLaps;
    WriteLayoutBody(stream, records, count, laps, 1);
}

int SaveLayoutFile(const char *name, MenuPage *page)
{
    if (!CurrentWorld) {
        return 0;
    }
    char path[PathSize];
    MakeLayoutPath(path, sizeof path, name);
    DataStream stream;
    if (stream.OpenWrite(page, path, LayoutFileId, LayoutFileVersion)) {
        return 0;
    }
    WriteLayoutRecords(&stream, 1);
    if (stream.Close()) {
        PrintFileError("Could not write", path);
        return 0;
    }
    LayoutLoaded = 1;
    CopyString(LayoutName, name, LayoutNameSize);
    return 1;
}

int CreateEmptyLayoutFile(const char *path)
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, LayoutFileId, LayoutFileVersion)) {
        return 0;
    }
    WriteLayoutBody(&stream, nullptr, 0, 1, 1);
    return stream.Close() == 0;
}

int ReadLayoutBody(DataStream *stream, int /*version*/, int takeLaps, int add, const char *path)
{
    int count, laps, flags;
    if (!ReadLayoutHead(stream, count, laps, flags)) {
        PrintFileError("Layout file damaged :", path ? path : "");
        return 0;
    }
    if (takeLaps) {
        LayoutLaps = laps < 2 ? 1 : laps;
        const LayoutServices &services = GetLayoutServices();
        if (services.setRaceLapSetting) {
            services.setRaceLapSetting(laps);
        }
    }
    SetScaling(flags);
    for (int n = 0; n < count; ++n) {
        LayoutRecord record;
        ReadLayoutRecord(stream, record);
        if (add) {
            AddLayoutObject(record, 0, 0, nullptr, nullptr, OwnConnection());
        }
    }
    return 1;
}

int LoadTrainingLayout(const char *name)
{
    char path[PathSize];
    snprintf(path, sizeof path, "data\\training\\%s.lyt", name);
    DataStream stream;
    if (!OpenLayoutStream(stream, path)) {
        LayoutLoaded = 0;
        LayoutName[0] = 0;
        return 0;
    }
    const int ok = ReadLayoutBody(&stream, LayoutFileVersion, 1, 1, path);
    stream.Close();
    if (!ok) {
        LayoutLoaded = 0;
        LayoutName[0] = 0;
        return 0;
    }
    LayoutLoaded = 1;
    CopyString(LayoutName, name, LayoutNameSize);
    return 1;
}
