#pragma once

// A small whole track written with the record writers and loaded through
// the loader, shared by the world tests (the loader's order) and the car
// tests (a car on the world):
//
// - a closed loop of 98 road solids, one per path node 5 m apart: an east
//   straight at x = 40 m running north (y -60 .. 55), a half circle of 40 m
//   round (0, 60), a west straight at x = -40 m running south and a half
//   circle round (0, -60). Across each solid: road +-6 m, a kerb of 2.5 m,
//   8 m of grass; the east straight has a wall on its outside (x = 56.5 m);
// - a finish solid at the east straight's y = 0 node, split 1 at the top of
//   the north bend, split 2 at the west straight's y = 0 node;
// - a pit speed zone (60 km/h) along the east straight's inside with three
//   pit garages in it (and one beyond it), three pit positions, two start
//   positions, a 2 x 4 start grid behind the finish facing north;
// - a start-lamp gantry over the finish, a movable cone on the west
//   straight, a camera zone at the top of the north bend and camera
//   triangles over the east straight.

#include <cstdint>
#include <string>
#include <vector>

#include "core/float_math.h"
#include "render/object_file.h"
#include "tests/world/world_file_fixture.h"
#include "tests/world/world_load_steps.h"
#include "tools/world_object_writer.h"
#include "tools/world_path_writer.h"
#include "tools/world_writer.h"
#include "world/duplicator_object.h"
#include "world/object_holder.h"
#include "world/path.h"
#include "world/world.h"
#include "world/world_file.h"
#include "world/world_loader.h"

namespace fixture_world {

constexpr float Pi = 3.14159265f;
constexpr int32_t Metre = 65536;

inline int32_t Fix(float metres)
{
    return static_cast<int32_t>(metres * 65536.0f + (metres < 0.0f ? -0.5f : 0.5f));
}

// The site row the fixture is written under.
inline const char *TrackName() { return "Tollgate Oval"; }
inline const char *ShortName() { return "TO"; }

// Colour records, in set order, and their surface kinds.
enum Surface : uint16_t { SurfRoad, SurfKerb, SurfGrass, SurfWall, SurfCount };
constexpr uint8_t SurfaceKinds[SurfCount] = {0, 6, 2, 10};

// The cross-section, laterals in metres (positive right of travel).
constexpr float RoadHalfWidth = 6.0f;
constexpr float KerbWidth = 2.5f;
constexpr float GrassWidth = 8.0f;
constexpr float OuterEdge = RoadHalfWidth + KerbWidth + GrassWidth;   // 16.5
constexpr float WallHeight = 1.5f;

// Path nodes.
constexpr int StraightNodes = 24;
constexpr int BendNodes = 25;
constexpr int NodeCount = 2 * (StraightNodes + BendNodes);
constexpr float BendRadius = 40.0f;
constexpr float StraightEndY = 60.0f;
constexpr int FinishNode = 12;                               // east straight, y = 0
constexpr int Split1Node = StraightNodes + 12;               // the top of the north bend
constexpr int Split2Node = StraightNodes + BendNodes + 12;   // west straight, y = 0

struct Node {
    float x, y, heading;   // metres; direction (-sin, cos)
    int wallRight;         // the east straight's outside
    int checkpoint;
};

inline std::vector<Node> Nodes()
{
    std::vector<Node> nodes;
    for (int k = 0; k < StraightNodes; ++k) {
        nodes.push_back({BendRadius, -StraightEndY + 5.0f * static_cast<float>(k), 0.0f, 1, 0});
    }
    for (int k = 0; k < BendNodes; ++k) {
        const float a = Pi * static_cast<float>(k) / BendNodes;
        nodes.push_back({BendRadius * FloatCos(a), StraightEndY + BendRadius * FloatSin(a), a, 0, 0});
    }
    for (int k = 0; k < StraightNodes; ++k) {
        nodes.push_back({-BendRadius, StraightEndY - 5.0f * static_cast<float>(k), Pi, 0, 0});
    }
    for (int k = 0; k < BendNodes; ++k) {
        const float a = Pi + Pi * static_cast<float>(k) / BendNodes;
        nodes.push_back({BendRadius * FloatCos(a), -StraightEndY + BendRadius * FloatSin(a), a, 0, 0});
    }
    nodes[FinishNode].checkpoint = 1;
    nodes[Split1Node].checkpoint = 2;
    nodes[Split2Node].checkpoint = 3;
    return nodes;
}

// Object indices: the panels (one per node, panel k between nodes k - 1 and
// k), the solids (solid k holds node k), then the rest in this order.
constexpr int FirstSolid = NodeCount;
constexpr int PitZoneIndex = 2 * NodeCount;
constexpr int CameraZoneIndex = PitZoneIndex + 1;
constexpr int GridIndex = CameraZoneIndex + 1;
constexpr int FirstStartPosition = GridIndex + 1;   // two, numbers 1 and 2
constexpr int FirstPitPosition = FirstStartPosition + 2;   // three, numbers 1..3
constexpr int FirstPitPlace = FirstPitPosition + 3;        // four garages, the last outside the zone
constexpr int GantryIndex = FirstPitPlace + 4;
constexpr int ConeIndex = GantryIndex + 1;
constexpr int ObjectCount = ConeIndex + 1;
// Lit objects: the solids and every duplicator record.
constexpr int LitObjectCount = NodeCount + 2 + 3 + 4 + 2;

// Holders.
enum Holder { HolderGantry, HolderGarage, HolderCone, HolderCount };

// Placed things, metres.
constexpr float GridX = 40.0f, GridY = -5.0f;   // slot 0; rows run back (south)
constexpr int GridColumns = 2, GridRows = 4;
constexpr float GridWidth = 6.0f, GridRowSpacing = 8.0f, GridStagger = 4.0f;
constexpr float PitZoneX = 34.0f, PitZoneHalfLength = 40.0f, PitZoneHalfWidth = 4.0f;
constexpr int PitSpeedLimit = 60;
constexpr float PitPlaceX = 31.0f;
constexpr float PitPlaceY[4] = {-25.0f, 20.0f, 5.0f, 60.0f};   // the last lies beyond the zone
// Pit positions 1 and 2 left of the east straight, 3 right of it.
constexpr float PitPositionXY[3][2] = {{33.0f, -10.0f}, {33.0f, 0.0f}, {47.0f, 10.0f}};
constexpr float StartPositionXY[2][2] = {{37.0f, -40.0f}, {43.0f, -44.0f}};
constexpr float GantryHeight = 6.0f;
constexpr float ConeX = -40.0f, ConeY = -20.0f;
constexpr float CameraZoneX = 0.0f, CameraZoneY = 100.0f, CameraZoneHalf = 20.0f;

// Camera triangles: two at floor 0 (camera 0) over the east straight, one
// at floor 3 m (camera 1) over its north part.
inline std::vector<CameraPoint> CameraPoints()
{
    return {{Fix(30.0f), Fix(-60.0f)}, {Fix(50.0f), Fix(-60.0f)}, {Fix(50.0f), Fix(60.0f)},
            {Fix(30.0f), Fix(60.0f)},  {Fix(30.0f), Fix(0.0f)},   {Fix(50.0f), Fix(0.0f)}};
}
inline std::vector<CameraTriangleFields> CameraTriangles()
{
    return {{{0, 1, 2}, 0, 0.0f}, {{0, 2, 3}, 0, 0.0f}, {{4, 5, 2}, 1, 3.0f}};
}

// ---- Writing ----

inline WorldObjectHeader HeaderAt(int type, float x, float y)
{
    return ObjectHeaderAt(type, Fix(x), Fix(y));
}

// A panel across the road: wall top, wall foot, grass edge, kerb edge,
// road edge ... mirrored on the right; lateral axis (cos h, sin h).
constexpr int SectionVertices = 8;
inline void WriteSectionPanel(WorldWriter &out, float x, float y, float heading)
{
    PanelFields panel;
    panel.surface = SurfRoad;
    panel.heading = heading;
    const float laterals[SectionVertices] = {-OuterEdge, -OuterEdge, -(RoadHalfWidth + KerbWidth), -RoadHalfWidth,
                                             RoadHalfWidth, RoadHalfWidth + KerbWidth, OuterEdge, OuterEdge};
    const float heights[SectionVertices] = {WallHeight, 0, 0, 0, 0, 0, 0, WallHeight};
    panel.vertices.resize(SectionVertices);
    for (int v = 0; v < SectionVertices; ++v) {
        panel.vertices[v] = PanelVertex{};
        panel.vertices[v].lateral = Fix(laterals[v]);
        panel.vertices[v].height = Fix(heights[v]);
    }
    WritePanel(out, WorldFileVersion, HeaderAt(ObjectPanel, x, y), panel);
}

// The solid between panel a and panel b (seen from its other side): grass,
// kerb, road, kerb, grass, facing up, and the wall link (running up, so
// facing the road) when the node has one.
inline void WriteSectionSolid(WorldWriter &out, int panelA, int panelB, const Node &node)
{
    SolidFields solid;
    solid.sideA = 1;
    solid.sideB = 2;
    solid.indexA = static_cast<uint16_t>(panelA);
    solid.indexB = static_cast<uint16_t>(panelB);
    solid.checkpoint = static_cast<uint8_t>(node.checkpoint);
    solid.segmentLength = 5.0f;
    for (int c = 0; c < SectionVertices; ++c) {
        SolidCurveFields curve;
        curve.kind = 2;
        curve.vertexA = static_cast<uint8_t>(c);
        curve.vertexB = static_cast<uint8_t>(SectionVertices - 1 - c);
        solid.curves.push_back(curve);
    }
    const auto link = [](uint16_t surface, int a, int b) {
        return SolidLink{surface, 1, 1, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
    };
    solid.links = {link(SurfGrass, 1, 2), link(SurfKerb, 2, 3), link(SurfRoad, 3, 4), link(SurfKerb, 4, 5),
                   link(SurfGrass, 5, 6)};
    if (node.wallRight) {
        solid.links.push_back(link(SurfWall, 6, 7));
    }
    WriteSolid(out, WorldFileVersion, ObjectHeaderAt(ObjectSolid, 0, 0), solid);
}

inline void WriteCopy(WorldWriter &out, int holder, float x, float y, float heading, float height, uint32_t flags)
{
    DuplicatorFields copy;
    copy.heading = heading;
    copy.height = height;
    copy.flags = flags;
    copy.duplicator = static_cast<uint16_t>(holder);
    WriteDuplicator(out, WorldFileVersion, HeaderAt(ObjectDuplicator, x, y), copy);
}

inline std::vector<uint8_t> ObjectBytes()
{
    const std::vector<Node> nodes = Nodes();
    WorldWriter out;
    for (int k = 0; k < NodeCount; ++k) {
        const Node &a = nodes[(k + NodeCount - 1) % NodeCount];
        const Node &b = nodes[k];
        WriteSectionPanel(out, 0.5f * (a.x + b.x), 0.5f * (a.y + b.y), FloatAtan2(-(b.x - a.x), b.y - a.y));
    }
    for (int k = 0; k < NodeCount; ++k) {
        WriteSectionSolid(out, k, (k + 1) % NodeCount, nodes[k]);
    }

    ZoneFields pit;
    pit.speedLimit = PitSpeedLimit;
    pit.heading = Pi * 0.5f;   // its length along y
    pit.halfLength = PitZoneHalfLength;
    pit.halfWidth = PitZoneHalfWidth;
    WriteZone(out, WorldFileVersion, HeaderAt(ObjectZone, PitZoneX, 0.0f), pit);
    ZoneFields camera;
    camera.flags = 1;
    camera.speedLimit = 0;
    camera.halfLength = CameraZoneHalf;
    camera.halfWidth = CameraZoneHalf;
    camera.cameraPosition[0] = Fix(CameraZoneX);
    camera.cameraPosition[1] = Fix(CameraZoneY);
    camera.cameraValue = 1.0f;
    WriteZone(out, WorldFileVersion, HeaderAt(ObjectZone, CameraZoneX, CameraZoneY), camera);

    StartGridFields grid;
    grid.columns = GridColumns;
    grid.rows = GridRows;
    grid.width = GridWidth;
    grid.rowSpacing = GridRowSpacing;
    grid.columnStagger = GridStagger;
    WriteStartGrid(out, WorldFileVersion, HeaderAt(ObjectStartGrid, GridX, GridY), grid);

    for (int i = 0; i < 2; ++i) {
        WritePositionObject(out, WorldFileVersion, Fix(StartPositionXY[i][0]), Fix(StartPositionXY[i][1]), 0.0f, i + 1,
                            0);
    }
    for (int i = 0; i < 3; ++i) {
        WritePositionObject(out, WorldFileVersion, Fix(PitPositionXY[i][0]), Fix(PitPositionXY[i][1]), 0.0f, i + 1, 1);
    }
    for (const float y : PitPlaceY) {
        WriteCopy(out, HolderGarage, PitPlaceX, y, Pi * 0.5f, 0.0f, 0);
    }
    WriteCopy(out, HolderGantry, GridX, 0.0f, 0.0f, GantryHeight, DuplicatorStartLamp);
    WriteCopy(out, HolderCone, ConeX, ConeY, 0.0f, 0.0f, 0);
    return out.bytes;
}

inline void WriteHolders(WorldWriter &out)
{
    Object3D gantry;
    BuildLampGantry(gantry, "L_GREEN");
    Object3D garage;
    InitObject3D(&garage);
    BuildBoxObject(garage, "garage", 1.0f, 2.0f, 3.0f, 1, 1);

    out.U32(HolderCount);
    HolderFields fields;
    fields.object = &gantry;
    WriteObjectHolder(out, fields);
    fields.object = &garage;
    fields.pitPlace = 1;
    WriteObjectHolder(out, fields);

    HolderFields cone = ConeHolder(HolderMovableDynamic, SurfKerb);
    WriteObjectHolder(out, cone);

    FreeObject3D(&gantry);
    FreeObject3D(&garage);
}

inline PathFields LoopPath()
{
    PathFields path;
    path.flags = PathClosedLoop | PathUsesKnowledge;
    for (const Node &node : Nodes()) {
        PathNodeFields fields = PathNodeAt(Fix(node.x), Fix(node.y), node.heading, RoadHalfWidth);
        fields.outerLeft = -OuterEdge;
        fields.outerRight = OuterEdge;
        path.nodes.push_back(fields);
    }
    // Solid k (k below half the nodes) loses band k % 8 in plane k % 3 from
    // span k and gets it back from span k + half: the deltas round the loop
    // cancel.
    for (int k = 0; k < NodeCount / 2; ++k) {
        const IdListEntry entry = {static_cast<uint16_t>(FirstSolid + k), static_cast<uint8_t>(1u << (k % 8)), 0};
        path.nodes[static_cast<size_t>(k)].deltas[k % 3].push_back(entry);
        path.nodes[static_cast<size_t>(k + NodeCount / 2)].deltas[k % 3].push_back(entry);
    }
    // Every own object seen from everywhere.
    for (std::vector<IdListEntry> &list : path.baseLists) {
        for (int i = 0; i < ObjectCount; ++i) {
            list.push_back(IdListEntry{static_cast<uint16_t>(i), 0xFF, 0});
        }
    }
    path.lightMaps.resize(1);
    return path;
}

inline WorldFixture Fixture()
{
    WorldFixture fixture;
    fixture.configs = {{"Oval", LoopPath()}};
    fixture.colourCount = SurfCount;
    fixture.surfaceKinds.assign(SurfaceKinds, SurfaceKinds + SurfCount);
    fixture.writeHolders = WriteHolders;
    fixture.objectCount = ObjectCount;
    fixture.litObjects = LitObjectCount;
    const std::vector<uint8_t> objects = ObjectBytes();
    fixture.writeObjects = [objects](WorldWriter &out, int) { out.Bytes(objects.data(), objects.size()); };
    fixture.cameraPoints = CameraPoints();
    fixture.cameraTriangles = CameraTriangles();
    return fixture;
}

// Writes the fixture's files and loads them into the world with the fake
// clock; the progress text after every step. The world is CurrentWorld
// afterwards when the load succeeded.
inline std::vector<std::string> WriteAndLoad(World *world)
{
    Fixture().Write(TrackName(), ShortName());
    return LoadWorldInSteps(world, TrackName(), ShortName(), 0, 0);
}

} // namespace fixture_world
