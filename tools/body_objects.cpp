#include "tools/body_objects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/car_table.h"
#include "core/text_utils.h"
#include "render/object_file.h"
#include "tools/object_file_writer.h"

// Every body is modelled in the car's frame: x to the right, y forward, z up,
// in metres; the origin lies on the centre line half-way between the axles,
// on the ground. Only the right half (x >= 0) is stored; points off the centre
// line have mirrored twins and triangles are flagged to be mirrored. The
// shell is a loft: cross-sections along y, each a profile of seven points
// from the bottom of the centre line up the right side to the top of the
// centre line, joined by quads and closed by a cap at each end. Small parts
// (lamps, plates, spoilers, wings, hoops) are prisms: a quadrilateral in the
// y-z plane stretched along x. Every part is a closed surface wound outward.

namespace {

// ------------------------------------------------------------------ looks

enum Look {
    LookPaint,           // body colour, the side of the skin
    LookRoof,            // body colour, the top of the skin
    LookTrim,            // second colour: bumpers, sills, spoilers, wings, hoops
    LookUnder,           // underside, wheel wells, intakes
    LookGlass,
    LookCabin,           // open cockpits
    LookHead,
    LookFrontIndicator,
    LookBrake,
    LookRearIndicator,
    LookReverse,
    LookRearFog,
    LookPlateFront,
    LookPlateRear,
    LookCount
};

enum TextureKind { TextureSkin, TexturePlain, TexturePlate, TextureKindCount };
enum MappingKind { MapNone, MapSide, MapTop, MapPlateFront, MapPlateRear };

struct LookInfo {
    const char *surface;   // also the mapping's name
    uint8_t colour[3];
    const char *material;
    TextureKind texture;
    MappingKind mapping;
};

const LookInfo Looks[LookCount] = {
    {"paint", {255, 255, 255}, "bodyC1", TextureSkin, MapSide},
    {"roof", {255, 255, 255}, "roofC1", TextureSkin, MapTop},
    {"trim", {110, 110, 115}, "trimC2", TexturePlain, MapNone},
    {"under", {38, 38, 40}, "under", TexturePlain, MapNone},
    {"glass", {34, 44, 56}, "glass", TexturePlain, MapNone},
    {"cabin", {48, 46, 46}, "cabin", TexturePlain, MapNone},
    {"l_head", {235, 235, 225}, "l_head", TexturePlain, MapNone},
    {"l_find", {240, 150, 30}, "l_find", TexturePlain, MapNone},
    {"l_brk", {170, 20, 20}, "l_brk", TexturePlain, MapNone},
    {"l_rind", {240, 130, 20}, "l_rind", TexturePlain, MapNone},
    {"l_rev", {215, 215, 215}, "l_rev", TexturePlain, MapNone},
    {"l_rfog", {200, 25, 25}, "l_rfog", TexturePlain, MapNone},
    {"plate_f", {255, 255, 255}, "plate", TexturePlate, MapPlateFront},
    {"plate_r", {255, 255, 255}, "plate", TexturePlate, MapPlateRear},
};

// Texture names by kind: the car's skin (car-specific), none (plain colour),
// the number plate.
const char *const TextureNames[TextureKindCount] = {"skin", "", "s_plate"};

// Smoothing groups: flat faces of prisms by the direction they face, one
// group per loft segment (smooth along the car, creased around it), one per
// cap.
enum Group {
    GroupRight, GroupLeft, GroupFront, GroupBack, GroupUp, GroupDown,
    GroupLoft,                       // + segment 0..5
    GroupFrontCap = GroupLoft + 6,
    GroupRearCap,
    GroupCount
};

constexpr int ProfilePoints = 7;
constexpr int DetailLevel = 0;
constexpr int HullLevel = 1;       // the coarsest level: far drawing and the collision hull
constexpr int32_t DetailDistance = 100 << 16;
constexpr int32_t HullDistance = 2000 << 16;
constexpr float PlateHalfWidth = 0.26f;
constexpr float PlateHeight = 0.11f;

int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

struct Vec2 {
    float a, b;  // (x, z) in profiles, (y, z) in prism outlines
};

// -------------------------------------------------------------- the mesh

struct Mesh {
    std::vector<ObjectPoint> points;
    std::vector<ObjectTriangle> triangles;
    int lod = DetailLevel;

    uint16_t Point(float x, float y, float z)
    {
        ObjectPoint point{};
        point.x = Fix(x);
        point.y = Fix(y);
        point.z = Fix(z);
        if (point.x < 33) {  // within half a millimetre of the centre line
            point.x = 0;
            point.flags = PointOnMirrorPlane;
        } else {
            point.flags = PointHasTwin;
        }
        points.push_back(point);
        return static_cast<uint16_t>(points.size() - 1);
    }

    // Until the lists are made the surface byte holds the look.
    void Triangle(uint16_t a, uint16_t b, uint16_t c, Look look, int group, bool mirrored)
    {
        ObjectTriangle triangle{};
        triangle.flags = mirrored ? TriangleMirrored : 0;
        triangle.part = 0;
        triangle.surface = static_cast<uint8_t>(look);
        triangle.normalWeight = 1;
        triangle.lod = static_cast<int8_t>(lod);
        triangle.group = static_cast<uint8_t>(group);
        triangle.corners[0] = a;
        triangle.corners[1] = b;
        triangle.corners[2] = c;
        triangles.push_back(triangle);
    }

    // Corners counter-clockwise seen from outside.
    void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d, Look look, int group, bool mirrored)
    {
        Triangle(a, b, c, look, group, mirrored);
        Triangle(a, c, d, look, group, mirrored);
    }
};

uint16_t Twin(uint16_t point)
{
    return static_cast<uint16_t>(point | CornerTwin);
}

// ----------------------------------------------------------------- prisms

struct Prism {
    float x0, x1;     // x0 = -x1: across the centre line; x0 > 0: one side, mirrored
    Vec2 outline[4];  // (y, z)
    Look look;
    Look front;       // the look of faces that face forward
    Look rear;        // and backward
};

Prism Box(float x0, float x1, float y0, float y1, float z0, float z1, Look look)
{
    return {x0, x1, {{y0, z0}, {y1, z0}, {y1, z1}, {y0, z1}}, look, look, look};
}

Prism Centred(float halfWidth, float y0, float y1, float z0, float z1, Look look)
{
    return Box(-halfWidth, halfWidth, y0, y1, z0, z1, look);
}

void AddPrism(Mesh &mesh, const Prism &prism)
{
    Vec2 q[4];
    std::copy(prism.outline, prism.outline + 4, q);
    float area = 0.0f;
    for (int i = 0; i < 4; ++i) {
        area += q[i].a * q[(i + 1) % 4].b - q[(i + 1) % 4].a * q[i].b;
    }
    if (area < 0.0f) {
        std::swap(q[1], q[3]);  // now counter-clockwise with y across and z up
    }
    const bool centred = prism.x0 < 0.0f;
    uint16_t hi[4];
    uint16_t lo[4];
    for (int i = 0; i < 4; ++i) {
        hi[i] = mesh.Point(prism.x1, q[i].a, q[i].b);
        lo[i] = centred ? Twin(hi[i]) : mesh.Point(prism.x0, q[i].a, q[i].b);
    }
    // The +x face; mirrored it gives the -x face of a centred prism.
    mesh.Quad(hi[0], hi[1], hi[2], hi[3], prism.look, GroupRight, true);
    if (!centred) {
        mesh.Quad(lo[0], lo[3], lo[2], lo[1], prism.look, GroupLeft, true);
    }
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const float ny = q[j].b - q[i].b;  // outward normal in the y-z plane
        const float nz = q[i].a - q[j].a;
        int group;
        Look look = prism.look;
        if (std::fabs(ny) >= std::fabs(nz)) {
            group = ny > 0.0f ? GroupFront : GroupBack;
            look = ny > 0.0f ? prism.front : prism.rear;
        } else {
            group = nz > 0.0f ? GroupUp : GroupDown;
        }
        mesh.Quad(lo[i], lo[j], hi[j], hi[i], look, group, !centred);
    }
}

// ------------------------------------------------------------------- loft

// Interval zones: what the upper segments of the loft are between a section
// and the next one.
enum Zone {
    ZoneBody,    // painted all round (bonnet, boot, nose, tail)
    ZoneScreen,  // windscreen and the side glass beside it
    ZoneRoof,    // painted roof over side glass
    ZoneBack,    // rear window and the glass beside it
    ZoneOpen,    // an open cockpit
};

// A key cross-section: underside height zb, half width w, sill height zs,
// belt height zbelt, the outer top point (x5, z5) and the centre-line top.
struct Station {
    float y, zb, w, zs, zbelt, x5, z5, ztop;
    Zone zone;
};

struct Section {
    float y;
    Vec2 p[ProfilePoints];
    Zone zone;
    bool narrow;  // cut in over a wheel
};

struct Wheels {
    float radius;
    float tyreWidth;
    bool arches;   // false: open wheels, nothing to cut
};

// P0 bottom centre, P1 bottom edge, P2 sill, P3 on the side at the height of
// the wheel arches, P4 belt, P5 top edge, P6 top centre.
Section MakeSection(const Station &s, float archHeight)
{
    const float bevel = std::min(0.08f, s.w * 0.3f);
    const float side = std::clamp(archHeight, s.zs + 0.02f, s.zbelt - 0.02f);
    return {s.y,
            {{0.0f, s.zb}, {s.w - bevel, s.zb}, {s.w, s.zs}, {s.w, side}, {s.w, s.zbelt}, {s.x5, s.z5},
             {0.0f, s.ztop}},
            s.zone,
            false};
}

Section Interpolate(const Section &a, const Section &b, float y)
{
    const float t = (y - a.y) / (b.y - a.y);
    Section s = a;
    s.y = y;
    for (int i = 0; i < ProfilePoints; ++i) {
        s.p[i].a = a.p[i].a + (b.p[i].a - a.p[i].a) * t;
        s.p[i].b = a.p[i].b + (b.p[i].b - a.p[i].b) * t;
    }
    return s;
}

// Inserts a section at y unless one lies within a millimetre of it.
void InsertSection(std::vector<Section> &sections, float y)
{
    for (size_t i = 0; i + 1 < sections.size(); ++i) {
        if (std::fabs(sections[i].y - y) < 0.001f || std::fabs(sections[i + 1].y - y) < 0.001f) {
            return;
        }
        if (sections[i].y < y && y < sections[i + 1].y) {
            sections.insert(sections.begin() + static_cast<long>(i) + 1,
                            Interpolate(sections[i], sections[i + 1], y));
            return;
        }
    }
}

// Cuts the lower body in over each wheel: between y - r and y + r the sill
// moves inside the tyre and up under the wheel arch, so the wheel shows.
void CutWheelArches(std::vector<Section> &sections, const float axles[2], const Wheels &wheels)
{
    const float half = wheels.radius + 0.05f;
    const float archTop = 2.0f * wheels.radius + 0.04f;
    for (int a = 0; a < 2; ++a) {
        const float y = axles[a];
        for (float edge : {y - half - 0.02f, y - half, y + half, y + half + 0.02f}) {
            InsertSection(sections, edge);
        }
        for (Section &s : sections) {
            if (s.y < y - half - 0.001f || s.y > y + half + 0.001f) {
                continue;
            }
            const float inner = s.p[4].a - 0.03f - wheels.tyreWidth - 0.02f;
            s.p[1] = {std::max(0.05f, inner - 0.06f), s.p[0].b};
            // Never above the belt line: a low bonnet lowers the arch.
            const float top = std::min(archTop, s.p[4].b - 0.02f);
            s.p[2] = {std::max(0.06f, inner), top - 0.02f};
            s.p[3] = {s.p[4].a, top};
            s.narrow = true;
        }
    }
}

Look PaintFor(const Vec2 &from, const Vec2 &to)
{
    return std::fabs(to.b - from.b) < std::fabs(to.a - from.a) ? LookRoof : LookPaint;
}

Look SegmentLook(const Section &s, bool arch, int segment)
{
    const Vec2 &from = s.p[segment];
    const Vec2 &to = s.p[segment + 1];
    const bool glassSides = s.zone == ZoneScreen || s.zone == ZoneRoof || s.zone == ZoneBack;
    switch (segment) {
    case 0:
        return LookUnder;
    case 1:
        return arch ? LookUnder : LookTrim;
    case 2:
        return arch ? LookUnder : PaintFor(from, to);
    case 3:
        return PaintFor(from, to);
    case 4:
        return glassSides ? LookGlass : s.zone == ZoneOpen ? LookCabin : PaintFor(from, to);
    default:
        return s.zone == ZoneScreen || s.zone == ZoneBack ? LookGlass
               : s.zone == ZoneOpen                       ? LookCabin
                                                          : PaintFor(from, to);
    }
}

// Joins the profiles (each from the bottom of the centre line up to its top)
// and closes both ends. look(section, segment) picks each strip's look.
template <typename LookRule>
void AddLoft(Mesh &mesh, const std::vector<float> &ys, const std::vector<std::vector<Vec2>> &profiles,
             LookRule look)
{
    const int count = static_cast<int>(ys.size());
    const int n = static_cast<int>(profiles[0].size());
    std::vector<std::vector<uint16_t>> ids(count);
    for (int i = 0; i < count; ++i) {
        for (const Vec2 &p : profiles[i]) {
            ids[i].push_back(mesh.Point(p.a, ys[i], p.b));
        }
    }
    for (int i = 0; i + 1 < count; ++i) {
        for (int j = 0; j + 1 < n; ++j) {
            mesh.Quad(ids[i][j], ids[i + 1][j], ids[i + 1][j + 1], ids[i][j + 1], look(i, j), GroupLoft + j, true);
        }
    }
    const std::vector<uint16_t> &front = ids[count - 1];
    const std::vector<uint16_t> &rear = ids[0];
    for (int j = 1; j + 1 < n; ++j) {
        mesh.Triangle(front[0], front[j + 1], front[j], LookPaint, GroupFrontCap, true);
        mesh.Triangle(rear[0], rear[j], rear[j + 1], LookPaint, GroupRearCap, true);
    }
}

void AddShell(Mesh &mesh, const std::vector<Section> &sections)
{
    std::vector<float> ys;
    std::vector<std::vector<Vec2>> profiles;
    for (const Section &s : sections) {
        ys.push_back(s.y);
        profiles.emplace_back(s.p, s.p + ProfilePoints);
    }
    AddLoft(mesh, ys, profiles, [&](int i, int segment) {
        return SegmentLook(sections[i], sections[i].narrow || sections[i + 1].narrow, segment);
    });
}

// The coarse level: up to five key sections chosen to follow the top line
// (cockpit recesses left out), each cut down to a four-sided profile: the
// bottom at full width and the top edge. Mirrored it has at most 20 points
// and 36 triangles, in the limits of a collision hull.
void AddHull(Mesh &mesh, const std::vector<Section> &keys)
{
    std::vector<const Section *> candidates;
    for (const Section &s : keys) {
        if (s.p[5].b >= s.p[4].b) {
            candidates.push_back(&s);
        }
    }
    std::vector<size_t> chosen = {0, candidates.size() - 1};
    for (int round = 0; round < 3; ++round) {
        size_t worst = 0;
        float worstError = 0.01f;
        for (size_t k = 1; k + 1 < candidates.size(); ++k) {
            if (std::find(chosen.begin(), chosen.end(), k) != chosen.end()) {
                continue;
            }
            const size_t after = *std::upper_bound(chosen.begin(), chosen.end(), k);
            const size_t before = *(std::upper_bound(chosen.begin(), chosen.end(), k) - 1);
            const Section &a = *candidates[before], &b = *candidates[after], &s = *candidates[k];
            const float line = a.p[5].b + (b.p[5].b - a.p[5].b) * (s.y - a.y) / (b.y - a.y);
            if (std::fabs(s.p[5].b - line) > worstError) {
                worstError = std::fabs(s.p[5].b - line);
                worst = k;
            }
        }
        if (worst == 0) {
            break;
        }
        chosen.insert(std::upper_bound(chosen.begin(), chosen.end(), worst), worst);
    }

    std::vector<uint16_t> bottom, top;
    for (size_t k : chosen) {
        const Section &s = *candidates[k];
        bottom.push_back(mesh.Point(s.p[4].a, s.y, s.p[0].b));
        top.push_back(mesh.Point(s.p[5].a, s.y, s.p[5].b));
    }
    // Around each section: the bottom from left to right, up the right side,
    // the top from right to left.
    for (size_t i = 0; i + 1 < chosen.size(); ++i) {
        const size_t j = i + 1;
        mesh.Quad(Twin(bottom[i]), Twin(bottom[j]), bottom[j], bottom[i], LookUnder, GroupDown, false);
        mesh.Quad(bottom[i], bottom[j], top[j], top[i], LookPaint, GroupLoft + 3, true);
        mesh.Quad(top[i], top[j], Twin(top[j]), Twin(top[i]), LookRoof, GroupUp, false);
    }
    const uint16_t f0 = bottom.back(), f1 = top.back(), r0 = bottom.front(), r1 = top.front();
    mesh.Quad(Twin(f0), Twin(f1), f1, f0, LookPaint, GroupFrontCap, false);
    mesh.Quad(Twin(r0), r0, r1, Twin(r1), LookPaint, GroupRearCap, false);
}

// ------------------------------------------------------------ lamps, plates

enum LampSet {
    LampsRoad,     // head lamps, indicators, brake and reversing lamps, plates
    LampsRacing,   // head lamps, brake lamps, a rain light
    LampsSingle,   // a rain light only
    LampsBuggy,    // head lamps and brake lamps
};

// Lamp boxes stand 1 cm proud of the end caps and reach 2 cm into the body.
void AddLamps(std::vector<Prism> &prisms, const Station &rear, const Station &front, LampSet set)
{
    const bool plates = set == LampsRoad;
    auto lampBand = [&](const Station &s, float *z0, float *z1) {
        *z1 = s.zbelt - 0.03f;
        *z0 = std::max(s.zs + 0.02f, *z1 - 0.12f);
        if (plates) {
            *z0 = std::max(*z0, s.zb + 0.03f + PlateHeight + 0.01f);
        }
    };
    float z0, z1;
    const float fy0 = front.y - 0.02f, fy1 = front.y + 0.01f;
    const float ry0 = rear.y - 0.01f, ry1 = rear.y + 0.02f;
    const float fw = front.w, rw = rear.w;

    if (set != LampsSingle) {
        lampBand(front, &z0, &z1);
        const float outer = set == LampsRoad ? 0.80f : 0.78f;
        prisms.push_back(Box(fw * 0.45f, fw * outer, fy0, fy1, z0, z1, LookHead));
        if (set == LampsRoad) {
            prisms.push_back(Box(fw * 0.80f, fw * 0.92f, fy0, fy1, z0, z1, LookFrontIndicator));
        }
        lampBand(rear, &z0, &z1);
        if (set == LampsRoad) {
            prisms.push_back(Box(rw * 0.50f, rw * 0.62f, ry0, ry1, z0, z1, LookReverse));
            prisms.push_back(Box(rw * 0.62f, rw * 0.80f, ry0, ry1, z0, z1, LookBrake));
            prisms.push_back(Box(rw * 0.80f, rw * 0.92f, ry0, ry1, z0, z1, LookRearIndicator));
        } else {
            prisms.push_back(Box(rw * 0.55f, rw * 0.85f, ry0, ry1, z0, z1, LookBrake));
        }
    }
    if (set == LampsRacing || set == LampsSingle) {
        const float half = std::min(0.06f, rear.w * 0.5f);
        prisms.push_back(Centred(half, ry0, ry1, rear.zb + 0.04f, rear.zb + 0.12f, LookRearFog));
    }
    if (plates) {
        Prism plate = Centred(PlateHalfWidth, fy0, fy1, front.zb + 0.03f, front.zb + 0.03f + PlateHeight, LookTrim);
        plate.front = LookPlateFront;
        prisms.push_back(plate);
        plate = Centred(PlateHalfWidth, ry0, ry1, rear.zb + 0.03f, rear.zb + 0.03f + PlateHeight, LookTrim);
        plate.rear = LookPlateRear;
        prisms.push_back(plate);
    }
}

// ------------------------------------------------------------- the bodies

struct BodyPlan {
    std::vector<Station> stations;  // rear to front
    std::vector<Prism> prisms;
    float wheelbase;
    Wheels wheels;
    // Where the lift of each wing acts, (y, z); a body without the wing
    // leaves it at y = z = 0.
    Vec2 rearWing = {0.0f, 0.0f};
    Vec2 frontWing = {0.0f, 0.0f};
    bool hasRearWing = false;
    bool hasFrontWing = false;
};

enum ClosedExtras {
    ExtraNone = 0,
    ExtraRoofSpoiler = 1,   // over the tailgate of a hatch
    ExtraLip = 2,           // on the boot lid
    ExtraWing = 4,          // a GT wing on struts
    ExtraSplitter = 8,
    ExtraScoop = 16,        // on the bonnet
    ExtraMirrors = 32,
};

struct ClosedShape {
    float length, halfWidth, height, wheelbase, frontOverhang;
    float bottom, belt, nose, cowl, tail;      // heights
    float screenBase, roofFront, roofRear;     // y of the windscreen foot, roof front and rear edges
    float deckStart;                           // y of the rear window's foot, past the tail; 0 for a hatch
    float tumblehome;                          // how far the roof edge lies in from the sides
    int extras;
    LampSet lamps;
    Wheels wheels;
};

BodyPlan ClosedBody(const ClosedShape &c)
{
    BodyPlan plan;
    plan.wheelbase = c.wheelbase;
    plan.wheels = c.wheels;
    const float W = c.halfWidth;
    const float yr = -c.wheelbase * 0.5f - (c.length - c.wheelbase - c.frontOverhang);
    const float yf = c.wheelbase * 0.5f + c.frontOverhang;
    auto station = [&](float y, float widthScale, float zb, float top, bool greenhouse, Zone zone) {
        Station s;
        s.y = y;
        s.zb = zb;
        s.w = W * widthScale;
        s.zs = zb + 0.14f;
        s.zbelt = greenhouse ? c.belt : std::min(c.belt, top - 0.06f);
        s.zbelt = std::max(s.zbelt, s.zs + 0.08f);
        s.x5 = greenhouse ? s.w - c.tumblehome : s.w - 0.10f;
        s.z5 = greenhouse ? top - 0.04f : top - 0.015f;
        s.ztop = top;
        s.zone = zone;
        return s;
    };
    const bool hatch = c.deckStart == 0.0f;
    plan.stations.push_back(station(yr, 0.93f, c.bottom + 0.10f, c.tail, false, hatch ? ZoneBack : ZoneBody));
    if (!hatch) {
        plan.stations.push_back(station(c.deckStart, 0.99f, c.bottom, c.tail + 0.03f, false, ZoneBack));
    }
    plan.stations.push_back(station(c.roofRear, 1.0f, c.bottom, c.height, true, ZoneRoof));
    plan.stations.push_back(station(c.roofFront, 1.0f, c.bottom, c.height, true, ZoneScreen));
    plan.stations.push_back(station(c.screenBase, 1.0f, c.bottom, c.cowl, false, ZoneBody));
    plan.stations.push_back(station(yf - 0.18f, 0.97f, c.bottom + 0.04f, c.nose, false, ZoneBody));
    plan.stations.push_back(station(yf, 0.92f, c.bottom + 0.10f, c.nose - 0.06f, false, ZoneBody));

    std::vector<Prism> &prisms = plan.prisms;
    AddLamps(prisms, plan.stations.front(), plan.stations.back(), c.lamps);
    if (c.extras & ExtraRoofSpoiler) {
        prisms.push_back(Centred(W - c.tumblehome, c.roofRear - 0.04f, c.roofRear + 0.14f, c.height - 0.06f,
                                 c.height + 0.03f, LookTrim));
    }
    if (c.extras & ExtraLip) {
        prisms.push_back({-W * 0.85f, W * 0.85f,
                          {{yr + 0.03f, c.tail - 0.02f}, {yr + 0.18f, c.tail - 0.02f}, {yr + 0.18f, c.tail + 0.01f},
                           {yr + 0.03f, c.tail + 0.06f}},
                          LookTrim, LookTrim, LookTrim});
    }
    if (c.extras & ExtraWing) {
        plan.hasRearWing = true;
        plan.rearWing = {yr + 0.17f, c.tail + 0.30f};
        prisms.push_back({-W * 0.92f, W * 0.92f,
                          {{yr + 0.02f, c.tail + 0.30f}, {yr + 0.32f, c.tail + 0.24f}, {yr + 0.32f, c.tail + 0.27f},
                           {yr + 0.02f, c.tail + 0.35f}},
                          LookTrim, LookTrim, LookTrim});
        prisms.push_back(Box(W * 0.92f, W * 0.95f, yr, yr + 0.36f, c.tail + 0.14f, c.tail + 0.38f, LookTrim));
        prisms.push_back(Box(W * 0.40f, W * 0.43f, yr + 0.14f, yr + 0.24f, c.tail - 0.05f, c.tail + 0.27f, LookTrim));
    }
    if (c.extras & ExtraSplitter) {
        prisms.push_back(Centred(W * 0.96f, yf - 0.30f, yf + 0.06f, 0.05f, 0.08f, LookUnder));
    }
    if (c.extras & ExtraScoop) {
        // On the bonnet, whose top runs from the cowl down to the nose.
        const float y0 = c.screenBase + 0.20f;
        const float y1 = yf - 0.60f;
        auto bonnet = [&](float y) {
            const float t = (y - c.screenBase) / (yf - 0.18f - c.screenBase);
            return c.cowl + (c.nose - c.cowl) * t;
        };
        prisms.push_back({-0.24f, 0.24f,
                          {{y0, bonnet(y0) - 0.03f}, {y1, bonnet(y1) - 0.03f}, {y1, bonnet(y1) + 0.01f},
                           {y0, bonnet(y0) + 0.08f}},
                          LookTrim, LookUnder, LookUnder});
    }
    if (c.extras & ExtraMirrors) {
        prisms.push_back(Box(W, W + 0.12f, c.screenBase - 0.25f, c.screenBase - 0.17f, c.belt + 0.02f,
                             c.belt + 0.12f, LookTrim));
    }
    return plan;
}

// Body codes in the order of BodyCodes: ZH KT VX MR FN OR QB BV LS FM BP GT SR.
BodyPlan PlanBody(int index)
{
    constexpr int Road = ExtraMirrors;
    switch (index) {
    case 0:  // ZH: small three-door hatch
        return ClosedBody({3.70f, 0.82f, 1.40f, 2.45f, 0.72f, 0.16f, 0.88f, 0.74f, 0.90f, 1.00f, 0.58f, -0.02f,
                           -1.615f, 0.0f, 0.14f, Road, LampsRoad, {0.29f, 0.19f, true}});
    case 1:  // KT: turbo hatch, wider, with a roof spoiler
        return ClosedBody({3.85f, 0.85f, 1.38f, 2.50f, 0.74f, 0.14f, 0.86f, 0.74f, 0.88f, 1.00f, 0.62f, 0.02f,
                           -1.70f, 0.0f, 0.15f, Road | ExtraRoofSpoiler, LampsRoad, {0.30f, 0.20f, true}});
    case 2:  // VX: notchback coupe with a boot lip
        return ClosedBody({4.20f, 0.87f, 1.30f, 2.55f, 0.85f, 0.14f, 0.84f, 0.74f, 0.84f, 0.96f, 0.82f, 0.10f,
                           -0.80f, -1.575f, 0.16f, Road | ExtraLip, LampsRoad, {0.31f, 0.20f, true}});
    case 3:  // MR: long fastback GT coupe
        return ClosedBody({4.45f, 0.91f, 1.26f, 2.60f, 0.95f, 0.13f, 0.80f, 0.74f, 0.84f, 0.92f, 0.95f, 0.15f,
                           -0.55f, -1.90f, 0.18f, Road | ExtraLip, LampsRoad, {0.32f, 0.22f, true}});
    case 4:  // FN: sporty hatch with a sloping tailgate
        return ClosedBody({3.98f, 0.86f, 1.36f, 2.55f, 0.78f, 0.14f, 0.85f, 0.72f, 0.86f, 0.96f, 0.70f, 0.05f,
                           -1.475f, 0.0f, 0.17f, Road, LampsRoad, {0.30f, 0.20f, true}});
    case 5: {  // OR: two-seat roadster, windscreen, no roof
        BodyPlan plan;
        plan.wheelbase = 2.27f;
        plan.wheels = {0.29f, 0.19f, true};
        plan.stations = {
            {-2.015f, 0.30f, 0.74f, 0.42f, 0.78f, 0.62f, 0.84f, 0.86f, ZoneBody},
            {-1.60f, 0.22f, 0.82f, 0.36f, 0.84f, 0.70f, 0.90f, 0.92f, ZoneBody},
            {-0.70f, 0.20f, 0.84f, 0.34f, 0.86f, 0.72f, 0.90f, 0.92f, ZoneOpen},
            {-0.68f, 0.20f, 0.84f, 0.34f, 0.86f, 0.66f, 0.50f, 0.50f, ZoneOpen},
            {0.15f, 0.20f, 0.84f, 0.34f, 0.86f, 0.66f, 0.50f, 0.50f, ZoneOpen},
            {0.17f, 0.20f, 0.84f, 0.34f, 0.86f, 0.72f, 0.90f, 0.91f, ZoneBody},
            {1.70f, 0.24f, 0.80f, 0.36f, 0.72f, 0.62f, 0.76f, 0.78f, ZoneBody},
            {1.935f, 0.30f, 0.72f, 0.40f, 0.62f, 0.55f, 0.66f, 0.67f, ZoneBody},
        };
        AddLamps(plan.prisms, plan.stations.front(), plan.stations.back(), LampsRoad);
        plan.prisms.push_back({-0.66f, 0.66f, {{0.16f, 0.88f}, {0.22f, 0.88f}, {-0.08f, 1.12f}, {-0.14f, 1.12f}},
                               LookGlass, LookGlass, LookGlass});
        plan.prisms.push_back(Box(0.84f, 0.96f, 0.12f, 0.20f, 0.88f, 0.98f, LookTrim));
        return plan;
    }
    case 6: {  // QB: buggy, a small tub high off the ground under a roll cage
        BodyPlan plan;
        plan.wheelbase = 2.20f;
        plan.wheels = {0.34f, 0.26f, false};
        plan.stations = {
            {-1.65f, 0.40f, 0.55f, 0.48f, 0.70f, 0.45f, 0.78f, 0.80f, ZoneBody},
            {-0.95f, 0.34f, 0.62f, 0.44f, 0.75f, 0.50f, 0.85f, 0.86f, ZoneBody},
            {-0.55f, 0.34f, 0.62f, 0.44f, 0.75f, 0.50f, 0.85f, 0.86f, ZoneOpen},
            {-0.53f, 0.34f, 0.62f, 0.44f, 0.75f, 0.45f, 0.50f, 0.50f, ZoneOpen},
            {0.55f, 0.34f, 0.60f, 0.44f, 0.75f, 0.45f, 0.50f, 0.50f, ZoneOpen},
            {0.57f, 0.34f, 0.60f, 0.44f, 0.75f, 0.45f, 0.80f, 0.80f, ZoneBody},
            {1.65f, 0.42f, 0.45f, 0.48f, 0.62f, 0.35f, 0.66f, 0.66f, ZoneBody},
        };
        std::vector<Prism> &p = plan.prisms;
        AddLamps(p, plan.stations.front(), plan.stations.back(), LampsBuggy);
        // Front hoop leaning back, main hoop behind the seat, joined on top.
        p.push_back({0.50f, 0.54f, {{0.50f, 0.74f}, {0.56f, 0.74f}, {0.20f, 1.50f}, {0.14f, 1.50f}}, LookTrim,
                     LookTrim, LookTrim});
        p.push_back(Box(0.52f, 0.56f, -0.62f, -0.56f, 0.80f, 1.52f, LookTrim));
        p.push_back(Box(0.48f, 0.54f, -0.62f, 0.20f, 1.47f, 1.53f, LookTrim));
        p.push_back(Centred(0.54f, 0.14f, 0.20f, 1.47f, 1.53f, LookTrim));
        p.push_back(Centred(0.56f, -0.62f, -0.56f, 1.47f, 1.53f, LookTrim));
        p.push_back(Centred(0.56f, -0.62f, -0.56f, 0.96f, 1.01f, LookTrim));
        // The engine behind the seat.
        p.push_back(Centred(0.30f, -1.50f, -1.00f, 0.78f, 1.05f, LookUnder));
        return plan;
    }
    case 7:  // BV: big muscle coupe, long bonnet with a scoop
        return ClosedBody({4.75f, 0.94f, 1.33f, 2.75f, 1.00f, 0.15f, 0.90f, 0.82f, 0.94f, 1.00f, 0.50f, -0.20f,
                           -1.00f, -1.825f, 0.14f, Road | ExtraLip | ExtraScoop, LampsRoad, {0.33f, 0.23f, true}});
    case 8: {  // LS: light open sports car, wind deflector and roll hoop
        BodyPlan plan;
        plan.wheelbase = 2.30f;
        plan.wheels = {0.29f, 0.20f, true};
        plan.stations = {
            {-1.75f, 0.28f, 0.76f, 0.40f, 0.70f, 0.60f, 0.76f, 0.78f, ZoneBody},
            {-1.20f, 0.18f, 0.85f, 0.32f, 0.74f, 0.72f, 0.80f, 0.84f, ZoneBody},
            {-0.70f, 0.17f, 0.86f, 0.30f, 0.76f, 0.70f, 0.82f, 0.86f, ZoneOpen},
            {-0.68f, 0.17f, 0.86f, 0.30f, 0.76f, 0.62f, 0.42f, 0.42f, ZoneOpen},
            {0.10f, 0.17f, 0.86f, 0.30f, 0.76f, 0.62f, 0.42f, 0.42f, ZoneOpen},
            {0.12f, 0.17f, 0.86f, 0.30f, 0.76f, 0.68f, 0.80f, 0.82f, ZoneBody},
            {1.60f, 0.20f, 0.82f, 0.32f, 0.66f, 0.62f, 0.70f, 0.70f, ZoneBody},
            {1.85f, 0.26f, 0.70f, 0.36f, 0.56f, 0.50f, 0.59f, 0.60f, ZoneBody},
        };
        std::vector<Prism> &p = plan.prisms;
        AddLamps(p, plan.stations.front(), plan.stations.back(), LampsRoad);
        p.push_back(Box(0.30f, 0.34f, -0.80f, -0.74f, 0.82f, 1.10f, LookTrim));
        p.push_back(Centred(0.34f, -0.80f, -0.74f, 1.08f, 1.14f, LookTrim));
        p.push_back({-0.55f, 0.55f, {{0.13f, 0.80f}, {0.18f, 0.80f}, {0.06f, 0.95f}, {0.02f, 0.95f}}, LookGlass,
                     LookGlass, LookGlass});
        return plan;
    }
    case 9: {  // FM: formula car, open wheels, front and rear wings
        BodyPlan plan;
        plan.wheelbase = 2.90f;
        plan.wheels = {0.33f, 0.35f, false};
        plan.stations = {
            {-1.75f, 0.20f, 0.12f, 0.25f, 0.40f, 0.08f, 0.45f, 0.46f, ZoneBody},
            {-1.30f, 0.12f, 0.18f, 0.20f, 0.45f, 0.12f, 0.55f, 0.56f, ZoneBody},
            {-0.90f, 0.06f, 0.42f, 0.14f, 0.40f, 0.20f, 0.62f, 0.68f, ZoneBody},
            {-0.45f, 0.05f, 0.45f, 0.12f, 0.52f, 0.18f, 0.80f, 0.88f, ZoneOpen},
            {-0.43f, 0.05f, 0.45f, 0.12f, 0.52f, 0.22f, 0.30f, 0.30f, ZoneOpen},
            {0.30f, 0.05f, 0.30f, 0.12f, 0.55f, 0.20f, 0.32f, 0.32f, ZoneOpen},
            {0.32f, 0.05f, 0.30f, 0.12f, 0.55f, 0.18f, 0.62f, 0.64f, ZoneBody},
            {1.10f, 0.12f, 0.20f, 0.18f, 0.45f, 0.12f, 0.52f, 0.53f, ZoneBody},
            {2.30f, 0.18f, 0.08f, 0.20f, 0.27f, 0.05f, 0.29f, 0.30f, ZoneBody},
        };
        std::vector<Prism> &p = plan.prisms;
        AddLamps(p, plan.stations.front(), plan.stations.back(), LampsSingle);
        // Air box over the driver's head.
        p.push_back({-0.10f, 0.10f, {{-0.95f, 0.60f}, {-0.42f, 0.62f}, {-0.42f, 0.97f}, {-0.60f, 0.97f}}, LookTrim,
                     LookUnder, LookTrim});
        // Front wing, end plates and pylons.
        plan.hasFrontWing = true;
        plan.frontWing = {2.22f, 0.09f};
        p.push_back(Centred(0.85f, 2.05f, 2.40f, 0.07f, 0.11f, LookTrim));
        p.push_back(Box(0.85f, 0.87f, 2.00f, 2.42f, 0.05f, 0.22f, LookTrim));
        p.push_back(Box(0.06f, 0.08f, 2.10f, 2.25f, 0.10f, 0.22f, LookTrim));
        // Rear wing: upper and lower planes, end plates, centre pylon.
        plan.hasRearWing = true;
        plan.rearWing = {-2.00f, 0.84f};
        p.push_back({-0.45f, 0.45f, {{-2.15f, 0.84f}, {-1.85f, 0.80f}, {-1.85f, 0.83f}, {-2.15f, 0.88f}}, LookTrim,
                     LookTrim, LookTrim});
        p.push_back(Centred(0.45f, -2.05f, -1.90f, 0.45f, 0.48f, LookTrim));
        p.push_back(Box(0.45f, 0.47f, -2.20f, -1.80f, 0.40f, 0.92f, LookTrim));
        p.push_back(Centred(0.02f, -1.95f, -1.70f, 0.38f, 0.82f, LookTrim));
        return plan;
    }
    case 10: {  // BP: sports prototype, enclosed wheels, open cockpit, rear wing
        BodyPlan plan;
        plan.wheelbase = 2.70f;
        plan.wheels = {0.33f, 0.30f, true};
        plan.stations = {
            {-2.20f, 0.18f, 0.90f, 0.30f, 0.80f, 0.70f, 0.88f, 0.86f, ZoneBody},
            {-1.35f, 0.10f, 0.96f, 0.22f, 0.84f, 0.66f, 0.96f, 0.90f, ZoneBody},
            {-0.55f, 0.08f, 0.96f, 0.20f, 0.82f, 0.56f, 0.88f, 0.94f, ZoneOpen},
            {-0.53f, 0.08f, 0.96f, 0.20f, 0.82f, 0.46f, 0.45f, 0.45f, ZoneOpen},
            {0.35f, 0.08f, 0.96f, 0.20f, 0.80f, 0.46f, 0.45f, 0.45f, ZoneOpen},
            {0.37f, 0.08f, 0.96f, 0.20f, 0.80f, 0.56f, 0.80f, 0.74f, ZoneBody},
            {1.35f, 0.08f, 0.94f, 0.20f, 0.78f, 0.64f, 0.82f, 0.56f, ZoneBody},
            {1.80f, 0.08f, 0.92f, 0.20f, 0.76f, 0.60f, 0.78f, 0.50f, ZoneBody},
            {2.40f, 0.10f, 0.78f, 0.18f, 0.32f, 0.55f, 0.38f, 0.36f, ZoneBody},
        };
        std::vector<Prism> &p = plan.prisms;
        AddLamps(p, plan.stations.front(), plan.stations.back(), LampsRacing);
        p.push_back(Box(0.40f, 0.44f, -0.64f, -0.58f, 0.85f, 1.05f, LookTrim));
        p.push_back(Centred(0.44f, -0.64f, -0.58f, 1.02f, 1.07f, LookTrim));
        plan.hasRearWing = true;
        plan.rearWing = {-2.14f, 0.98f};
        p.push_back({-0.92f, 0.92f, {{-2.30f, 0.98f}, {-1.98f, 0.94f}, {-1.98f, 0.97f}, {-2.30f, 1.03f}}, LookTrim,
                     LookTrim, LookTrim});
        p.push_back(Box(0.92f, 0.95f, -2.32f, -1.95f, 0.80f, 1.06f, LookTrim));
        p.push_back(Box(0.35f, 0.38f, -2.20f, -2.10f, 0.82f, 0.98f, LookTrim));
        return plan;
    }
    case 11:  // GT: GT racer, wide and low, splitter and wing
        return ClosedBody({4.55f, 0.98f, 1.20f, 2.62f, 1.02f, 0.08f, 0.80f, 0.74f, 0.86f, 0.90f, 0.92f, 0.12f,
                           -0.60f, -1.94f, 0.20f, ExtraWing | ExtraSplitter, LampsRacing, {0.32f, 0.30f, true}});
    case 12: {  // SR: wingless single-seat racer, open wheels, cigar body
        BodyPlan plan;
        plan.wheelbase = 2.40f;
        plan.wheels = {0.29f, 0.22f, false};
        plan.stations = {
            {-1.85f, 0.22f, 0.10f, 0.26f, 0.38f, 0.06f, 0.42f, 0.43f, ZoneBody},
            {-1.30f, 0.12f, 0.30f, 0.18f, 0.42f, 0.18f, 0.55f, 0.58f, ZoneBody},
            {-0.52f, 0.10f, 0.34f, 0.16f, 0.50f, 0.20f, 0.66f, 0.74f, ZoneOpen},
            {-0.50f, 0.10f, 0.34f, 0.16f, 0.50f, 0.22f, 0.28f, 0.28f, ZoneOpen},
            {0.30f, 0.10f, 0.32f, 0.16f, 0.50f, 0.20f, 0.30f, 0.30f, ZoneOpen},
            {0.32f, 0.10f, 0.32f, 0.16f, 0.50f, 0.18f, 0.58f, 0.60f, ZoneBody},
            {1.20f, 0.12f, 0.24f, 0.17f, 0.40f, 0.14f, 0.46f, 0.47f, ZoneBody},
            {2.00f, 0.16f, 0.07f, 0.18f, 0.23f, 0.04f, 0.25f, 0.26f, ZoneBody},
        };
        std::vector<Prism> &p = plan.prisms;
        AddLamps(p, plan.stations.front(), plan.stations.back(), LampsSingle);
        p.push_back({0.15f, 0.18f, {{-0.60f, 0.45f}, {-0.56f, 0.45f}, {-0.58f, 0.90f}, {-0.62f, 0.90f}}, LookTrim,
                     LookTrim, LookTrim});
        p.push_back(Centred(0.18f, -0.62f, -0.58f, 0.88f, 0.93f, LookTrim));
        p.push_back({-0.20f, 0.20f, {{0.34f, 0.58f}, {0.38f, 0.56f}, {0.30f, 0.72f}, {0.27f, 0.72f}}, LookGlass,
                     LookGlass, LookGlass});
        return plan;
    }
    default:
        return {};
    }
}

// ------------------------------------------------------- object assembly

// Fills the object's lists with the looks that the triangles use, then
// turns every triangle's look into its surface column.
void MakeLists(Object3D *object, const Mesh &detail)
{
    bool used[LookCount] = {};
    for (int i = 0; i < object->triangleCount; ++i) {
        used[object->triangles[i].surface] = true;
    }

    // Textures in kind order; materials in texture order (the order in which
    // the reader keeps them); one mapping and one surface per look.
    int textureOf[TextureKindCount];
    object->textures = new ObjectTexture[TextureKindCount];
    object->textureCount = 0;
    for (int kind = 0; kind < TextureKindCount; ++kind) {
        textureOf[kind] = -1;
        for (int look = 0; look < LookCount; ++look) {
            if (used[look] && Looks[look].texture == kind) {
                ObjectTexture &texture = object->textures[object->textureCount];
                texture = ObjectTexture{};
                texture.flags = kind == TextureSkin ? TextureCarSpecific : 0;
                CopyString(texture.name, TextureNames[kind], ObjectTextureNameLength);
                textureOf[kind] = static_cast<int>(object->textureCount++);
                break;
            }
        }
    }

    int materialOf[LookCount];
    object->materials = new ObjectMaterial[LookCount];
    object->materialCount = 0;
    for (int kind = 0; kind < TextureKindCount; ++kind) {
        for (int look = 0; look < LookCount; ++look) {
            const LookInfo &info = Looks[look];
            if (!used[look] || info.texture != kind) {
                continue;
            }
            materialOf[look] = -1;
            for (uint32_t m = 0; m < object->materialCount; ++m) {
                if (std::strcmp(object->materials[m].name, info.material) == 0) {
                    materialOf[look] = static_cast<int>(m);
                }
            }
            if (materialOf[look] >= 0) {
                continue;
            }
            ObjectMaterial &material = object->materials[object->materialCount];
            material = ObjectMaterial{};
            CopyString(material.name, info.material, sizeof(material.name));
            material.texture = static_cast<uint8_t>(textureOf[kind]);
            material.uRepeat = 64;
            material.vRepeat = 64;
            if (info.mapping == MapSide) {
                material.vRepeat = 32;   // the upper half of the skin
                material.vOffset = 32;
            } else if (info.mapping == MapTop) {
                material.orientation = 7;  // turned so that the car's length runs across the skin
                material.uRepeat = 32;     // the lower half of the skin
            }
            materialOf[look] = static_cast<int>(object->materialCount++);
        }
    }

    // Extents of the detailed shell for the skin mappings, and of the plates.
    int32_t xMax = 0, yMin = INT32_MAX, yMax = INT32_MIN, zMin = INT32_MAX, zMax = INT32_MIN;
    for (const ObjectPoint &point : detail.points) {
        xMax = std::max(xMax, point.x);
        yMin = std::min(yMin, point.y);
        yMax = std::max(yMax, point.y);
        zMin = std::min(zMin, point.z);
        zMax = std::max(zMax, point.z);
    }
    int32_t plateZ[2][2] = {{INT32_MAX, INT32_MIN}, {INT32_MAX, INT32_MIN}};
    for (const ObjectTriangle &triangle : detail.triangles) {
        const int side = triangle.surface == LookPlateFront ? 0 : triangle.surface == LookPlateRear ? 1 : -1;
        for (int c = 0; side >= 0 && c < 3; ++c) {
            const int32_t z = detail.points[triangle.corners[c] & CornerIndexMask].z;
            plateZ[side][0] = std::min(plateZ[side][0], z);
            plateZ[side][1] = std::max(plateZ[side][1], z);
        }
    }

    int surfaceOf[LookCount];
    int columns = 0;
    for (int look = 0; look < LookCount; ++look) {
        surfaceOf[look] = used[look] ? columns++ : -1;
    }
    object->mappings = new ObjectMapping[columns > 0 ? columns : 1];
    object->mappingCount = static_cast<uint32_t>(columns);
    object->surfaces.width = 1;
    object->surfaces.height = static_cast<uint16_t>(columns);
    object->surfaces.cells = new GridCell[columns > 0 ? columns : 1];
    for (int look = 0; look < LookCount; ++look) {
        if (!used[look]) {
            continue;
        }
        const LookInfo &info = Looks[look];
        const int column = surfaceOf[look];
        ObjectMapping &mapping = object->mappings[column];
        mapping = ObjectMapping{};
        CopyString(mapping.name, info.surface, sizeof(mapping.name));
        mapping.materials[0] = static_cast<uint32_t>(materialOf[look]);
        mapping.materials[1] = static_cast<uint32_t>(materialOf[look]);
        switch (info.mapping) {
        case MapSide:
            mapping.projection = 3;  // (y, z): the car seen from its right
            mapping.uMin = yMin, mapping.uMax = yMax, mapping.vMin = zMin, mapping.vMax = zMax;
            break;
        case MapTop:
            mapping.projection = 5;  // (x, y): the car seen from above
            mapping.uMin = -xMax, mapping.uMax = xMax, mapping.vMin = yMin, mapping.vMax = yMax;
            break;
        case MapPlateFront:
        case MapPlateRear: {
            const int side = info.mapping == MapPlateFront ? 0 : 1;
            mapping.projection = side == 0 ? 1 : 2;  // (-x, z) seen from ahead, (x, z) from behind
            mapping.uMin = -Fix(PlateHalfWidth), mapping.uMax = Fix(PlateHalfWidth);
            mapping.vMin = plateZ[side][0], mapping.vMax = plateZ[side][1];
            break;
        }
        case MapNone:
            break;
        }
        GridCell &cell = object->surfaces.cells[column];
        std::memset(cell.bytes, 0, sizeof(cell.bytes));
        std::memcpy(cell.bytes, info.colour, 3);
        std::memcpy(cell.bytes + 4, info.surface, std::min<size_t>(std::strlen(info.surface), 10));
        cell.bytes[14] = static_cast<uint8_t>(column);
        cell.bytes[15] = 0;
    }
    for (int i = 0; i < object->triangleCount; ++i) {
        object->triangles[i].surface = static_cast<uint8_t>(surfaceOf[object->triangles[i].surface]);
    }
}

// The body's aerodynamic markers: empty children whose kind tells the car
// which surface acts at their position (rear wing, front wing, undertray,
// body). The undertray's y is placed by the car from its wheelbase.
void AddAeroMarkers(Object3D *object, const BodyPlan &plan)
{
    struct Marker {
        const char *name;
        uint8_t kind;
        float y, z;
    };
    const float yMin = plan.stations.front().y, yMax = plan.stations.back().y;
    float bottom = plan.stations.front().zb, top = 0.0f;
    for (const Station &s : plan.stations) {
        bottom = std::min(bottom, s.zb);
        top = std::max(top, s.ztop);
    }
    std::vector<Marker> markers;
    if (plan.hasRearWing) {
        markers.push_back({"rear_wing", BodyChildRearWing, plan.rearWing.a, plan.rearWing.b});
    }
    if (plan.hasFrontWing) {
        markers.push_back({"front_wing", BodyChildFrontWing, plan.frontWing.a, plan.frontWing.b});
    }
    markers.push_back({"undertray", BodyChildUndertray, 0.0f, bottom});
    markers.push_back({"body", BodyChildBody, (yMin + yMax) * 0.5f, (bottom + top) * 0.45f});

    object->childCount = static_cast<uint16_t>(markers.size());
    object->children = new Object3D[markers.size()];
    for (size_t i = 0; i < markers.size(); ++i) {
        Object3D &child = object->children[i];
        InitObject3D(&child);
        CopyString(child.name, markers[i].name, ObjectNameLength);
        child.kind = markers[i].kind;
        child.subKind = SubKindPlain;
        child.flags = ObjectDefaultFlags | ObjectNoGroupData | ObjectLightNamesFixed;
        child.lodCount = 1;
        child.lodDistances[0] = HullDistance;
        child.y = Fix(markers[i].y);
        child.z = Fix(markers[i].z);
    }
}

}  // namespace

int GetBodyLayout(int bodyIndex, BodyLayout *layout)
{
    if (bodyIndex < 0 || bodyIndex >= BodyCodeCount) {
        return 0;
    }
    const BodyPlan plan = PlanBody(bodyIndex);
    *layout = BodyLayout{};
    layout->wheelbase = plan.wheelbase;
    layout->wheelRadius = plan.wheels.radius;
    layout->tyreWidth = plan.wheels.tyreWidth;
    layout->openWheels = !plan.wheels.arches;
    for (const Station &s : plan.stations) {
        layout->halfWidth = std::max(layout->halfWidth, s.w);
        layout->length = std::max(layout->length, s.y - plan.stations.front().y);
    }
    layout->rearOverhang = -plan.wheelbase * 0.5f - plan.stations.front().y;
    layout->hasRearWing = plan.hasRearWing;
    layout->hasFrontWing = plan.hasFrontWing;
    layout->rearWing[0] = plan.rearWing.a;
    layout->rearWing[1] = plan.rearWing.b;
    layout->frontWing[0] = plan.frontWing.a;
    layout->frontWing[1] = plan.frontWing.b;
    return 1;
}

int BuildBodyObject(int bodyIndex, Object3D *object)
{
    if (bodyIndex < 0 || bodyIndex >= BodyCodeCount) {
        return 0;
    }
    const BodyPlan plan = PlanBody(bodyIndex);

    std::vector<Section> keys;
    const float archHeight = 2.0f * plan.wheels.radius + 0.04f;
    for (const Station &station : plan.stations) {
        keys.push_back(MakeSection(station, archHeight));
    }
    std::vector<Section> sections = keys;
    if (plan.wheels.arches) {
        const float axles[2] = {-plan.wheelbase * 0.5f, plan.wheelbase * 0.5f};
        CutWheelArches(sections, axles, plan.wheels);
    }

    Mesh detail;
    detail.lod = DetailLevel;
    AddShell(detail, sections);
    for (const Prism &prism : plan.prisms) {
        AddPrism(detail, prism);
    }
    Mesh hull;
    hull.lod = HullLevel;
    AddHull(hull, keys);

    InitObject3D(object);
    CopyString(object->name, BodyCodes[bodyIndex], ObjectNameLength);
    object->flags = ObjectDefaultFlags | ObjectNoGroupData | ObjectLightNamesFixed;
    object->lodCount = 2;
    object->lodDistances[DetailLevel] = DetailDistance;
    object->lodDistances[HullLevel] = HullDistance;
    object->groupCount = GroupCount;

    const size_t pointCount = detail.points.size() + hull.points.size();
    const size_t triangleCount = detail.triangles.size() + hull.triangles.size();
    object->points = new ObjectPoint[pointCount];
    object->triangles = new ObjectTriangle[triangleCount];
    object->pointCount = static_cast<uint16_t>(pointCount);
    object->triangleCount = static_cast<uint16_t>(triangleCount);
    std::copy(detail.points.begin(), detail.points.end(), object->points);
    std::copy(hull.points.begin(), hull.points.end(), object->points + detail.points.size());
    std::copy(detail.triangles.begin(), detail.triangles.end(), object->triangles);
    const uint16_t offset = static_cast<uint16_t>(detail.points.size());
    for (size_t i = 0; i < hull.triangles.size(); ++i) {
        ObjectTriangle triangle = hull.triangles[i];
        for (uint16_t &corner : triangle.corners) {
            corner = static_cast<uint16_t>((corner & ~CornerIndexMask) | ((corner & CornerIndexMask) + offset));
        }
        object->triangles[detail.triangles.size() + i] = triangle;
    }
    MakeLists(object, detail);
    CopyString(object->partNames[0], "main", ObjectPartNameLength);
    AddAeroMarkers(object, plan);
    return 1;
}

const char *WriteBodyObjects(const char *runFolder)
{
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "veh";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create the data/veh folder";
    }
    for (int i = 0; i < BodyCodeCount; ++i) {
        Object3D object;
        BuildBodyObject(i, &object);
        const std::string path = (folder / (std::string(BodyCodes[i]) + ".vob")).string();
        const char *failure = WriteObjectFile(object, path.c_str());
        FreeObject3D(&object);
        if (failure) {
            return failure;
        }
    }
    return nullptr;
}
