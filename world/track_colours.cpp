#include "world/track_colours.h"

#include <cstring>

#include "core/data_stream.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "vehicle/solid_link.h"
#include "world/flag_object.h"
#include "world/lathe_object.h"
#include "world/object_holder.h"
#include "world/panel_object.h"
#include "world/solid_object.h"

namespace {

// Fixed bytes of the smallest record of each form: counts that need more
// than the data holds are refused before anything is allocated.
constexpr int64_t MinNewRecordBytes = 2 + 1 + 1 + 16 + 16 + 4 + 12 + 4;
constexpr int64_t MinOldRecordBytes = 16 + 16 + 4 + 8 + 4 + 4 + 4 + 8 + 4 + 4;

// Worlds before this version carry the old fence and advertisement rules.
constexpr int FenceRuleVersion = 252;
constexpr uint8_t FenceSurfaceKind = 9;

void ReadName(DataStream *stream, char name[16])
{
    stream->ReadBytes(name, 16);
    name[15] = 0;
}

void FreeRecord(TrackColour &record)
{
    delete[] record.palette;
    delete[] record.columnEnds;
    delete[] record.cells;
    record.palette = nullptr;
    record.columnEnds = nullptr;
    record.cells = nullptr;
}

// Reads count entries into a fresh array, refusing a count that needs more
// bytes than are left. The array has one spare entry so that a count of 0
// still gives a valid pointer.
int ReadColourArray(DataStream *stream, int count, Colour *&out)
{
    if (int64_t(count) * 4 > stream->Remaining()) {
        return 1;
    }
    out = new Colour[count + 1]();
    for (int i = 0; i < count; ++i) {
        ReadColour(&out[i], stream);
    }
    return 0;
}

int ReadU32Array(DataStream *stream, int count, uint32_t *&out)
{
    if (int64_t(count) * 4 > stream->Remaining()) {
        return 1;
    }
    out = new uint32_t[count + 1]();
    for (int i = 0; i < count; ++i) {
        out[i] = stream->ReadU32();
    }
    return 0;
}

int ReadNewRecord(DataStream *stream, TrackColour &record)
{
    record.flags = static_cast<uint16_t>(stream->ReadU16());
    record.form = static_cast<uint8_t>(stream->ReadU8());
    stream->ReadU8();
    ReadName(stream, record.name);
    ReadName(stream, record.textureName);
    ReadColour(&record.colour, stream);
    uint8_t bytes[12];
    stream->ReadBytes(bytes, 12);
    record.uRepeat = bytes[0];
    record.vRepeat = bytes[1];
    record.uOffset = bytes[2];
    record.vOffset = bytes[3];
    record.rowCount = bytes[4];
    record.orientation = bytes[5];
    record.paletteCount = bytes[6];
    record.columnCount = bytes[7];
    record.surfaceKind = bytes[8];
    record.bumpKind = bytes[9];
    record.bumpAmplitude = bytes[10];
    record.bumpShift = bytes[11];
    record.lengthWord = stream->ReadU32();
    if (record.form == 1) {
        record.mappingCentreX = stream->ReadU32();
        record.mappingCentreY = stream->ReadU32();
        record.mappingAngle = stream->ReadFloat();
        record.scale1 = stream->ReadFloat();
        record.scale2 = stream->ReadFloat();
    }
    if (stream->overrun) {
        return 1;
    }
    return ReadColourArray(stream, record.paletteCount, record.palette) ||
           ReadU32Array(stream, record.columnCount, record.columnEnds) ||
           ReadU32Array(stream, record.rowCount * record.columnCount, record.cells);
}

// A u32 count of which only the low byte is kept: a larger value would leave
// the rest of the record unread, so it is refused.
int ReadByteCount(DataStream *stream, uint8_t &count)
{
    const uint32_t value = stream->ReadU32();
    count = static_cast<uint8_t>(value);
    return value > 255u ? 1 : 0;
}

int ReadOldRecord(DataStream *stream, TrackColour &record)
{
    ReadName(stream, record.name);
    ReadName(stream, record.textureName);
    ReadColour(&record.colour, stream);
    record.rowCount = static_cast<uint8_t>(stream->ReadU32());
    record.orientation = static_cast<uint8_t>(stream->ReadU32());
    record.uRepeat = static_cast<uint8_t>(stream->ReadU8());
    record.vRepeat = static_cast<uint8_t>(stream->ReadU8());
    record.uOffset = static_cast<uint8_t>(stream->ReadU8());
    record.vOffset = static_cast<uint8_t>(stream->ReadU8());
    if (ReadByteCount(stream, record.paletteCount) || stream->overrun ||
        ReadColourArray(stream, record.paletteCount, record.palette)) {
        return 1;
    }
    if (ReadByteCount(stream, record.columnCount) || stream->overrun ||
        ReadU32Array(stream, record.columnCount, record.columnEnds) ||
        ReadU32Array(stream, record.rowCount * record.columnCount, record.cells)) {
        return 1;
    }
    record.surfaceKind = static_cast<uint8_t>(stream->ReadU32());
    record.bumpKind = static_cast<uint8_t>(stream->ReadU32());
    const uint32_t flagsWord = stream->ReadU32();
    record.flags = static_cast<uint16_t>(flagsWord);
    record.form = static_cast<uint8_t>(flagsWord >> 16);
    record.lengthWord = stream->ReadU32();
    return stream->overrun ? 1 : 0;
}

// Old worlds name their fences only by the record name.
bool IsOldFenceName(const char *name)
{
    return StartsWithNoCase(name, "fence") || EqualsNoCase(name, "BIN_L_A");
}

bool EndsWithNoCase(const char *text, size_t length, const char *suffix)
{
    return EqualsNoCase(text + length - 5, suffix);
}

} // namespace

uint8_t TextureNameAlphaFlags(const char *textureName)
{
    const size_t length = strlen(textureName);
    if (length <= 5) {
        return 0;
    }
    if (EndsWithNoCase(textureName, length, "ALPHA") || EndsWithNoCase(textureName, length, "ALP15") ||
        EndsWithNoCase(textureName, length, "ALP24")) {
        return AlphaBlend;
    }
    if (EndsWithNoCase(textureName, length, "ATEST")) {
        return AlphaTest;
    }
    return 0;
}

namespace {

// Advertisement texture name -> picture file name, per track site.
struct AdvertSubstitution {
    const char *site;
    const char *textureName;
    const char *pictureName;
};

// None of our sites has advertisements of its own yet.
constexpr AdvertSubstitution AdvertTable[] = {
    {nullptr, nullptr, nullptr},
};

} // namespace

void SubstituteAdvertTextures(char textureName[16], const char *siteShortName)
{
    for (const AdvertSubstitution &entry : AdvertTable) {
        if (!entry.site || !EqualsNoCase(entry.site, siteShortName) ||
            !EqualsNoCase(entry.textureName, textureName)) {
            continue;
        }
        strncpy(textureName, entry.pictureName, 15);
        textureName[15] = 0;
        return;
    }
}

ColourSet::~ColourSet()
{
    Free();
}

void ColourSet::Free()
{
    for (int i = 0; i < count; ++i) {
        FreeRecord(records[i]);
    }
    delete[] records;
    records = nullptr;
    count = 0;
}

int ColourSet::Read(DataStream *stream, int version, const char *siteShortName)
{
    Free();
    const int recordCount = static_cast<uint16_t>(stream->ReadU16());
    const int newForm = stream->ReadU8();
    stream->ReadU8();
    if (stream->overrun) {
        return 1;
    }
    const int64_t minBytes = newForm ? MinNewRecordBytes : MinOldRecordBytes;
    if (recordCount * minBytes > stream->Remaining()) {
        return 1;
    }
    records = new TrackColour[recordCount]();
    count = recordCount;
    for (int i = 0; i < count; ++i) {
        TrackColour &record = records[i];
        record.scale1 = 2.0f;
        record.scale2 = 2.0f;
        if (newForm ? ReadNewRecord(stream, record) : ReadOldRecord(stream, record)) {
            Free();
            return 1;
        }
        if (!newForm && version < FenceRuleVersion) {
            if (record.surfaceKind != FenceSurfaceKind && IsOldFenceName(record.name)) {
                record.surfaceKind = FenceSurfaceKind;
            }
            SubstituteAdvertTextures(record.textureName, siteShortName);
        }
    }
    if (stream->overrun) {
        Free();
        return 1;
    }
    return 0;
}

void ColourSet::Initialise(int oldColourFlags)
{
    for (int r = 0; r < count; ++r) {
        TrackColour &record = records[r];
        bool paletteFlag = false;
        for (int i = 0; i < record.paletteCount; ++i) {
            paletteFlag = paletteFlag || (record.palette[i].flags & 1);
        }
        int64_t sum[3] = {0, 0, 0};
        bool contributed = false;
        const int indicesPerCell = oldColourFlags ? 4 : 1;
        for (int row = 0; row < record.rowCount; ++row) {
            int64_t previousEnd = 0;
            for (int c = 0; c < record.columnCount; ++c) {
                const int64_t end = record.columnEnds[c];
                const int64_t weight = end - previousEnd;
                previousEnd = end;
                const uint32_t cell = record.cells[row * record.columnCount + c];
                for (int k = 0; k < indicesPerCell; ++k) {
                    const uint32_t index = oldColourFlags ? (cell >> (8 * k)) & 0xFF : cell;
                    // An index beyond the palette names no colour.
                    if (index == NoPaletteIndex || index >= record.paletteCount) {
                        continue;
                    }
                    const Colour &colour = record.palette[index];
                    sum[0] += (colour.red * weight) >> 16;
                    sum[1] += (colour.green * weight) >> 16;
                    sum[2] += (colour.blue * weight) >> 16;
                    contributed = true;
                }
            }
        }
        if (contributed) {
            record.flags |= ColourHasCells;
        } else {
            record.flags &= 9;
        }
        // A record without rows (never written by our tools) averages to black.
        const int64_t divisor = int64_t(record.rowCount) * (oldColourFlags ? 2 : 1);
        uint8_t channel[3] = {0, 0, 0};
        for (int i = 0; i < 3 && divisor > 0; ++i) {
            const int64_t value = sum[i] / divisor;
            channel[i] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
        }
        record.average = {channel[0], channel[1], channel[2], static_cast<uint8_t>(paletteFlag ? 1 : 0)};
    }
}

void TrackColour::ComputeLitColour()
{
    lit.red = static_cast<uint8_t>((colour.red * average.red) >> 8);
    lit.green = static_cast<uint8_t>((colour.green * average.green) >> 8);
    lit.blue = static_cast<uint8_t>((colour.blue * average.blue) >> 8);
    lit.flags = static_cast<uint8_t>(colour.flags | (average.flags & 1));
}

void TrackColour::LoadTexture()
{
    alphaFlags = 0;
    texture = nullptr;
    if (!GraphicsEnabled) {
        ComputeLitColour();
        return;
    }
    // With graphics the render layer supplies the material for each case
    // below; the record's colours and alpha flags are settled here.
    if (textureName[0] == 0) {
        colour = {255, 255, 255, colour.flags};
    } else if (EqualsNoCase(textureName, "s_sky") || EqualsNoCase(textureName, "s_env")) {
        alphaFlags = AlphaSkyTexture;
        colour = {255, 255, 255, colour.flags};
    } else {
        alphaFlags = TextureNameAlphaFlags(textureName);
    }
    ComputeLitColour();
}

void ColourSet::LoadAllTextures()
{
    for (int i = 0; i < count; ++i) {
        records[i].LoadTexture();
    }
}

void ColourSet::MarkUsed(WorldObject *const *objects, int objectCount, const ObjectHolder *holders,
                         int holderCount)
{
    for (int i = 0; i < count; ++i) {
        records[i].flags &= static_cast<uint16_t>(~ColourUsed);
    }
    auto mark = [this](uint32_t index) {
        if (index < static_cast<uint32_t>(count)) {
            records[index].flags |= ColourUsed;
        }
    };
    for (int i = 0; i < objectCount; ++i) {
        const WorldObject *object = objects[i];
        if (!object) {
            continue;
        }
        if (object->GetType() == ObjectPanel) {
            mark(static_cast<const PanelObject *>(object)->surface);
        } else if (object->GetType() == ObjectFlag) {
            mark(static_cast<const FlagObject *>(object)->surface);
        } else if (object->GetType() == ObjectSolid) {
            const auto *solid = static_cast<const SolidObject *>(object);
            for (int k = 0; k < solid->linkCount; ++k) {
                mark(solid->links[k].surface);
            }
        }
    }
    for (int i = 0; i < holderCount; ++i) {
        const ObjectHolder &holder = holders[i];
        if (holder.kind == HolderLathe && holder.lathe) {
            for (uint32_t k = 0; k < holder.lathe->linkCount; ++k) {
                mark(holder.lathe->links[k].surface);
            }
        }
    }
}
