#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "tools/world_writer.h"
#include "world/camera_object.h"
#include "world/lathe_object.h"
#include "world/lit_mesh_object.h"
#include "world/panel_object.h"
#include "world/solid_object.h"
#include "world/start_grid_object.h"
#include "world/track_colours.h"
#include "world/world.h"
#include "world/zone_object.h"

namespace {

int32_t Fix(double metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0));
}

struct DeleteObject {
    void operator()(WorldObject *object) const
    {
        object->Release();
        delete object;
    }
};
using ObjectPtr = std::unique_ptr<WorldObject, DeleteObject>;

// A case's reading half for an object kind: reads the next object and hands
// it to the check.
template <class Kind>
std::function<void(DataStream &, int)> ReadsObject(std::function<void(const Kind &, int version)> check)
{
    return [check](DataStream &stream, int version) {
        const WorldObjectResult result = CreateWorldObject(&stream, version);
        const ObjectPtr keep(result.object);
        ASSERT_EQ(result.error, WorldObjectOk) << "type " << result.type;
        const auto *object = dynamic_cast<const Kind *>(result.object);
        ASSERT_NE(object, nullptr);
        check(*object, version);
    };
}

// Red and blue over one row of two columns, the second record radial.
struct ColourFixture {
    Colour palette[2] = {{255, 0, 0, 1}, {0, 0, 255, 0}};
    uint32_t columnEnds[2] = {0x8000, 0x10000};
    uint32_t cells[2] = {0, 1};
    TrackColour records[2] = {};

    ColourFixture()
    {
        for (int i = 0; i < 2; ++i) {
            TrackColour &r = records[i];
            snprintf(r.name, sizeof(r.name), "road%d", i);
            snprintf(r.textureName, sizeof(r.textureName), "tarmac%d", i);
            r.flags = 9;
            r.colour = {200, 100, 50, 4};
            r.uRepeat = 64;
            r.vRepeat = 32;
            r.uOffset = 1;
            r.vOffset = 2;
            r.rowCount = 1;
            r.orientation = 5;
            r.paletteCount = 2;
            r.columnCount = 2;
            r.surfaceKind = 3;
            r.bumpKind = 2;
            r.bumpAmplitude = 7;
            r.bumpShift = 18;
            r.lengthWord = 0x103;
            r.palette = palette;
            r.columnEnds = columnEnds;
            r.cells = cells;
        }
        TrackColour &radial = records[1];
        radial.form = 1;
        radial.mappingCentreX = 0x50000;
        radial.mappingCentreY = 0x60000;
        radial.mappingAngle = 1.5f;
        radial.scale1 = 3.0f;
        radial.scale2 = 4.0f;
    }
};

void ExpectColourRecord(const TrackColour &read, const TrackColour &written, bool newForm)
{
    EXPECT_STREQ(read.name, written.name);
    EXPECT_STREQ(read.textureName, written.textureName);
    EXPECT_EQ(read.flags, written.flags);
    EXPECT_EQ(read.form, written.form);
    EXPECT_EQ(read.colour.red, written.colour.red);
    EXPECT_EQ(read.colour.flags, written.colour.flags);
    const uint8_t readBytes[] = {read.uRepeat, read.vRepeat, read.uOffset, read.vOffset,
                                 read.rowCount, read.orientation, read.paletteCount, read.columnCount,
                                 read.surfaceKind, read.bumpKind};
    const uint8_t writtenBytes[] = {written.uRepeat, written.vRepeat, written.uOffset, written.vOffset,
                                    written.rowCount, written.orientation, written.paletteCount,
                                    written.columnCount, written.surfaceKind, written.bumpKind};
    for (size_t i = 0; i < sizeof(readBytes); ++i) {
        EXPECT_EQ(readBytes[i], writtenBytes[i]) << "mapping byte " << i;
    }
    // The old form has no bump amplitude and shift.
    EXPECT_EQ(read.bumpAmplitude, newForm ? written.bumpAmplitude : 0);
    EXPECT_EQ(read.bumpShift, newForm ? written.bumpShift : 0);
    EXPECT_EQ(read.lengthWord, written.lengthWord);
    // The radial block is a new-form record's only.
    const bool radial = newForm && written.form == 1;
    EXPECT_EQ(read.mappingCentreX, radial ? written.mappingCentreX : 0u);
    EXPECT_EQ(read.mappingCentreY, radial ? written.mappingCentreY : 0u);
    EXPECT_EQ(read.mappingAngle, radial ? written.mappingAngle : 0.0f);
    EXPECT_EQ(read.scale1, radial ? written.scale1 : 2.0f);
    EXPECT_EQ(read.scale2, radial ? written.scale2 : 2.0f);
    for (int i = 0; i < written.paletteCount; ++i) {
        EXPECT_EQ(read.palette[i].blue, written.palette[i].blue);
        EXPECT_EQ(read.palette[i].flags, written.palette[i].flags);
    }
    for (int i = 0; i < written.columnCount; ++i) {
        EXPECT_EQ(read.columnEnds[i], written.columnEnds[i]);
        EXPECT_EQ(read.cells[i], written.cells[i]);
    }
}

// One record kind as the writer writes it and the reader reads it back.
struct RecordCase {
    const char *what;
    std::function<void(WorldWriter &, int version)> write;
    std::function<void(DataStream &, int version)> readAndCheck;
};

// Every kind written into one stream and read back in order, in the older
// and the compact forms: each reader must consume exactly what the writer
// wrote, or the records after it come out wrong.
TEST(WorldWriter, EveryRecordKindRoundTripsThroughItsReader)
{
    // Mask word 6 both ways, reach radius, kept bit 2: the same header in
    // both forms.
    WorldObjectHeader header = ObjectHeaderAt(0, Fix(1), Fix(-2));
    header.flags = 0x87;
    header.reachRadius = 77;
    header.configMask = 0x60006;
    const auto expectHeader = [](const WorldObject &object, uint32_t mask, uint8_t reach, uint8_t state) {
        EXPECT_EQ(object.configMask, mask);
        EXPECT_EQ(object.reachRadius, reach);
        EXPECT_EQ(object.stateFlags, state);
    };

    ZoneFields zone;
    zone.flags = 1;
    zone.speedLimit = 60;
    zone.keptBytes[2] = 9;
    zone.heading = 0.5f;
    zone.keptFloat = 7.0f;
    zone.halfLength = 4.0f;
    zone.halfWidth = 9.0f;
    zone.cameraPosition[0] = Fix(3);
    zone.cameraPosition[2] = Fix(-4);
    zone.cameraValue = 0.25f;

    PanelFields composite;
    composite.flags = PanelComposite | PanelExtraFloat | PanelTextured;
    composite.surface = 1;
    composite.extraFloat = 99.0f;
    composite.heading = 1.25f;
    composite.tagA = 5;
    composite.tagB = 6;
    composite.panelA = 4;
    composite.panelB = 700;
    composite.vertices.resize(3);
    for (int i = 0; i < 3; ++i) {
        PanelVertex &v = composite.vertices[i];
        v = PanelVertex{};
        v.height = Fix(i + 0.5);
        v.lateral = Fix(-3 + 2 * i);
        v.slope = 0.1f * float(i + 1);
        v.angle = -0.2f * float(i + 1);
        v.tag = static_cast<uint8_t>(i);
    }
    composite.faces = {{{0, 1, 2}, 0}, {{2, 1, 0}, 0}};

    SolidFields solid;
    solid.flags = SolidCollides | SolidUnsortedAlpha;
    solid.sideB = 2;
    solid.indexA = 4;
    solid.indexB = 5;
    solid.checkpoint = 3;
    solid.checkpointMask = 0x60006;
    solid.curves.resize(3);
    for (int c = 0; c < 3; ++c) {
        solid.curves[c] = {static_cast<uint8_t>(c), 1, static_cast<uint8_t>(c), static_cast<uint8_t>(2 - c),
                           0.5f * c, 0.25f, -0.5f, 0.125f * c};
    }
    // The second link joins a curve to itself: the 16-byte form.
    solid.links = {{1, 1, 0, 7, 0, 2}, {0, 0, 1, 3, 1, 1}};
    solid.segmentLength = 2.5f;
    solid.textureScale = 0.75f;

    CameraFields camera;
    camera.flags = 5;
    camera.height = 6.0f;
    camera.heading = 0.3f;
    camera.pitch = -0.2f;
    camera.zoom = 2.0f;
    camera.farDistance = 80.0f;
    camera.nearZoom = 0.5f;
    camera.nearDistance = 12.0f;

    StartGridFields grid;
    grid.flags = 3;
    grid.columns = 3;
    grid.rows = 5;
    grid.curveRow = 2;
    grid.heading = 0.3f;
    grid.height = 1.0f;
    grid.width = 12.0f;
    grid.rowSpacing = 10.0f;
    grid.columnStagger = 4.0f;
    grid.curveEndX = Fix(5);
    grid.curveEndY = Fix(-7);
    grid.curveEndHeading = 0.7f;

    const ColourFixture colours;

    LightingFields lighting;
    lighting.flags = 1;
    lighting.levels[0] = {{1, 2}, {3}, {4, 5, 6}, 77};
    lighting.levels[1] = {{8}, {9, 10}, {11}, 12};   // lists 2 and 3 are read past
    lighting.value = 0.75f;

    LatheFields lathe;
    lathe.name = "hubcap";
    lathe.segments = 8;
    lathe.points = {{0.5f, 0.0f}, {0.6f, 0.1f}, {0.0f, 0.2f}};
    lathe.links = {{2, 1, 1, 0, 0, 1}, {3, 0, 0, 0, 2, 2}};

    const RecordCase cases[] = {
        {"camera zone with the header's mask and reach",
         [&](WorldWriter &out, int version) { WriteZone(out, version, header, zone); },
         ReadsObject<ZoneObject>([&](const ZoneObject &z, int) {
             expectHeader(z, 0x70007, 77, 4);
             EXPECT_EQ(z.positionX, Fix(1));
             EXPECT_EQ(z.positionY, Fix(-2));
             EXPECT_EQ(z.flags, 1u);
             EXPECT_EQ(z.speedLimit, 60);
             EXPECT_EQ(z.keptBytes[2], 9);
             EXPECT_EQ(z.heading, 0.5f);
             EXPECT_EQ(z.keptFloat, 7.0f);
             EXPECT_EQ(z.halfLength, 4.0f);
             EXPECT_EQ(z.halfWidth, 9.0f);
             EXPECT_EQ(z.cameraPosition[0], Fix(3));
             EXPECT_EQ(z.cameraPosition[2], Fix(-4));
             EXPECT_EQ(z.cameraValue, 0.25f);
         })},
        {"zone without the camera block and a plain header",
         [&](WorldWriter &out, int version) {
             ZoneFields plain;
             WriteZone(out, version, ObjectHeaderAt(0, 0, Fix(3)), plain);
         },
         ReadsObject<ZoneObject>([&](const ZoneObject &z, int version) {
             expectHeader(z, version >= 251 ? ConfigMaskAll : ConfigMaskAlways, 0, 0);
             EXPECT_EQ(z.positionY, Fix(3));
             EXPECT_EQ(z.cameraValue, 0.0f);
         })},
        {"composite panel with the extra float and faces",
         [&](WorldWriter &out, int version) { WritePanel(out, version, header, composite); },
         ReadsObject<PanelObject>([&](const PanelObject &p, int) {
             expectHeader(p, 0x70007, 77, 4);
             EXPECT_EQ(p.flags, composite.flags);
             EXPECT_EQ(p.surface, 1);
             EXPECT_EQ(p.heading, 1.25f);
             EXPECT_EQ(p.tagA, 5);
             EXPECT_EQ(p.tagB, 6);
             EXPECT_EQ(p.panelA, 4);
             EXPECT_EQ(p.panelB, 700);
             ASSERT_EQ(p.vertexCount, 3);
             for (int i = 0; i < 3; ++i) {
                 const PanelVertex &w = composite.vertices[i];
                 EXPECT_EQ(p.vertices[i].height, w.height) << i;
                 EXPECT_EQ(p.vertices[i].lateral, w.lateral) << i;
                 EXPECT_EQ(p.vertices[i].slope, w.slope) << i;
                 EXPECT_EQ(p.vertices[i].angle, w.angle) << i;
                 EXPECT_EQ(p.vertices[i].tag, w.tag) << i;
             }
             ASSERT_EQ(p.faceCount, 2);
             EXPECT_EQ(p.faces[1].vertex[0], 2);
         })},
        {"solid with a checkpoint mask and a 16-byte link",
         [&](WorldWriter &out, int version) { WriteSolid(out, version, header, solid); },
         ReadsObject<SolidObject>([&](const SolidObject &s, int) {
             EXPECT_EQ(s.positionX, 0);   // a solid's header has no position
             EXPECT_EQ(s.flags, solid.flags);
             EXPECT_EQ(s.sideA, 1);
             EXPECT_EQ(s.sideB, 2);
             EXPECT_EQ(s.indexA, 4);
             EXPECT_EQ(s.indexB, 5);
             EXPECT_EQ(s.checkpoint, 3);
             EXPECT_EQ(s.checkpointMask, 0x60006u);
             ASSERT_EQ(s.curveCount, 3);
             for (int c = 0; c < 3; ++c) {
                 const SolidCurveFields &w = solid.curves[c];
                 const SolidCurve &r = s.curves[c];
                 EXPECT_EQ(r.kind, w.kind) << c;
                 EXPECT_EQ(r.flags, w.flags) << c;
                 EXPECT_EQ(r.vertexA, w.vertexA) << c;
                 EXPECT_EQ(r.vertexB, w.vertexB) << c;
                 EXPECT_EQ(r.slopeA, w.slopeA) << c;
                 EXPECT_EQ(r.angleA, w.angleA) << c;
                 EXPECT_EQ(r.slopeB, w.slopeB) << c;
                 EXPECT_EQ(r.angleB, w.angleB) << c;
             }
             ASSERT_EQ(s.linkCount, 2);
             EXPECT_EQ(s.links[0].surface, 1);
             EXPECT_EQ(s.links[0].mapping, 7);
             EXPECT_EQ(s.links[0].curveB, 2);
             EXPECT_EQ(s.links[1].curveA, 1);
             EXPECT_EQ(s.links[1].curveB, 1);
             EXPECT_EQ(s.segmentLength, 2.5f);
             EXPECT_EQ(s.textureScale, 0.75f);
         })},
        {"solid without a checkpoint",
         [&](WorldWriter &out, int version) {
             SolidFields plain = solid;
             plain.checkpoint = 0;
             plain.checkpointMask = ConfigMaskAll;
             plain.links.pop_back();
             WriteSolid(out, version, ObjectHeaderAt(0, 0, 0), plain);
         },
         ReadsObject<SolidObject>([&](const SolidObject &s, int) {
             EXPECT_EQ(s.checkpoint, 0);
             EXPECT_EQ(s.checkpointMask, ConfigMaskAll);
             EXPECT_EQ(s.linkCount, 1);
         })},
        {"camera with the zoom range",
         [&](WorldWriter &out, int version) { WriteCamera(out, version, header, camera); },
         ReadsObject<CameraObject>([&](const CameraObject &c, int) {
             EXPECT_EQ(c.flags, 5u);
             EXPECT_EQ(c.height, 6.0f);
             EXPECT_EQ(c.heading, 0.3f);
             EXPECT_EQ(c.pitch, -0.2f);
             EXPECT_EQ(c.zoom, 2.0f);
             EXPECT_EQ(c.farDistance, 80.0f);
             EXPECT_EQ(c.nearZoom, 0.5f);
             EXPECT_EQ(c.nearDistance, 12.0f);
         })},
        {"camera without the zoom range",
         [&](WorldWriter &out, int version) {
             CameraFields fixed = camera;
             fixed.flags = 1;
             WriteCamera(out, version, header, fixed);
         },
         ReadsObject<CameraObject>([&](const CameraObject &c, int) {
             EXPECT_EQ(c.zoom, 2.0f);
             EXPECT_EQ(c.farDistance, 100.0f);
         })},
        {"curved start grid",
         [&](WorldWriter &out, int version) { WriteStartGrid(out, version, header, grid); },
         ReadsObject<StartGridObject>([&](const StartGridObject &g, int) {
             EXPECT_EQ(g.flags, 3u);
             EXPECT_EQ(g.columns, 3);
             EXPECT_EQ(g.rows, 5);
             EXPECT_EQ(g.curveRow, 2);
             EXPECT_EQ(g.heading, 0.3f);
             EXPECT_EQ(g.height, 1.0f);
             EXPECT_EQ(g.width, 12.0f);
             EXPECT_EQ(g.rowSpacing, 10.0f);
             EXPECT_EQ(g.columnStagger, 4.0f);
             EXPECT_EQ(g.curveEndX, Fix(5));
             EXPECT_EQ(g.curveEndY, Fix(-7));
             EXPECT_EQ(g.curveEndHeading, 0.7f);
         })},
        {"straight start grid",
         [&](WorldWriter &out, int version) {
             StartGridFields straight = grid;
             straight.flags = 1;
             WriteStartGrid(out, version, header, straight);
         },
         ReadsObject<StartGridObject>([&](const StartGridObject &g, int) {
             EXPECT_EQ(g.curveEndX, 0);
             EXPECT_EQ(g.columnStagger, 4.0f);
         })},
        {"colour set, new form",
         [&](WorldWriter &out, int) { WriteColourSet(out, colours.records, 2, 1); },
         [&](DataStream &stream, int version) {
             ColourSet set;
             ASSERT_EQ(set.Read(&stream, version, ""), 0);
             ASSERT_EQ(set.count, 2);
             ExpectColourRecord(set.records[0], colours.records[0], true);
             ExpectColourRecord(set.records[1], colours.records[1], true);
         }},
        {"colour set, old form",
         [&](WorldWriter &out, int) { WriteColourSet(out, colours.records, 2, 0); },
         [&](DataStream &stream, int version) {
             ColourSet set;
             ASSERT_EQ(set.Read(&stream, version, ""), 0);
             ASSERT_EQ(set.count, 2);
             ExpectColourRecord(set.records[0], colours.records[0], false);
             ExpectColourRecord(set.records[1], colours.records[1], false);
         }},
        {"lighting with lists",
         [&](WorldWriter &out, int) { WriteLighting(out, lighting); },
         [&](DataStream &stream, int version) {
             SolidObject object;
             object.AllocateLighting(1);
             ASSERT_EQ(object.ReadLighting(&stream, version, 0), 0);
             const LightingSlot &slot = object.lighting[0];
             EXPECT_EQ(slot.flags, LightingHasLists | LightingListsAllocated);
             EXPECT_EQ(slot.value, 0.75f);
             ASSERT_NE(slot.records, nullptr);
             const LightingRecord &level0 = slot.records[0];
             ASSERT_EQ(level0.count1, 2u);
             EXPECT_EQ(level0.list1[1], 2u);
             ASSERT_EQ(level0.count2, 1u);
             EXPECT_EQ(level0.list2[0], 3u);
             ASSERT_EQ(level0.count3, 3u);
             EXPECT_EQ(level0.list3Extra, 77u);
             EXPECT_EQ(level0.list3[2], 6u);
             ASSERT_EQ(slot.records[1].count1, 1u);
             EXPECT_EQ(slot.records[1].list1[0], 8u);
             EXPECT_EQ(slot.records[1].count2, 0u);
             object.Release();
         }},
        {"lighting with bit 0 and no entries",
         [&](WorldWriter &out, int) {
             LightingFields empty;
             empty.flags = 1;
             empty.value = 0.5f;
             WriteLighting(out, empty);
         },
         [&](DataStream &stream, int version) {
             SolidObject object;
             object.AllocateLighting(1);
             ASSERT_EQ(object.ReadLighting(&stream, version, 0), 0);
             EXPECT_EQ(object.lighting[0].flags, 0u);
             EXPECT_EQ(object.lighting[0].records, nullptr);
             EXPECT_EQ(object.lighting[0].value, 0.5f);
             object.Release();
         }},
        {"lathe object",
         [&](WorldWriter &out, int) { WriteLathe(out, lathe); },
         [&](DataStream &stream, int version) {
             ObjectRecordList list;
             ASSERT_EQ(list.Read(&stream, version), 0);
             EXPECT_STREQ(list.name, "hubcap");
             EXPECT_EQ(list.segments, 8);
             ASSERT_EQ(list.count, 3u);
             EXPECT_EQ(list.pairs[1].a, 0.6f);
             EXPECT_EQ(list.pairs[1].b, 0.1f);
             ASSERT_EQ(list.linkCount, 2u);
             EXPECT_EQ(list.links[0].surface, 2);
             EXPECT_EQ(list.links[0].curveB, 1);
             EXPECT_EQ(list.links[1].curveA, 2);
             EXPECT_EQ(list.links[1].curveB, 2);
             list.Free();
         }},
    };

    for (const int version : {250, 252}) {
        WorldWriter out;
        for (const RecordCase &c : cases) {
            c.write(out, version);
        }
        out.U8(0xA5);
        DataStream stream;
        out.Open(stream, version);
        for (const RecordCase &c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << ", version " << version);
            c.readAndCheck(stream, version);
            ASSERT_FALSE(stream.overrun);
        }
        EXPECT_EQ(stream.ReadU8(), 0xA5) << "version " << version;
        EXPECT_EQ(stream.Remaining(), 0) << "version " << version;
    }
}

// The loader's steps over a world fixture: the colour set, objectCount
// objects, composite panels' sources, solids' panels, then every object
// prepared in order (panels come before the solids that use them).
enum class LoadEnd { Loaded, ColoursRefused, ObjectRefused, SourcesRefused, PanelsRefused };

struct LoadResult {
    LoadEnd end;
    int detail;   // the object or resolve error
};

LoadResult LoadFixture(WorldWriter &out, int version, int objectCount, World &world)
{
    DataStream stream;
    out.Open(stream, version);
    if (world.colours.Read(&stream, version, world.shortName) != 0) {
        return {LoadEnd::ColoursRefused, 0};
    }
    world.colours.Initialise(0);
    for (int i = 0; i < objectCount; ++i) {
        const WorldObjectResult result = CreateWorldObject(&stream, version);
        if (result.error != WorldObjectOk) {
            return {LoadEnd::ObjectRefused, result.error};
        }
        world.objects[world.objectCount++] = result.object;
    }
    for (int i = 0; i < world.objectCount; ++i) {
        if (world.objects[i]->GetType() == ObjectPanel &&
            static_cast<PanelObject *>(world.objects[i])->ResolveSources(world.objects, world.objectCount) != 0) {
            return {LoadEnd::SourcesRefused, 0};
        }
    }
    for (int i = 0; i < world.objectCount; ++i) {
        if (world.objects[i]->GetType() != ObjectSolid) {
            continue;
        }
        auto *solid = static_cast<SolidObject *>(world.objects[i]);
        const int error = solid->ResolvePanels(world.objects, world.objectCount, world.colours.count);
        if (error != SolidResolveOk) {
            return {LoadEnd::PanelsRefused, error};
        }
    }
    for (int i = 0; i < world.objectCount; ++i) {
        world.objects[i]->Prepare();
    }
    return {LoadEnd::Loaded, 0};
}

// One plain surface.
void WriteOneColour(WorldWriter &out)
{
    const ColourFixture colours;
    WriteColourSet(out, colours.records, 1, 1);
}

class WorldWriterLoadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override
    {
        world = WorldCreate();
        CurrentWorld = world;
    }
    void TearDown() override { WorldDestroy(world); }

    // A probe from `from` to `to` (metres) against object `index`; 1 on a hit.
    int Probe(int index, const double from[3], const double to[3], ContactProbe &probe)
    {
        probe.Clear();
        probe.endPoint = {Fix(to[0]), Fix(to[1]), Fix(to[2])};
        probe.segment = {Fix(to[0] - from[0]), Fix(to[1] - from[1]), Fix(to[2] - from[2])};
        return world->objects[index]->Contact(probe.endPoint, probe.segment, probe, nullptr, nullptr, nullptr);
    }

    World *world = nullptr;
};

// The road strip's link order decides which way its surface faces: probes
// from above must land on the road at its height with an up normal, probes
// from below must pass through, and the opposite link order must turn that
// round.
TEST_F(WorldWriterLoadTest, RoadStripFacesUp)
{
    struct Case {
        double startX, startY, endX, endY, height, width;
    };
    const Case cases[] = {
        {0, 0, 0, 20, 0, 10},          // north
        {30, 5, -10, 5, 2.5, 8},       // west, raised
        {10, 20, 40, -5, -1.25, 12},   // south-east, sunk
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "strip to (" << c.endX << ", " << c.endY << ")");
        world->Close();
        WorldWriter out;
        WriteOneColour(out);
        RoadStrip strip;
        strip.startX = Fix(c.startX);
        strip.startY = Fix(c.startY);
        strip.endX = Fix(c.endX);
        strip.endY = Fix(c.endY);
        strip.height = Fix(c.height);
        strip.width = Fix(c.width);
        WriteRoadStrip(out, 252, strip);
        ASSERT_EQ(LoadFixture(out, 252, 3, *world).end, LoadEnd::Loaded);
        ASSERT_EQ(world->objects[2]->GetType(), ObjectSolid);

        const double length = std::hypot(c.endX - c.startX, c.endY - c.startY);
        const double alongX = (c.endX - c.startX) / length, alongY = (c.endY - c.startY) / length;
        for (const double t : {0.25, 0.5, 0.75}) {
            for (const double across : {-0.4, 0.0, 0.4}) {
                const double x = c.startX + t * length * alongX - across * c.width * alongY;
                const double y = c.startY + t * length * alongY + across * c.width * alongX;
                const double above[3] = {x, y, c.height + 0.5};
                const double below[3] = {x, y, c.height - 0.5};
                ContactProbe probe;
                ASSERT_EQ(Probe(2, above, below, probe), 1) << t << " / " << across;
                EXPECT_NEAR(probe.hitPoint.z, Fix(c.height), 16);
                EXPECT_NEAR(probe.hitPoint.x, Fix(x), 16);
                EXPECT_NEAR(probe.hitPoint.y, Fix(y), 16);
                EXPECT_NEAR(probe.normal[0], 0.0f, 1e-3f);
                EXPECT_NEAR(probe.normal[1], 0.0f, 1e-3f);
                EXPECT_NEAR(probe.normal[2], 1.0f, 1e-3f);
                EXPECT_NEAR(probe.fraction, 0x8000, 16);
                EXPECT_EQ(probe.surface, &world->colours.records[0]);
                EXPECT_EQ(Probe(2, below, above, probe), 0) << "from below " << t << " / " << across;
            }
        }

        // Turned round, the link faces down.
        SolidLink &link = static_cast<SolidObject *>(world->objects[2])->links[0];
        std::swap(link.curveA, link.curveB);
        const double midX = (c.startX + c.endX) / 2, midY = (c.startY + c.endY) / 2;
        const double above[3] = {midX, midY, c.height + 0.5};
        const double below[3] = {midX, midY, c.height - 0.5};
        ContactProbe probe;
        EXPECT_EQ(Probe(2, above, below, probe), 0);
        EXPECT_EQ(Probe(2, below, above, probe), 1);
    }
}

// Damaged worlds written with the writer: each ends the load with an error,
// with no read or write out of bounds (the sanitizer build runs this too).
// Every case follows a sound road strip (objects 0-2) with faulty objects.
TEST_F(WorldWriterLoadTest, CorruptWorldsEndTheLoadWithAnError)
{
    // A second solid over the strip's panels.
    const auto goodSolid = [] {
        SolidFields solid;
        solid.indexA = 0;
        solid.indexB = 1;
        solid.curves = {{2, 0, 0, 0}, {2, 0, 1, 1}};
        solid.links = {{0, 1, 1, 0, 0, 1}};
        return solid;
    };
    const WorldObjectHeader noPosition = ObjectHeaderAt(0, 0, 0);
    // Writes the faulty objects; returns how many.
    using Writer = std::function<int(WorldWriter &, int version)>;
    const auto solidWith = [&](std::function<void(SolidFields &)> spoil) -> Writer {
        return [=](WorldWriter &out, int version) {
            SolidFields solid = goodSolid();
            spoil(solid);
            WriteSolid(out, version, noPosition, solid);
            return 1;
        };
    };
    const auto panelWith = [](std::function<void(PanelFields &)> spoil) -> Writer {
        return [=](WorldWriter &out, int version) {
            PanelFields panel;
            panel.vertices.resize(2, PanelVertex{});
            spoil(panel);
            WritePanel(out, version, ObjectHeaderAt(0, 0, 0), panel);
            return 1;
        };
    };
    const auto manyCurves = [](SolidFields &s) { s.curves.resize(65, s.curves[0]); };
    struct Case {
        const char *what;
        int version;
        Writer write;
        LoadEnd end;
        int detail;
    };
    const Case cases[] = {
        {"a type code that names no kind", 252,
         [](WorldWriter &out, int version) {
             WriteObjectHeader(out, version, ObjectHeaderAt(12, 0, 0));
             out.U32(0).U32(0);
             return 1;
         },
         LoadEnd::ObjectRefused, WorldObjectUnknownType},
        {"a solid with 65 curves", 252, solidWith(manyCurves), LoadEnd::ObjectRefused, WorldObjectBadRecord},
        {"an older solid with 65 curves", 250, solidWith(manyCurves), LoadEnd::ObjectRefused, WorldObjectBadRecord},
        {"a link naming a curve beyond the curves", 252, solidWith([](SolidFields &s) { s.links[0].curveB = 2; }),
         LoadEnd::ObjectRefused, WorldObjectBadRecord},
        {"a 16-byte link naming a curve beyond the curves", 250,
         solidWith([](SolidFields &s) { s.links[0].curveA = s.links[0].curveB = 200; }), LoadEnd::ObjectRefused,
         WorldObjectBadRecord},
        {"a panel face naming a vertex beyond the vertices", 252,
         panelWith([](PanelFields &p) { p.faces = {{{0, 1, 2}, 0}}; }), LoadEnd::ObjectRefused,
         WorldObjectBadRecord},
        {"a composite panel whose source is a solid", 252,
         panelWith([](PanelFields &p) {
             p.flags = PanelComposite;
             p.panelB = 2;
         }),
         LoadEnd::SourcesRefused, 0},
        {"a composite panel whose source index names no object", 252,
         panelWith([](PanelFields &p) {
             p.flags = PanelComposite;
             p.panelB = 9;
         }),
         LoadEnd::SourcesRefused, 0},
        {"a solid whose panel index names a zone", 252,
         [&](WorldWriter &out, int version) {
             WriteZone(out, version, ObjectHeaderAt(0, 0, 0), ZoneFields{});
             return 1 + solidWith([](SolidFields &s) { s.indexB = 3; })(out, version);
         },
         LoadEnd::PanelsRefused, SolidBadPanelIndex},
        {"an older solid whose panel index names no object", 250,
         solidWith([](SolidFields &s) { s.indexA = 0xFFFF; }), LoadEnd::PanelsRefused, SolidBadPanelIndex},
        {"a curve naming a vertex its panel lacks", 252, solidWith([](SolidFields &s) { s.curves[1].vertexB = 2; }),
         LoadEnd::PanelsRefused, SolidBadVertexIndex},
        {"a link naming a surface beyond the colours", 252, solidWith([](SolidFields &s) { s.links[0].surface = 1; }),
         LoadEnd::PanelsRefused, SolidBadSurface},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        world->Close();
        world->colours.Free();
        WorldWriter out;
        WriteOneColour(out);
        WriteRoadStrip(out, c.version, RoadStrip{0, 0, 0, Fix(20)});
        const int faulty = c.write(out, c.version);
        const LoadResult result = LoadFixture(out, c.version, 3 + faulty, *world);
        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(result.detail, c.detail);
    }
}

// A world of every kind cut short at any byte is refused, never read past
// its end.
TEST_F(WorldWriterLoadTest, CutShortWorldIsRefusedAtEveryLength)
{
    for (const int version : {250, 252}) {
        WorldWriter whole;
        const ColourFixture colours;
        WriteColourSet(whole, colours.records, 2, version >= 251);
        WriteRoadStrip(whole, version, RoadStrip{0, 0, 0, Fix(20)});
        ZoneFields zone;
        zone.flags = 1;
        WriteZone(whole, version, ObjectHeaderAt(0, 0, 0), zone);
        CameraFields camera;
        camera.flags = 4;
        WriteCamera(whole, version, ObjectHeaderAt(0, 0, 0), camera);
        StartGridFields grid;
        grid.flags = 2;
        WriteStartGrid(whole, version, ObjectHeaderAt(0, 0, 0), grid);
        PanelFields composite;
        composite.flags = PanelComposite | PanelExtraFloat;
        composite.panelB = 1;
        composite.vertices.resize(2, PanelVertex{});
        composite.faces = {{{0, 1, 1}, 0}};
        WritePanel(whole, version, ObjectHeaderAt(0, 0, 0), composite);
        constexpr int ObjectCount = 7;

        ASSERT_EQ(LoadFixture(whole, version, ObjectCount, *world).end, LoadEnd::Loaded) << version;
        for (size_t size = 0; size < whole.bytes.size(); ++size) {
            world->Close();
            world->colours.Free();
            WorldWriter cut = whole;
            cut.bytes.resize(size);
            EXPECT_NE(LoadFixture(cut, version, ObjectCount, *world).end, LoadEnd::Loaded)
                << "version " << version << " cut to " << size;
        }
        world->Close();
        world->colours.Free();
    }
}

// A strip whose ends meet has no length: it loads, and nothing hits it
// rather than dividing by its zero length.
TEST_F(WorldWriterLoadTest, StripWithoutLengthLoadsAndIsNeverHit)
{
    WorldWriter out;
    WriteOneColour(out);
    WriteRoadStrip(out, 252, RoadStrip{Fix(5), Fix(5), Fix(5), Fix(5)});
    ASSERT_EQ(LoadFixture(out, 252, 3, *world).end, LoadEnd::Loaded);
    const double above[3] = {5, 5, 0.5};
    const double below[3] = {5, 5, -0.5};
    ContactProbe probe;
    EXPECT_EQ(Probe(2, above, below, probe), 0);
}

} // namespace
