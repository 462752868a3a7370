#include "tools/default_track.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/data_stream.h"
#include "core/float_math.h"
#include "render/object_file.h"
#include "tools/layout_writer.h"
#include "tools/world_object_writer.h"
#include "tools/world_path_writer.h"
#include "tools/world_scenery_writer.h"
#include "tools/world_writer.h"
#include "world/duplicator_object.h"
#include "world/object_holder.h"
#include "world/path.h"
#include "world/track_code.h"
#include "world/track_colours.h"
#include "world/track_sites.h"
#include "world/tree_object.h"
#include "world/world_file.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float Degree = Pi / 180.0f;
constexpr float NodeSpacing = 5.0f;   // metres between path nodes
constexpr int Version = WorldFileVersion;

// Track colours, in set order.
enum SurfaceIndex : uint16_t { SurfRoad, SurfKerb, SurfGrass, SurfGravel, SurfWall, SurfApron, SurfFlag, SurfCount };

// Light schemes (the site row's weather count).
constexpr int SchemeCount = 3;

// Bits of a config mask.
constexpr uint32_t Forward(int config) { return 1u << config; }
constexpr uint32_t Reversed(int config) { return 1u << (16 + config); }
constexpr uint32_t Both(int config) { return Forward(config) | Reversed(config); }

constexpr int GrandPrix = 1, Club = 2, Sprint = 3;

// The cross-section of a road at one node, left to right: wall, verge, kerb,
// road, kerb, verge, wall. Walls: 0 none, 1 facing the road, 2 both faces.
struct Section {
    float halfWidth = 6.0f;
    float kerb = 1.0f;
    float vergeLeft = 8.0f, vergeRight = 8.0f;
    uint16_t kerbSurface = SurfKerb;
    uint16_t vergeLeftSurface = SurfGrass, vergeRightSurface = SurfGrass;
    uint8_t wallLeft = 1, wallRight = 1;
};

struct Node {
    float x = 0.0f, y = 0.0f, z = 0.0f;   // metres
    float heading = 0.0f;                  // radians; direction (-sin, cos)
    float distance = 0.0f;                 // metres from the road's first node
    int piece = -1;                        // index of the layout piece
    Section section;
    uint8_t checkpoint = 0;
    uint32_t checkpointMask = 0;
};

// A piece of a road: a straight (radius 0) or an arc turning `turn` degrees
// (positive to the left).
struct Piece {
    float length;
    float radius;
    float turn;
    uint8_t slow;   // a slow corner: gravel on its outside
};

int32_t Fix(float metres)
{
    const float scaled = metres * 65536.0f;
    return static_cast<int32_t>(scaled + (scaled >= 0.0f ? 0.5f : -0.5f));
}

int RoundCount(float length)
{
    const int n = static_cast<int>(length / NodeSpacing + 0.5f);
    return n < 1 ? 1 : n;
}

// Appends the nodes of the pieces from (x, y, heading), each piece's end
// excluded (the next piece starts there); returns the end state.
void LayPieces(const Piece *pieces, int count, float &x, float &y, float &heading, std::vector<Node> &nodes)
{
    for (int p = 0; p < count; ++p) {
        const Piece &piece = pieces[p];
        if (piece.radius == 0.0f) {
            const int n = RoundCount(piece.length);
            const float dx = -FloatSin(heading), dy = FloatCos(heading);
            for (int k = 0; k < n; ++k) {
                const float along = piece.length * static_cast<float>(k) / static_cast<float>(n);
                Node node;
                node.x = x + dx * along;
                node.y = y + dy * along;
                node.heading = heading;
                node.piece = p;
                nodes.push_back(node);
            }
            x += dx * piece.length;
            y += dy * piece.length;
            continue;
        }
        const float angle = piece.turn * Degree;
        const float side = angle > 0.0f ? 1.0f : -1.0f;
        // The centre lies to the left for a left turn: p = c + side * R * (cos h, sin h).
        const float cx = x - side * piece.radius * FloatCos(heading);
        const float cy = y - side * piece.radius * FloatSin(heading);
        const float length = piece.radius * angle * side;
        const int n = RoundCount(length);
        for (int k = 0; k < n; ++k) {
            const float h = heading + angle * static_cast<float>(k) / static_cast<float>(n);
            Node node;
            node.x = cx + side * piece.radius * FloatCos(h);
            node.y = cy + side * piece.radius * FloatSin(h);
            node.heading = h;
            node.piece = p;
            nodes.push_back(node);
        }
        heading += angle;
        x = cx + side * piece.radius * FloatCos(heading);
        y = cy + side * piece.radius * FloatSin(heading);
    }
}

float Smooth(float t)
{
    t = t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t;
    return t * t * (3.0f - 2.0f * t);
}

void MeasureDistances(std::vector<Node> &nodes)
{
    float distance = 0.0f;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (i > 0) {
            const float dx = nodes[i].x - nodes[i - 1].x, dy = nodes[i].y - nodes[i - 1].y;
            // Nodes are about 5 m apart: one Newton step from the spacing is
            // exact enough and needs no library square root.
            const float d2 = dx * dx + dy * dy;
            float d = NodeSpacing;
            for (int k = 0; k < 4; ++k) {
                d = 0.5f * (d + d2 / d);
            }
            distance += d;
        }
        nodes[i].distance = distance;
    }
}

// The index of the node nearest to (x, y).
int NearestNode(const std::vector<Node> &nodes, float x, float y)
{
    int best = 0;
    float bestD = 1e30f;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const float dx = nodes[i].x - x, dy = nodes[i].y - y;
        const float d = dx * dx + dy * dy;
        if (d < bestD) {
            bestD = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// The whole site: the roads as node lists and the configurations' paths
// as indices into them.
struct Site {
    std::vector<Node> main;   // the Grand Prix loop, closed
    std::vector<Node> link;   // the Club link road, P .. Q
    std::vector<Node> pit;    // the pit lane beside the main straight
    int junctionP = 0;        // main node where the link leaves
    int junctionQ = 0;        // first main node after the link joins
    int backStraight = 0;     // first node of the back straight
    int sprintStart = 0;      // main node where the sprint path begins
    int sprintEnd = 0;        // main node where the sprint path ends
    float sprintGridY = 0.0f;
    float sprintGridX = 0.0f;
};

// Pieces of the Grand Prix loop, counter-clockwise from the start of the
// main straight (heading north). Lengths 0 are solved so that the loop
// closes: the main straight for y, the second straight for x.
constexpr int MainStraightPiece = 0;
constexpr int WestStraightPiece = 2;
constexpr int ClimbPiece = 5;
constexpr int BackStraightPiece = 7;
constexpr int SecondStraightPiece = 9;
constexpr Piece LoopPieces[] = {
    {0.0f, 0.0f, 0.0f, 0},      //  0 main straight (solved)
    {0.0f, 25.0f, 90.0f, 1},    //  1 T1 hairpin left
    {300.0f, 0.0f, 0.0f, 0},    //  2 west straight
    {0.0f, 200.0f, -30.0f, 0},  //  3 T2 fast sweeper right
    {0.0f, 200.0f, 60.0f, 0},   //  4 T3 fast sweeper left
    {100.0f, 0.0f, 0.0f, 0},    //  5 the climb
    {0.0f, 60.0f, 60.0f, 0},    //  6 T4 climbing left
    {500.0f, 0.0f, 0.0f, 0},    //  7 back straight
    {0.0f, 20.0f, 90.0f, 1},    //  8 T5 hairpin left
    {0.0f, 0.0f, 0.0f, 0},      //  9 second straight (solved)
    {0.0f, 20.0f, -90.0f, 1},   // 10 T6 hairpin right
    {80.0f, 0.0f, 0.0f, 0},     // 11
    {0.0f, 25.0f, 180.0f, 1},   // 12 T7 hairpin left onto the main straight
};
constexpr int LoopPieceCount = sizeof LoopPieces / sizeof LoopPieces[0];
constexpr float ClimbHeight = 5.0f;

void LayMainLoop(Site &site)
{
    Piece pieces[LoopPieceCount];
    std::memcpy(pieces, LoopPieces, sizeof pieces);
    float x = 0.0f, y = 0.0f, heading = 0.0f;
    std::vector<Node> trial;
    LayPieces(pieces, LoopPieceCount, x, y, heading, trial);
    // The main straight runs along +y, the second straight along +x.
    pieces[MainStraightPiece].length = -y;
    pieces[SecondStraightPiece].length = -x;
    x = y = heading = 0.0f;
    LayPieces(pieces, LoopPieceCount, x, y, heading, site.main);
    MeasureDistances(site.main);

    std::vector<Node> &nodes = site.main;
    const int n = static_cast<int>(nodes.size());
    float climbStart = 0.0f, backStart = 0.0f;
    for (int i = n - 1; i >= 0; --i) {
        if (nodes[i].piece == ClimbPiece) {
            climbStart = nodes[i].distance;
        }
        if (nodes[i].piece == BackStraightPiece) {
            backStart = nodes[i].distance;
            site.backStraight = i;
        }
    }
    for (Node &node : nodes) {
        const float d = node.distance;
        node.z = ClimbHeight * Smooth((d - climbStart) / 120.0f) * (1.0f - Smooth((d - backStart) / 150.0f));
        if (LoopPieces[node.piece].slow) {
            // Gravel traps on the outside of the slow corners.
            if (LoopPieces[node.piece].turn > 0.0f) {
                node.section.vergeRight = 15.0f;
                node.section.vergeRightSurface = SurfGravel;
            } else {
                node.section.vergeLeft = 15.0f;
                node.section.vergeLeftSurface = SurfGravel;
            }
        }
    }
}

// The Club link: from the west straight, left down to the second straight.
void LayLink(Site &site)
{
    int first = 0;
    while (site.main[first].piece != WestStraightPiece) {
        ++first;
    }
    site.junctionP = first + 20;   // 100 m into the west straight
    const Node &p = site.main[site.junctionP];
    int second = 0;
    while (site.main[second].piece != SecondStraightPiece) {
        ++second;
    }
    const float secondY = site.main[second].y;

    Piece pieces[] = {{0.0f, 30.0f, 90.0f, 0}, {0.0f, 0.0f, 0.0f, 0}, {0.0f, 30.0f, 90.0f, 0}};
    float x = p.x, y = p.y, heading = p.heading;
    std::vector<Node> trial;
    LayPieces(pieces, 3, x, y, heading, trial);
    pieces[1].length = y - secondY;   // heading south: the straight lowers y
    x = p.x;
    y = p.y;
    heading = p.heading;
    LayPieces(pieces, 3, x, y, heading, site.link);
    Node end;
    end.x = x;
    end.y = y;
    end.heading = heading;
    end.piece = 2;   // the link's last corner
    site.link.push_back(end);
    MeasureDistances(site.link);
    // The first main node at least 2.5 m ahead of where the link joins.
    int q = second;
    while (site.main[q].piece == SecondStraightPiece && site.main[q].x < x + 2.5f) {
        ++q;
    }
    site.junctionQ = q;

    const int n = static_cast<int>(site.link.size());
    for (int i = 0; i < n; ++i) {
        Section &s = site.link[i].section;
        if (i < 10 || i >= n - 10) {
            // Where it meets the loop the link is open on both sides.
            s.wallLeft = s.wallRight = 0;
            s.vergeLeft = s.vergeRight = 2.0f;
            s.vergeLeftSurface = s.vergeRightSurface = SurfApron;
        }
    }
    // The loop is open towards the link around both junctions (the link
    // leaves and joins on the loop's left).
    for (int i = site.junctionP - 12; i <= site.junctionP + 12; ++i) {
        site.main[i].section.wallLeft = 0;
    }
    for (int i = site.junctionQ - 14; i <= site.junctionQ + 6; ++i) {
        site.main[i].section.wallLeft = 0;
    }
}

// The pit lane: leaves the main straight at y 20, runs 16 m to its right
// from y 100 to 500 and rejoins at y 580.
constexpr float PitOffset = 16.0f;
constexpr float PitEntryY = 20.0f, PitLaneStartY = 100.0f, PitLaneEndY = 500.0f, PitExitY = 580.0f;
constexpr float PitBoxX = 19.0f, PitGarageX = 27.0f, FirstPitBoxY = 135.0f, PitBoxSpacing = 10.0f;
constexpr float FinishY = 300.0f;

float PitLateral(float y)
{
    if (y < PitLaneStartY) {
        return PitOffset * Smooth((y - PitEntryY) / (PitLaneStartY - PitEntryY));
    }
    if (y > PitLaneEndY) {
        return PitOffset * (1.0f - Smooth((y - PitLaneEndY) / (PitExitY - PitLaneEndY)));
    }
    return PitOffset;
}

void LayPitLane(Site &site)
{
    const int n = static_cast<int>((PitExitY - PitEntryY) / NodeSpacing) + 1;
    for (int i = 0; i < n; ++i) {
        const float y = PitEntryY + NodeSpacing * static_cast<float>(i);
        Node node;
        node.x = PitLateral(y);
        node.y = y;
        const float ahead = PitLateral(y + 0.5f) - PitLateral(y - 0.5f);
        node.heading = FloatAtan2(-ahead, 1.0f);
        node.piece = 0;
        Section &s = node.section;
        if (y > PitLaneStartY - 10.0f && y < PitLaneEndY + 10.0f) {
            // The lane proper: pit wall on the left, the apron with the
            // garages on the right.
            s.kerb = 0.5f;
            s.kerbSurface = SurfApron;
            s.vergeLeft = 0.5f;
            s.vergeLeftSurface = SurfApron;
            s.wallLeft = 2;
            s.vergeRight = 8.5f;
            s.vergeRightSurface = SurfApron;
        } else {
            s.kerb = 0.5f;
            s.kerbSurface = SurfApron;
            s.vergeLeft = 0.5f;
            s.vergeLeftSurface = SurfApron;
            s.wallLeft = 0;
            s.vergeRight = 2.0f;
        }
        site.pit.push_back(node);
    }
    MeasureDistances(site.pit);
    // Between the track and the pit wall: tarmac, no wall of the track's own.
    for (Node &node : site.main) {
        if (node.piece == MainStraightPiece && node.y >= PitEntryY - 10.0f && node.y <= PitExitY + 10.0f) {
            node.section.wallRight = 0;
            node.section.vergeRight = 2.0f;
            node.section.vergeRightSurface = SurfApron;
        }
    }
}

void SetCheckpoint(Node &node, int checkpoint, uint32_t mask)
{
    node.checkpoint = static_cast<uint8_t>(checkpoint);
    node.checkpointMask = mask;
}

// The first node of the piece at `share` of its node run.
int NodeInPiece(const std::vector<Node> &nodes, int piece, float share)
{
    int first = -1, last = -1;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].piece == piece) {
            if (first < 0) {
                first = static_cast<int>(i);
            }
            last = static_cast<int>(i);
        }
    }
    return first + static_cast<int>(share * static_cast<float>(last - first));
}

void PlaceTimingLines(Site &site)
{
    std::vector<Node> &main = site.main;
    SetCheckpoint(main[NearestNode(main, 0.0f, FinishY)], 1, Both(GrandPrix) | Both(Club));
    const int back = site.backStraight;
    SetCheckpoint(main[back + 50], 2, Both(GrandPrix));
    SetCheckpoint(main[NodeInPiece(main, SecondStraightPiece, 0.33f)], 3, Both(GrandPrix));
    SetCheckpoint(main[site.junctionP - 10], 2, Both(Club));
    SetCheckpoint(site.link[site.link.size() / 2], 3, Both(Club));
    // The sprint: from the climbing corner round to the start of the main
    // straight, its finish just before the end. Starting inside a corner
    // keeps the first node off the edge of the path's bounding box, which
    // the road edges of the corner's nodes widen.
    site.sprintStart = NodeInPiece(main, ClimbPiece + 1, 0.0f);
    site.sprintEnd = 4;
    SetCheckpoint(main[back + 84], 2, Forward(Sprint));
    SetCheckpoint(main[NodeInPiece(main, SecondStraightPiece, 0.5f)], 3, Forward(Sprint));
    SetCheckpoint(main[1], 1, Forward(Sprint));
    site.sprintGridX = main[back + 60].x;
    site.sprintGridY = main[back + 60].y;
}

void BuildSite(Site &site)
{
    LayMainLoop(site);
    LayLink(site);
    LayPitLane(site);
    PlaceTimingLines(site);
}

// ---- Objects ----

struct ObjectList {
    WorldWriter out;
    int count = 0;
    std::vector<int> litMesh;   // indices of the objects with a lit mesh
};

WorldObjectHeader Header(int type, float x, float y, uint32_t mask = ConfigMaskAll)
{
    WorldObjectHeader header = ObjectHeaderAt(type, Fix(x), Fix(y));
    if (mask != ConfigMaskAll) {
        header.flags = 0x80;
        header.configMask = mask;
    }
    return header;
}

constexpr float WallHeight = 1.0f;

// A panel across the road at (x, y): its lateral axis points right of the
// heading; vertices left to right: wall top, wall foot, verge edge, road
// edge, road edge, verge edge, wall foot, wall top.
constexpr int SectionVertices = 8;

void WriteSectionPanel(ObjectList &list, float x, float y, float z, float heading, const Section &s)
{
    PanelFields panel;
    panel.surface = SurfRoad;
    panel.heading = heading;
    const float left = s.halfWidth + s.kerb + s.vergeLeft;
    const float right = s.halfWidth + s.kerb + s.vergeRight;
    const float laterals[SectionVertices] = {-left, -left, -(s.halfWidth + s.kerb), -s.halfWidth,
                                             s.halfWidth, s.halfWidth + s.kerb, right, right};
    const float heights[SectionVertices] = {z + WallHeight, z, z, z, z, z, z, z + WallHeight};
    panel.vertices.resize(SectionVertices);
    for (int v = 0; v < SectionVertices; ++v) {
        panel.vertices[v] = PanelVertex{};
        panel.vertices[v].lateral = Fix(laterals[v]);
        panel.vertices[v].height = Fix(heights[v]);
    }
    WritePanel(list.out, Version, Header(ObjectPanel, x, y), panel);
    ++list.count;
}

// The solid between two section panels: panel A as stored, panel B seen
// from the other side (its vertices mirrored).
void WriteSectionSolid(ObjectList &list, int panelA, int panelB, const Node &node)
{
    SolidFields solid;
    solid.sideA = 1;
    solid.sideB = 2;
    solid.indexA = static_cast<uint16_t>(panelA);
    solid.indexB = static_cast<uint16_t>(panelB);
    solid.checkpoint = node.checkpoint;
    solid.checkpointMask = node.checkpoint ? node.checkpointMask : ConfigMaskAll;
    solid.segmentLength = NodeSpacing;
    for (int c = 0; c < SectionVertices; ++c) {
        SolidCurveFields curve;
        curve.kind = 2;
        curve.vertexA = static_cast<uint8_t>(c);
        curve.vertexB = static_cast<uint8_t>(SectionVertices - 1 - c);
        solid.curves.push_back(curve);
    }
    const Section &s = node.section;
    // A link running from a lower lateral to a higher one faces up; a wall
    // link running down faces +lateral, one running up faces -lateral.
    const auto link = [](uint16_t surface, int a, int b) {
        return SolidLink{surface, 1, 1, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
    };
    if (s.wallLeft) {
        solid.links.push_back(link(SurfWall, 0, 1));
        if (s.wallLeft == 2) {
            solid.links.push_back(link(SurfWall, 1, 0));
        }
    }
    solid.links.push_back(link(s.vergeLeftSurface, 1, 2));
    solid.links.push_back(link(s.kerbSurface, 2, 3));
    solid.links.push_back(link(SurfRoad, 3, 4));
    solid.links.push_back(link(s.kerbSurface, 4, 5));
    solid.links.push_back(link(s.vergeRightSurface, 5, 6));
    if (s.wallRight) {
        solid.links.push_back(link(SurfWall, 6, 7));
        if (s.wallRight == 2) {
            solid.links.push_back(link(SurfWall, 7, 6));
        }
    }
    list.litMesh.push_back(list.count);
    WriteSolid(list.out, Version, ObjectHeaderAt(ObjectSolid, 0, 0), solid);
    ++list.count;
}

// A road of solids, one per node: its panels stand midway between nodes (and
// half a spacing beyond the ends of an open road), so every node lies
// strictly inside its own solid.
void WriteRoad(ObjectList &list, const std::vector<Node> &nodes, bool closed)
{
    const int n = static_cast<int>(nodes.size());
    const int firstPanel = list.count;
    const int panelCount = closed ? n : n + 1;
    for (int k = 0; k < panelCount; ++k) {
        // Panel k stands between node k - 1 and node k.
        float x, y, z, heading;
        const Section *section;
        if (!closed && (k == 0 || k == n)) {
            const Node &end = nodes[k == 0 ? 0 : n - 1];
            const float sign = k == 0 ? -1.0f : 1.0f;
            x = end.x - sign * 0.5f * NodeSpacing * FloatSin(end.heading);
            y = end.y + sign * 0.5f * NodeSpacing * FloatCos(end.heading);
            z = end.z;
            heading = end.heading;
            section = &end.section;
        } else {
            const Node &a = nodes[(k - 1 + n) % n];
            const Node &b = nodes[k];
            x = 0.5f * (a.x + b.x);
            y = 0.5f * (a.y + b.y);
            z = 0.5f * (a.z + b.z);
            heading = FloatAtan2(-(b.x - a.x), b.y - a.y);
            section = &b.section;
        }
        WriteSectionPanel(list, x, y, z, heading, *section);
    }
    for (int k = 0; k < n; ++k) {
        WriteSectionSolid(list, firstPanel + k, firstPanel + (k + 1) % panelCount, nodes[k]);
    }
}

// Duplicator holders.
enum HolderIndex { HolderGantry, HolderGarage, HolderCone, HolderTyres, HolderStand, HolderTurbine, HolderCount };

void WriteCopy(ObjectList &list, int holder, float x, float y, float heading, float height, uint32_t flags)
{
    DuplicatorFields copy;
    copy.heading = heading;
    copy.height = height;
    copy.flags = flags;
    copy.duplicator = static_cast<uint16_t>(holder);
    list.litMesh.push_back(list.count);
    WriteDuplicator(list.out, Version, Header(ObjectDuplicator, x, y), copy);
    ++list.count;
}

void WriteGrid(ObjectList &list, float x, float y, float heading, float height, uint32_t mask)
{
    StartGridFields grid;
    grid.columns = 2;
    grid.rows = 16;
    grid.heading = heading;
    grid.height = height;
    grid.width = 6.0f;
    grid.rowSpacing = 8.0f;
    grid.columnStagger = 4.0f;
    WriteStartGrid(list.out, Version, Header(ObjectStartGrid, x, y, mask), grid);
    ++list.count;
}

// ---- Scenery ----
//
// Everything here stands beyond the walls, clear of every road and its outer
// limits, and comes after the objects above so that their indices stay as
// they were: the grandstand opposite the pits with its spectators, flags,
// marshal posts, a wind turbine and trees in the infield of the Club loop
// (where the ground lies at z 0).

// The grandstand: three tiers, each 2 m deep and 0.5 m higher than the one
// in front, 60 m long, its front 9 m beyond the wall of the main straight.
constexpr int StandTiers = 3;
constexpr float StandTierDepth = 2.0f;
constexpr float StandTierRise = 0.5f;
constexpr float StandHalfLength = 30.0f;
constexpr float StandX = -27.0f;

// The x of tier t's centre relative to the stand's (tier 0 at the front, +x).
float StandTierCentre(int t)
{
    return StandTierDepth * (0.5f * static_cast<float>(StandTiers) - static_cast<float>(t) - 0.5f);
}

constexpr float TurbineHeight = 18.0f;   // the hub, metres above the foot
constexpr float BladeSpan = 7.0f;        // from the hub to a blade tip

void PlantTree(ObjectList &list, float x, float y, uint32_t seed, uint32_t leafCount, float trunkLength,
               uint32_t flags)
{
    TreeFields tree;
    tree.seed = seed;
    tree.leafCount = leafCount;
    tree.trunkLength = trunkLength;
    tree.trunkRadius = 0.25f + 0.05f * trunkLength;
    tree.leafSize = tree.leafHeight = 0.8f * trunkLength;
    tree.flags = flags;
    WorldObjectHeader header = Header(ObjectTree, x, y);
    header.reachRadius = 1;   // the trunk is a collision post
    WriteTree(list.out, Version, header, tree);
    ++list.count;
}

void WriteScenery(ObjectList &list)
{
    // The stand and one row of spectators along each tier, facing the track
    // (a row runs along (cos h, sin h): heading -pi/2 runs it south).
    WriteCopy(list, HolderStand, StandX, FinishY, 0.0f, 0.0f, 0);
    for (int t = 0; t < StandTiers; ++t) {
        CrowdFields crowd;
        crowd.poseGroup = 0;
        crowd.heading = -Pi * 0.5f;
        crowd.width = 2.0f * StandHalfLength - 2.0f;
        crowd.heightStart = crowd.heightEnd = StandTierRise * static_cast<float>(t + 1);
        crowd.sizeStart = 0.95f;
        crowd.sizeEnd = 1.05f;
        WriteCrowd(list.out, Version, Header(ObjectCrowd, StandX + StandTierCentre(t), FinishY), crowd);
        ++list.count;
    }

    // Flags at both ends of the stand and one behind it, each hanging from
    // its pole towards +x.
    const struct {
        float x, y, pole;
    } flags[] = {{-22.0f, FinishY - 38.0f, 5.0f}, {-22.0f, FinishY + 38.0f, 5.0f}, {-33.0f, FinishY, 7.0f}};
    for (const auto &f : flags) {
        FlagFields flag;
        flag.poleHeight = f.pole;
        flag.width = 2.4f;
        flag.height = 1.6f;
        flag.surface = SurfFlag;
        WriteFlag(list.out, Version, Header(ObjectFlag, f.x, f.y), flag);
        ++list.count;
    }

    // Marshal posts, each facing the road (a figure faces (-sin h, cos h)):
    // beside the main straight, inside T1 and at the pit exit.
    const struct {
        float x, y, heading;
    } marshals[] = {{-20.0f, 120.0f, -Pi * 0.5f}, {-20.0f, 560.0f, -Pi * 0.5f},
                    {-28.0f, 672.0f, -Pi * 0.25f}, {24.0f, 596.0f, Pi * 0.5f}};
    for (const auto &m : marshals) {
        WriteFigure(list.out, Version, Header(ObjectFigure, m.x, m.y), FigureFields{0, m.heading, 0.0f});
        ++list.count;
    }

    // The wind turbine and a copse in the infield.
    WindRotorFields rotor;
    rotor.duplicator = HolderTurbine;
    WriteWindRotor(list.out, Version, Header(ObjectWindRotor, -90.0f, 580.0f), rotor);
    ++list.count;
    const struct {
        float x, y;
        uint32_t leaves;
        float trunk;
        uint32_t flags;
    } trees[] = {
        {-60.0f, 420.0f, 32, 2.5f, 0},
        {-75.0f, 446.0f, 64, 3.0f, TreeRandomLengths},
        {-96.0f, 430.0f, 32, 2.0f, TreeLeafRing},
        {-110.0f, 470.0f, 16, 2.0f, 0},
        {-70.0f, 500.0f, 64, 3.5f, TreeRandomLengths},
        {-100.0f, 520.0f, 32, 2.5f, TreeLeafRing | TreeRandomLengths},
        {-58.0f, 250.0f, 32, 3.0f, 0},
        {-92.0f, 230.0f, 128, 4.0f, TreeRandomLengths},
    };
    uint32_t seed = 11;
    for (const auto &t : trees) {
        PlantTree(list, t.x, t.y, seed, t.leaves, t.trunk, t.flags);
        seed = seed * 5u + 7u;
    }
}

void WriteObjects(const Site &site, ObjectList &list)
{
    WriteRoad(list, site.main, true);
    WriteRoad(list, site.link, false);
    WriteRoad(list, site.pit, false);

    // Pit speed limit over the lane and its boxes (a zone's length runs
    // along its heading's lateral axis: heading pi/2 lays it along y).
    ZoneFields zone;
    zone.speedLimit = 80;
    zone.heading = Pi * 0.5f;
    zone.halfLength = 0.5f * (PitLaneEndY - PitLaneStartY) + 10.0f;
    zone.halfWidth = 11.0f;
    WriteZone(list.out, Version, Header(ObjectZone, 19.5f, 0.5f * (PitLaneStartY + PitLaneEndY)), zone);
    ++list.count;

    // Camera zones on road that every configuration drives: the end of the
    // second straight and the last hairpin. The camera point stands on the
    // path, where a follower finds it.
    const Node *cameraNodes[2] = {&site.main[site.junctionQ + 10], &site.main[NodeInPiece(site.main, 12, 0.5f)]};
    for (const Node *node : cameraNodes) {
        ZoneFields camera;
        camera.flags = 1;
        camera.heading = 0.0f;
        camera.halfLength = 35.0f;
        camera.halfWidth = 35.0f;
        camera.cameraPosition[0] = Fix(node->x);
        camera.cameraPosition[1] = Fix(node->y);
        camera.cameraPosition[2] = Fix(node->z);
        camera.cameraValue = 1.0f;
        WriteZone(list.out, Version, Header(ObjectZone, node->x, node->y), camera);
        ++list.count;
    }

    // Television cameras: the finish, the first hairpin, the back straight.
    CameraFields tv;
    tv.flags = 2 | 4;
    tv.height = 8.0f;
    tv.zoom = 1.0f;
    tv.farDistance = 200.0f;
    tv.nearZoom = 0.5f;
    tv.nearDistance = 20.0f;
    WriteCamera(list.out, Version, Header(ObjectCamera, 32.0f, FinishY), tv);
    const Node &hairpin = site.main[NodeInPiece(site.main, 1, 0.5f)];
    WriteCamera(list.out, Version, Header(ObjectCamera, hairpin.x - 40.0f, hairpin.y + 40.0f), tv);
    const Node &back = site.main[site.backStraight + 30];
    WriteCamera(list.out, Version, Header(ObjectCamera, back.x - 30.0f, back.y), tv);
    list.count += 3;

    // Start grids: the circuits forwards and reversed (behind the finish
    // either way), and the sprint.
    WriteGrid(list, 0.0f, FinishY - 10.0f, 0.0f, 0.0f, Forward(GrandPrix) | Forward(Club));
    WriteGrid(list, 0.0f, FinishY + 10.0f, Pi, 0.0f, Reversed(GrandPrix) | Reversed(Club));
    WriteGrid(list, site.sprintGridX, site.sprintGridY, site.main[site.backStraight].heading, 0.0f,
              Forward(Sprint));

    // Pit boxes and their garages.
    for (int i = 0; i < MaxPositionObjects; ++i) {
        const float y = FirstPitBoxY + PitBoxSpacing * static_cast<float>(i);
        WritePositionObject(list.out, Version, Fix(PitBoxX), Fix(y), 0.0f, i + 1, 1);
        list.litMesh.push_back(list.count);   // a placed copy, if of no holder
        ++list.count;
        WriteCopy(list, HolderGarage, PitGarageX, y, Pi * 0.5f, 0.0f, 0);
    }
    // The start-lamp gantry over the finish.
    WriteCopy(list, HolderGantry, 0.0f, FinishY, 0.0f, 6.0f, DuplicatorStartLamp);
    // Cones and tyre stacks in the paddock behind the garages.
    for (int i = 0; i < 4; ++i) {
        WriteCopy(list, HolderCone, 40.0f, 200.0f + 3.0f * static_cast<float>(i), 0.0f, 0.0f, 0);
        WriteCopy(list, HolderTyres, 44.0f, 200.0f + 3.0f * static_cast<float>(i), 0.0f, 0.0f, 0);
    }
    WriteScenery(list);
}

// ---- Records of the other blocks ----

void SetName(char (&field)[16], const char *text)
{
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text, sizeof field - 1);
}

void WriteColours(WorldWriter &out)
{
    struct Surface {
        const char *name;
        uint8_t kind;
        Colour colour;
    };
    const Surface surfaces[SurfCount] = {
        {"road", 0, {70, 70, 74, 0}},     {"kerb", 6, {200, 40, 40, 0}},  {"grass", 2, {60, 130, 50, 0}},
        {"gravel", 8, {190, 170, 130, 0}}, {"wall", 10, {170, 170, 170, 0}}, {"apron", 0, {110, 110, 110, 0}},
        {"flag", 0, {230, 190, 30, 0}},
    };
    TrackColour records[SurfCount];
    for (int i = 0; i < SurfCount; ++i) {
        TrackColour &record = records[i];
        std::memset(&record, 0, sizeof record);
        SetName(record.name, surfaces[i].name);
        SetName(record.textureName, surfaces[i].name);
        record.colour = surfaces[i].colour;
        record.uRepeat = record.vRepeat = 64;
        record.surfaceKind = surfaces[i].kind;
        record.lengthWord = 1;
        record.scale1 = record.scale2 = 2.0f;
    }
    WriteColourSet(out, records, SurfCount, 1);
}

// The grandstand: one box per tier, stepping up towards -x.
void BuildStandObject(Object3D &stand)
{
    BuildBoxObject(stand, "stand", 0.5f * StandTierDepth, StandHalfLength, StandTierRise, 1, 1);
    auto *points = new ObjectPoint[8 * StandTiers]();
    auto *triangles = new ObjectTriangle[12 * StandTiers]();
    for (int t = 0; t < StandTiers; ++t) {
        for (int i = 0; i < 8; ++i) {
            ObjectPoint &point = points[8 * t + i];
            point = stand.points[i];
            point.x += Fix(StandTierCentre(t));
            point.z = stand.points[i].z != 0 ? Fix(StandTierRise * static_cast<float>(t + 1)) : 0;
        }
        for (int k = 0; k < 12; ++k) {
            ObjectTriangle &triangle = triangles[12 * t + k];
            triangle = stand.triangles[k];
            for (uint16_t &corner : triangle.corners) {
                corner = static_cast<uint16_t>(corner + 8 * t);
            }
        }
    }
    delete[] stand.points;
    delete[] stand.triangles;
    stand.points = points;
    stand.triangles = triangles;
    stand.pointCount = static_cast<uint16_t>(8 * StandTiers);
    stand.triangleCount = static_cast<uint16_t>(12 * StandTiers);
}

// The wind turbine: a mast with the rotor as its one child part, a blade
// pair centred on the hub in front of the mast.
void BuildTurbineObject(Object3D &turbine)
{
    BuildBoxObject(turbine, "turbine", 0.6f, 0.6f, TurbineHeight, 1, 1);
    turbine.childCount = 1;
    turbine.children = new Object3D[1];
    Object3D &rotor = turbine.children[0];
    InitObject3D(&rotor);
    BuildBoxObject(rotor, "rotor", BladeSpan, 0.2f, 1.0f, 1, 1);
    for (int i = 0; i < rotor.pointCount; ++i) {
        rotor.points[i].z -= Fix(0.5f);
    }
    rotor.subKind = SubKindPlain;
    rotor.y = Fix(-1.0f);
    rotor.z = Fix(TurbineHeight);
}

void WriteHolders(WorldWriter &out)
{
    Object3D gantry;
    BuildLampGantry(gantry, "l_green");
    Object3D garage;
    InitObject3D(&garage);
    BuildBoxObject(garage, "garage", 4.5f, 3.0f, 4.0f, 1, 1);

    out.U32(HolderCount);
    HolderFields fields;
    fields.object = &gantry;
    WriteObjectHolder(out, fields);
    fields.object = &garage;
    fields.pitPlace = 1;
    WriteObjectHolder(out, fields);

    HolderFields cone = ConeHolder(HolderMovable, SurfKerb);
    WriteObjectHolder(out, cone);
    HolderFields tyres = cone;
    tyres.density = 500.0f;
    tyres.lathe.name = "tyres";
    tyres.lathe.points = {{0.0f, 0.8f}, {0.35f, 0.8f}, {0.35f, 0.0f}};
    tyres.lathe.links = {{SurfWall, 1, 1, 0, 0, 1}, {SurfWall, 1, 1, 0, 1, 2}};
    WriteObjectHolder(out, tyres);

    Object3D stand;
    InitObject3D(&stand);
    BuildStandObject(stand);
    HolderFields standFields;
    standFields.object = &stand;
    WriteObjectHolder(out, standFields);
    Object3D turbine;
    InitObject3D(&turbine);
    BuildTurbineObject(turbine);
    HolderFields turbineFields;
    turbineFields.object = &turbine;
    WriteObjectHolder(out, turbineFields);

    FreeObject3D(&gantry);
    FreeObject3D(&garage);
    FreeObject3D(&stand);
    FreeObject3D(&turbine);
}

void WriteLightSchemes(WorldWriter &out)
{
    struct Scheme {
        uint8_t time, weather;
        Colour ambient, sun;
        float sunIntensity, ambientIntensity, heading, elevation, fogEnd;
        Colour fog;
    };
    const TrackSite &site = SiteTable[DefaultTrackSite];
    const Scheme schemes[SchemeCount] = {
        {site.weatherTimes[0], site.weatherSkies[0], {110, 120, 140, 0}, {255, 250, 235, 0}, 1.0f, 0.5f,
         40.0f * Degree, 55.0f * Degree, 2000.0f, {190, 200, 215, 0}},
        {site.weatherTimes[1], site.weatherSkies[1], {120, 120, 125, 0}, {200, 200, 200, 0}, 0.6f, 0.7f,
         200.0f * Degree, 35.0f * Degree, 1200.0f, {170, 170, 175, 0}},
        {site.weatherTimes[2], site.weatherSkies[2], {120, 90, 90, 0}, {255, 170, 110, 0}, 0.8f, 0.4f,
         260.0f * Degree, 6.0f * Degree, 1500.0f, {220, 150, 120, 0}},
    };
    out.U32(0).U32(SchemeCount);
    for (const Scheme &s : schemes) {
        out.U8(0).U8(s.time).U8(s.weather).U8(0);
        out.Name("");
        out.Rgba(s.ambient).U32(0).Rgba(s.sun);
        out.F32(s.sunIntensity).F32(s.ambientIntensity).U32(0);
        out.F32(s.heading).F32(s.elevation).F32(1.0f).F32(s.fogEnd).U32(0).Rgba(s.fog);
    }
}

// The track side's echo at a node, for the car-sound echo lines: 8 rows
// across the road (left edge to right edge, as the mixer reads them) of 16
// bytes, 0..7 the left side's level for echo lines 0..7, 8..15 the right
// side's. Each side is a set of reflecting faces: a barrier or the pit wall
// beyond the verge, the garages behind the pit lane, or, on an open side,
// a faint return from far off. A face's level falls with its distance from
// the row (full within 6 m) and is strongest on the lines whose delay is
// nearest its round trip at 330 m/s.
struct EchoFace {
    float level;      // byte level at 6 m or nearer
    float distance;   // from the road's centre line, m
};

constexpr float EchoLineSeconds[8] = {486.0f / 44100.0f,  885.0f / 44100.0f,  1609.0f / 44100.0f,
                                      2928.0f / 44100.0f, 5327.0f / 44100.0f, 9690.0f / 44100.0f,
                                      17629.0f / 44100.0f, 32073.0f / 44100.0f};
constexpr float BarrierEcho = 30.0f, PitWallEcho = 30.0f, GarageEcho = 34.0f, OpenEcho = 5.0f;

bool InPitStraight(const Node &node)
{
    return node.piece == MainStraightPiece && node.y >= PitLaneStartY && node.y <= PitLaneEndY;
}

int SideFaces(const Node &node, int right, EchoFace faces[2])
{
    const Section &s = node.section;
    const uint8_t wall = right ? s.wallRight : s.wallLeft;
    const float verge = right ? s.vergeRight : s.vergeLeft;
    const float edge = s.halfWidth + s.kerb + verge;
    if (right && InPitStraight(node)) {
        // The pit wall at the apron's edge, the garages behind the lane.
        faces[0] = {PitWallEcho, edge};
        faces[1] = {GarageEcho, PitGarageX};
        return 2;
    }
    if (wall != 0) {
        faces[0] = {BarrierEcho, edge};
        return 1;
    }
    faces[0] = {OpenEcho, edge + 10.0f};
    return 1;
}

void FillEchoBands(const Node &node, const PathNodeFields &fields, uint8_t band[PathBandBytes])
{
    // The rows as the mixer spreads them: the edges 0.4 m in, at least
    // 0.6 m apart.
    float lo = std::min(fields.leftEdge, fields.rightEdge) + 0.4f;
    float hi = std::max(fields.leftEdge, fields.rightEdge) - 0.4f;
    if (hi - lo < 0.6f) {
        const float widen = (0.6f - (hi - lo)) * 0.5f;
        lo -= widen;
        hi += widen;
    }
    for (int side = 0; side < 2; ++side) {
        EchoFace faces[2];
        const int count = SideFaces(node, side, faces);
        for (int r = 0; r < 8; ++r) {
            const float lateral = lo + (hi - lo) * static_cast<float>(r) / 7.0f;
            for (int j = 0; j < 8; ++j) {
                float level = 0.0f;
                for (int f = 0; f < count; ++f) {
                    const float d = std::max(side ? faces[f].distance - lateral : faces[f].distance + lateral, 1.0f);
                    const float near = std::min(6.0f / d, 1.0f);
                    const float trip = 2.0f * d / 330.0f;
                    const float spread = std::fabs(FloatLog(EchoLineSeconds[j] / trip));
                    level += faces[f].level * near * (0.4f + 0.6f * FloatExp(-spread));
                }
                band[r * 16 + side * 8 + j] = static_cast<uint8_t>(std::min(level + 0.5f, 255.0f));
            }
        }
    }
}

// A path node from a road node.
PathNodeFields PathNode(const Node &node, uint8_t flags)
{
    PathNodeFields fields = PathNodeAt(Fix(node.x), Fix(node.y), node.heading, node.section.halfWidth);
    fields.flags = flags;
    fields.position[2] = Fix(node.z);
    const Section &s = node.section;
    fields.outerLeft = -(s.halfWidth + s.kerb + s.vergeLeft);
    fields.outerRight = s.halfWidth + s.kerb + s.vergeRight;
    return fields;
}

void AppendNodes(std::vector<PathNodeFields> &out, const std::vector<Node> &nodes, int first, int last)
{
    for (int i = first; i <= last; ++i) {
        out.push_back(PathNode(nodes[i], 0));
        FillEchoBands(nodes[i], out.back(), out.back().band);
    }
}

void WritePaths(const Site &site, int objectCount, WorldWriter *pathOut[3])
{
    PathFields base;
    for (const Node &node : site.pit) {
        base.secondNodes.push_back(PathNode(node, base.secondNodes.empty() ? 8 : 0));
    }
    for (std::vector<IdListEntry> &list : base.baseLists) {
        for (int i = 0; i < objectCount; ++i) {
            list.push_back(IdListEntry{static_cast<uint16_t>(i), 0xFF, 0});
        }
    }
    base.lightMaps.resize(SchemeCount);

    const int last = static_cast<int>(site.main.size()) - 1;
    PathFields grandPrix = base;
    grandPrix.flags = PathClosedLoop | PathUsesKnowledge | PathReversible | PathHasBandData;
    AppendNodes(grandPrix.nodes, site.main, 0, last);
    WritePath(*pathOut[0], grandPrix);

    PathFields club = base;
    club.flags = grandPrix.flags;
    AppendNodes(club.nodes, site.main, 0, site.junctionP);
    AppendNodes(club.nodes, site.link, 1, static_cast<int>(site.link.size()) - 1);
    AppendNodes(club.nodes, site.main, site.junctionQ, last);
    WritePath(*pathOut[1], club);

    PathFields sprint = base;
    sprint.flags = PathUsesKnowledge | PathHasBandData;
    AppendNodes(sprint.nodes, site.main, site.sprintStart, last);
    AppendNodes(sprint.nodes, site.main, 0, site.sprintEnd);
    WritePath(*pathOut[2], sprint);
}

} // namespace

void BuildDefaultTrack(int withLightFile, DefaultTrackFiles &files)
{
    Site site;
    BuildSite(site);
    ObjectList objects;
    WriteObjects(site, objects);

    const TrackSite &row = SiteTable[DefaultTrackSite];
    WorldWriter world, light;
    for (int i = 0; i < WorldHeaderSpareWords; ++i) {
        world.U32(0);
    }
    world.U8(row.configCount).U8(0).U8(withLightFile ? 1 : 0).U8(0);
    WorldWriter paths[3];
    WorldWriter *pathOut[3] = {&paths[0], &paths[1], &paths[2]};
    WritePaths(site, objects.count, pathOut);
    for (int c = 0; c < row.configCount; ++c) {
        world.Name(row.configNames[c]);
        WorldWriter &target = withLightFile ? light : world;
        target.Bytes(paths[c].bytes.data(), paths[c].bytes.size());
        world.U16(24).U16(6);
    }

    world.U32(WorldFlagNewColours);
    WriteColours(world);

    world.F32(1.0f).F32(0.0f);
    WriteHolders(world);

    WriteLightSchemes(world);
    world.U32(static_cast<uint32_t>(objects.count));
    world.Bytes(objects.out.bytes.data(), objects.out.bytes.size());

    // Camera floor: two triangles over the main straight, camera 0.
    const std::vector<CameraPoint> points = {
        {Fix(-40.0f), Fix(100.0f)}, {Fix(40.0f), Fix(100.0f)}, {Fix(40.0f), Fix(500.0f)}, {Fix(-40.0f), Fix(500.0f)}};
    const std::vector<CameraTriangleFields> triangles = {{{0, 1, 2}, 0, 0.0f}, {{0, 2, 3}, 0, 0.0f}};
    WriteCameraGeometry(world, points, triangles);
    const Colour lampsOn[4] = {{255, 20, 20, 0}, {255, 20, 20, 0}, {255, 20, 20, 0}, {20, 255, 20, 0}};
    for (const Colour &colour : lampsOn) {
        world.Rgba(colour);
    }
    world.U32(0).U32(0).F32(0.5f);

    WorldWriter &lighting = withLightFile ? light : world;
    for (int s = 0; s < SchemeCount; ++s) {
        for (size_t i = 0; i < objects.litMesh.size(); ++i) {
            WriteLighting(lighting, LightingFields{});
        }
    }
    files.world = std::move(world.bytes);
    files.light = std::move(light.bytes);
}

const char *WriteDefaultTrack(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "wld";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }
    DefaultTrackFiles files;
    BuildDefaultTrack(1, files);
    const TrackSite &row = SiteTable[DefaultTrackSite];
    const struct {
        std::string path;
        const char *id;
        int version;
        const std::vector<uint8_t> *bytes;
    } outputs[2] = {
        {(folder / (std::string(row.name) + ".wld")).string(), WorldFileId, WorldFileVersion, &files.world},
        {(folder / (std::string(row.code) + ".lgh")).string(), LightFileId, LightFileVersion, &files.light},
    };
    for (const auto &output : outputs) {
        DataStream stream;
        if (const char *openError = stream.OpenWrite(nullptr, output.path.c_str(), output.id, output.version)) {
            error = std::string(openError) + " " + output.path;
            return error.c_str();
        }
        stream.WriteBytes(output.bytes->data(), static_cast<int>(output.bytes->size()));
        if (stream.Close() != 0) {
            error = "cannot write " + output.path;
            return error.c_str();
        }
    }
    return nullptr;
}

std::vector<LayoutRecord> DefaultLayoutRecords()
{
    // An autocross up the main straight, heading north from a standing
    // start: a slalom, checkpoint 1, a tyre gate, checkpoint circle 1 at the
    // gantry, a chicane, checkpoint 2, checkpoint circle 2, a restricted
    // area on the left verge, the finish and two cones where the cars stop.
    // Listed in the order a save writes them (duplicator order): the cones,
    // the tyre stacks, the timing objects, then the circles.
    std::vector<LayoutRecord> records;
    for (int i = 0; i < 6; ++i) {
        records.push_back(LayoutObjectRecord(0.0f, 80.0f + 20.0f * static_cast<float>(i), 0.0f, HolderCone, 0.0f));
    }
    const float chicane[4][2] = {{-3.0f, 360.0f}, {3.0f, 380.0f}, {-3.0f, 400.0f}, {3.0f, 420.0f}};
    for (const auto &cone : chicane) {
        records.push_back(LayoutObjectRecord(cone[0], cone[1], 0.0f, HolderCone, 0.0f));
    }
    records.push_back(LayoutObjectRecord(-3.0f, 630.0f, 0.0f, HolderCone, 0.0f));
    records.push_back(LayoutObjectRecord(3.0f, 630.0f, 0.0f, HolderCone, 0.0f));
    records.push_back(LayoutObjectRecord(-5.0f, 250.0f, 0.0f, HolderTyres, 0.0f));
    records.push_back(LayoutObjectRecord(5.0f, 250.0f, 0.0f, HolderTyres, 0.0f));
    records.push_back(LayoutTimingRecord(0.0f, 40.0f, 0.0f, 0, 0, 0.0f));     // start point
    records.push_back(LayoutTimingRecord(0.0f, 220.0f, 0.0f, 8, 1, 0.0f));    // checkpoint 1
    records.push_back(LayoutTimingRecord(0.0f, 460.0f, 0.0f, 8, 2, 0.0f));    // checkpoint 2
    records.push_back(LayoutTimingRecord(0.0f, 600.0f, 0.0f, 8, 0, 0.0f));    // finish
    // Order numbers count from 0: the first circle of a lap is taken while
    // the car's next checkpoint is still 0.
    records.push_back(LayoutCheckCircleRecord(0.0f, FinishY, 0.0f, 5, 0));
    records.push_back(LayoutCheckCircleRecord(0.0f, 520.0f, 0.0f, 5, 1));
    records.push_back(LayoutRestrictedRecord(-9.0f, 540.0f, 0.0f, 3, 1, 0.0f));
    return records;
}

const char *WriteDefaultLayout(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "layout";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }
    char code[16];
    FormatTrackCode(code, sizeof code, SiteTable[DefaultTrackSite].name, DefaultLayoutConfig, 0);
    const std::string path = (folder / (std::string(code) + "_" + DefaultLayoutName + ".lyt")).string();
    const std::vector<LayoutRecord> records = DefaultLayoutRecords();
    if (const char *writeError = WriteLayoutFile(path.c_str(), records.data(), static_cast<int>(records.size()), 1)) {
        error = std::string(writeError) + " " + path;
        return error.c_str();
    }
    return nullptr;
}
