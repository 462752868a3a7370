#include "tools/default_human.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/data_stream.h"
#include "render/object_file.h"
#include "scene/human_file.h"
#include "tools/object_file_writer.h"

// The figure's frame: x to the driver's right, y forward, z up, metres. The
// seated pose (the model's rest pose) has its origin at the hip point on the
// seat; the standing pose has it on the ground between the feet. Every joint
// body is a box whose local y axis runs along its segment.

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr float Density = 1000.0f;   // kg per cubic metre: a body about as dense as water

struct Point3 {
    double x, y, z;
};

enum Surface { Suit, Skin, Gloves, Boots, SurfaceCount };

struct JointShape {
    const char *name;
    bool paired;         // right side given; the left one is its mirror image
    double halfX, halfZ; // half sizes across the segment
    Surface surface;
    Point3 seatedFrom, seatedTo;
    Point3 standingFrom, standingTo;
};

// Joint 0 is the head: the driver's eye is taken from the first body.
constexpr JointShape Joints[] = {
    {"head", false, 0.085, 0.10, Skin, {0, -0.15, 0.66}, {0, -0.17, 0.88}, {0, 0, 1.52}, {0, 0, 1.74}},
    {"neck", false, 0.05, 0.05, Skin, {0, -0.14, 0.60}, {0, -0.15, 0.67}, {0, 0, 1.45}, {0, 0, 1.53}},
    {"chest", false, 0.18, 0.11, Suit, {0, -0.09, 0.36}, {0, -0.14, 0.60}, {0, 0, 1.20}, {0, 0, 1.45}},
    {"abdomen", false, 0.15, 0.10, Suit, {0, -0.05, 0.18}, {0, -0.09, 0.36}, {0, 0, 1.02}, {0, 0, 1.20}},
    {"pelvis", false, 0.17, 0.11, Suit, {0, 0.0, 0.0}, {0, -0.05, 0.18}, {0, 0, 0.88}, {0, 0, 1.02}},
    {"clavicle", true, 0.04, 0.03, Suit, {0.03, -0.13, 0.56}, {0.19, -0.12, 0.57}, {0.03, 0.0, 1.41},
     {0.19, 0.01, 1.42}},
    {"upperarm", true, 0.045, 0.045, Suit, {0.20, -0.13, 0.55}, {0.25, 0.10, 0.40}, {0.21, 0.0, 1.40},
     {0.23, 0.01, 1.12}},
    {"forearm", true, 0.04, 0.04, Suit, {0.25, 0.10, 0.40}, {0.21, 0.35, 0.50}, {0.23, 0.01, 1.12},
     {0.24, 0.03, 0.86}},
    {"hand", true, 0.045, 0.02, Gloves, {0.21, 0.35, 0.50}, {0.20, 0.44, 0.52}, {0.24, 0.03, 0.86},
     {0.24, 0.04, 0.76}},
    {"thumb", true, 0.012, 0.012, Gloves, {0.18, 0.37, 0.52}, {0.16, 0.42, 0.55}, {0.22, 0.06, 0.84},
     {0.22, 0.07, 0.79}},
    {"index", true, 0.01, 0.01, Gloves, {0.215, 0.44, 0.54}, {0.21, 0.49, 0.53}, {0.245, 0.05, 0.76},
     {0.245, 0.055, 0.71}},
    {"middle", true, 0.01, 0.01, Gloves, {0.205, 0.44, 0.525}, {0.20, 0.50, 0.515}, {0.24, 0.04, 0.76},
     {0.24, 0.045, 0.70}},
    {"ring", true, 0.01, 0.01, Gloves, {0.195, 0.44, 0.51}, {0.19, 0.49, 0.50}, {0.235, 0.03, 0.76},
     {0.235, 0.035, 0.71}},
    {"little", true, 0.009, 0.009, Gloves, {0.185, 0.43, 0.495}, {0.18, 0.47, 0.49}, {0.23, 0.02, 0.765},
     {0.23, 0.025, 0.72}},
    {"thigh", true, 0.075, 0.075, Suit, {0.10, 0.0, 0.06}, {0.12, 0.44, 0.20}, {0.10, 0.0, 0.92},
     {0.11, 0.01, 0.50}},
    {"shin", true, 0.05, 0.05, Suit, {0.12, 0.44, 0.20}, {0.13, 0.82, 0.04}, {0.11, 0.01, 0.50},
     {0.12, 0.0, 0.08}},
    {"foot", true, 0.045, 0.035, Boots, {0.13, 0.80, 0.04}, {0.13, 0.95, 0.12}, {0.12, -0.03, 0.05},
     {0.12, 0.15, 0.04}},
    {"toes", true, 0.04, 0.02, Boots, {0.13, 0.95, 0.12}, {0.13, 1.00, 0.15}, {0.12, 0.15, 0.04},
     {0.12, 0.21, 0.03}},
};
constexpr int JointCount = static_cast<int>(sizeof(Joints) / sizeof(Joints[0]));

struct LinkShape {
    int first, second;   // joint indices
    bool paired;
    Point3 anchor;       // seated, right side
    float limit1, limit2;  // degrees
};

constexpr LinkShape Links[] = {
    {1, 0, false, {0, -0.15, 0.665}, 45.0f, 30.0f},      // neck - head
    {2, 1, false, {0, -0.14, 0.60}, 20.0f, 15.0f},       // chest - neck
    {3, 2, false, {0, -0.09, 0.36}, 15.0f, 10.0f},       // abdomen - chest
    {4, 3, false, {0, -0.05, 0.18}, 15.0f, 10.0f},       // pelvis - abdomen
    {2, 5, true, {0.03, -0.13, 0.56}, 10.0f, 10.0f},     // chest - clavicle
    {5, 6, true, {0.20, -0.13, 0.55}, 90.0f, 45.0f},     // shoulder
    {6, 7, true, {0.25, 0.10, 0.40}, 120.0f, 5.0f},      // elbow
    {7, 8, true, {0.21, 0.35, 0.50}, 60.0f, 30.0f},      // wrist
    {8, 9, true, {0.18, 0.37, 0.52}, 40.0f, 20.0f},      // thumb
    {8, 10, true, {0.215, 0.44, 0.54}, 80.0f, 10.0f},    // fingers
    {8, 11, true, {0.205, 0.44, 0.525}, 80.0f, 10.0f},
    {8, 12, true, {0.195, 0.44, 0.51}, 80.0f, 10.0f},
    {8, 13, true, {0.185, 0.43, 0.495}, 80.0f, 10.0f},
    {4, 14, true, {0.10, 0.0, 0.06}, 90.0f, 30.0f},      // hip
    {14, 15, true, {0.12, 0.44, 0.20}, 130.0f, 5.0f},    // knee
    {15, 16, true, {0.13, 0.80, 0.04}, 40.0f, 20.0f},    // ankle
    {16, 17, true, {0.13, 0.95, 0.12}, 30.0f, 5.0f},     // toes
};

constexpr uint8_t SurfaceColours[SurfaceCount][3] = {
    {30, 60, 150},    // racing suit
    {225, 180, 150},  // skin
    {25, 25, 25},     // gloves
    {35, 30, 30},     // boots
};
constexpr const char *SurfaceNames[SurfaceCount] = {"suit", "skin", "gloves", "boots"};

int32_t Fixed(double metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0));
}

// One joint body placed in a pose.
struct PlacedBody {
    Point3 centre;
    double a, b;        // angles about z and x: orientation RotationZ(a) x RotationX(b)
    double halfLength;
};

// The angles that turn the local y axis onto the segment from -> to.
PlacedBody PlaceSegment(const Point3 &from, const Point3 &to)
{
    const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double ux = dx / length, uy = dy / length, uz = dz / length;
    PlacedBody body;
    body.centre = {(from.x + to.x) / 2.0, (from.y + to.y) / 2.0, (from.z + to.z) / 2.0};
    body.halfLength = length / 2.0;
    // RotationZ(a) x RotationX(b) takes y to (-sin a cos b, cos a cos b, sin b).
    if (std::fabs(uy) < 1e-9) {
        body.a = std::fabs(ux) < 1e-9 ? 0.0 : (ux > 0 ? -Pi : Pi) / 2.0;
        body.b = std::atan2(uz, std::fabs(ux));
    } else {
        body.a = std::atan(-ux / uy);
        body.b = std::atan2(uz, uy / std::cos(body.a));
    }
    return body;
}

PlacedBody Mirrored(PlacedBody body)
{
    body.centre.x = -body.centre.x;
    body.a = -body.a;
    return body;
}

// Rows of RotationZ(a) x RotationX(b).
void BodyMatrix(const PlacedBody &body, double m[9])
{
    const double ca = std::cos(body.a), sa = std::sin(body.a);
    const double cb = std::cos(body.b), sb = std::sin(body.b);
    const double rows[9] = {ca, -sa * cb, sa * sb, sa, ca * cb, -ca * sb, 0.0, sb, cb};
    std::memcpy(m, rows, sizeof(rows));
}

// Every body of the figure in a pose, in pose-set order (a paired joint's
// right body, then its mirror image).
std::vector<PlacedBody> PlaceBodies(bool standing)
{
    std::vector<PlacedBody> bodies;
    for (const JointShape &joint : Joints) {
        const PlacedBody body = standing ? PlaceSegment(joint.standingFrom, joint.standingTo)
                                         : PlaceSegment(joint.seatedFrom, joint.seatedTo);
        bodies.push_back(body);
        if (joint.paired) {
            bodies.push_back(Mirrored(body));
        }
    }
    return bodies;
}

// The driver's mesh: one box per body, its corners bound to that body.
void BuildBodyMesh(Object3D &object)
{
    InitObject3D(&object);
    std::strncpy(object.name, "driver", ObjectNameLength);
    object.flags = ObjectNoGroupData;
    object.lodCount = 1;
    object.lodDistances[0] = 1000 << 16;

    const std::vector<PlacedBody> bodies = PlaceBodies(false);
    std::vector<ObjectPoint> points;
    std::vector<ObjectTriangle> triangles;
    int bodyIndex = 0;
    for (const JointShape &joint : Joints) {
        for (int side = 0; side < (joint.paired ? 2 : 1); ++side, ++bodyIndex) {
            const PlacedBody &body = bodies[bodyIndex];
            double m[9];
            BodyMatrix(body, m);
            const int first = static_cast<int>(points.size());
            for (int corner = 0; corner < 8; ++corner) {
                const double local[3] = {(corner & 1) ? joint.halfX : -joint.halfX,
                                         (corner & 2) ? body.halfLength : -body.halfLength,
                                         (corner & 4) ? joint.halfZ : -joint.halfZ};
                ObjectPoint point{};
                point.bone = static_cast<uint8_t>(bodyIndex);
                point.x = Fixed(body.centre.x + m[0] * local[0] + m[1] * local[1] + m[2] * local[2]);
                point.y = Fixed(body.centre.y + m[3] * local[0] + m[4] * local[1] + m[5] * local[2]);
                point.z = Fixed(body.centre.z + m[6] * local[0] + m[7] * local[1] + m[8] * local[2]);
                points.push_back(point);
            }
            // Corner bit 0 is +x, bit 1 +y, bit 2 +z. Each face's corners
            // run counter-clockwise seen from outside; its triangles take
            // them the other way round: front faces are clockwise, as all
            // objects of the program are wound.
            static const int Faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                            {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
            for (const auto &face : Faces) {
                const int quad[2][3] = {{face[0], face[2], face[1]}, {face[0], face[3], face[2]}};
                for (const auto &corners : quad) {
                    ObjectTriangle triangle{};
                    triangle.surface = static_cast<uint8_t>(joint.surface);
                    triangle.normalWeight = 1;
                    for (int i = 0; i < 3; ++i) {
                        triangle.corners[i] = static_cast<uint16_t>(first + corners[i]);
                    }
                    triangles.push_back(triangle);
                }
            }
        }
    }
    object.pointCount = static_cast<uint16_t>(points.size());
    object.points = new ObjectPoint[points.size()];
    std::memcpy(object.points, points.data(), points.size() * sizeof(ObjectPoint));
    object.triangleCount = static_cast<uint16_t>(triangles.size());
    object.triangles = new ObjectTriangle[triangles.size()];
    std::memcpy(object.triangles, triangles.data(), triangles.size() * sizeof(ObjectTriangle));

    // One row of surfaces, each with its colour and the one plain mapping.
    object.surfaces.width = 1;
    object.surfaces.height = SurfaceCount;
    object.surfaces.cells = new GridCell[SurfaceCount]();
    for (int s = 0; s < SurfaceCount; ++s) {
        GridCell &cell = object.surfaces.cells[s];
        std::memcpy(cell.bytes, SurfaceColours[s], 3);
        std::memcpy(cell.bytes + 4, SurfaceNames[s], std::strlen(SurfaceNames[s]));
    }
    // An unnamed texture: the plain material of the renderer, coloured by
    // the surfaces.
    object.textureCount = 1;
    object.textures = new ObjectTexture[1]();
    object.materialCount = 1;
    object.materials = new ObjectMaterial[1]();
    std::strcpy(object.materials[0].name, "plain");
    object.materials[0].uRepeat = 64;
    object.materials[0].vRepeat = 64;
    object.mappingCount = 1;
    object.mappings = new ObjectMapping[1]();
    std::strcpy(object.mappings[0].name, "body");
    object.mappings[0].uMin = -65536;
    object.mappings[0].uMax = 65536;
    object.mappings[0].vMin = -65536;
    object.mappings[0].vMax = 65536;
    std::strcpy(object.partNames[0], "main");
}

void WriteFloat(DataStream &stream, double value)
{
    const float f = static_cast<float>(value);
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof(bits));
    stream.WriteU32(bits);
}

void WriteJoints(DataStream &stream)
{
    const std::vector<PlacedBody> bodies = PlaceBodies(false);
    stream.WriteU32(JointCount);
    int bodyIndex = 0;
    for (const JointShape &joint : Joints) {
        const PlacedBody &body = bodies[bodyIndex];
        bodyIndex += joint.paired ? 2 : 1;
        stream.WriteU32(joint.paired ? JointPaired : 0u);
        WriteFloat(stream, joint.halfX);
        WriteFloat(stream, body.halfLength);
        WriteFloat(stream, joint.halfZ);
        stream.WriteU32(static_cast<uint32_t>(Fixed(body.centre.x)));
        stream.WriteU32(static_cast<uint32_t>(Fixed(body.centre.y)));
        stream.WriteU32(static_cast<uint32_t>(Fixed(body.centre.z)));
        WriteFloat(stream, body.a);
        WriteFloat(stream, body.b);
        WriteFloat(stream, 0.0);
        stream.WriteU8(SurfaceColours[joint.surface][0]);
        stream.WriteU8(SurfaceColours[joint.surface][1]);
        stream.WriteU8(SurfaceColours[joint.surface][2]);
        stream.WriteU8(0);
    }
}

void WriteLinks(DataStream &stream)
{
    stream.WriteU32(static_cast<uint32_t>(sizeof(Links) / sizeof(Links[0])));
    for (const LinkShape &link : Links) {
        stream.WriteU32(0);  // kind
        stream.WriteU32(link.paired ? LinkPaired : 0u);
        stream.WriteU32(static_cast<uint32_t>(Fixed(link.anchor.x)));
        stream.WriteU32(static_cast<uint32_t>(Fixed(link.anchor.y)));
        stream.WriteU32(static_cast<uint32_t>(Fixed(link.anchor.z)));
        for (int i = 0; i < 3; ++i) {
            WriteFloat(stream, 0.0);
        }
        WriteFloat(stream, link.limit1);
        WriteFloat(stream, link.limit2);
        stream.WriteU32(static_cast<uint32_t>(link.first));
        stream.WriteU32(static_cast<uint32_t>(link.second));
    }
}

// A clip of one track: the standing pose, one key per body.
void WriteStandingClip(DataStream &stream)
{
    const std::vector<PlacedBody> bodies = PlaceBodies(true);
    stream.WriteU32(0);                  // flags
    WriteFloat(stream, 1.0);             // clip value
    stream.WriteU16(1);                  // tracks
    stream.WriteU16(static_cast<int>(bodies.size()));  // keys per track
    WriteFloat(stream, 0.0);             // track value
    for (const PlacedBody &body : bodies) {
        double m[9];
        BodyMatrix(body, m);
        for (double element : m) {
            stream.WriteU32(static_cast<uint32_t>(Fixed(element)));
        }
        stream.WriteU32(static_cast<uint32_t>(Fixed(body.centre.x)));
        stream.WriteU32(static_cast<uint32_t>(Fixed(body.centre.y)));
        stream.WriteU32(static_cast<uint32_t>(Fixed(body.centre.z)));
    }
}

void WriteModel(DataStream &stream)
{
    WriteFloat(stream, Density);
    WriteJoints(stream);
    WriteLinks(stream);
    // Clip slot 0: the standing pose of the figures beside the track.
    stream.WriteU32(1);
    WriteStandingClip(stream);
    // One animation block, the same pose, flagged for all three kinds of
    // world figure (bits 0, 8 and 9).
    stream.WriteU32(1);
    stream.WriteU32(0x301);
    stream.WriteU32(0);
    stream.WriteZeros(16);
    WriteStandingClip(stream);
}

}  // namespace

const char *WriteHumanFile(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "hmn";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }
    const std::string path = (folder / "hmn.hmn").string();
    DataStream stream;
    if (const char *openError = stream.OpenWrite(nullptr, path.c_str(), HumanFileId, HumanFileVersion)) {
        error = std::string(openError) + " " + path;
        return error.c_str();
    }
    // One body part: a driver that can be chosen, walks in crowds and stands
    // beside the track (flags bits 0, 1 and 2), skinned to model 0.
    Object3D mesh;
    BuildBodyMesh(mesh);
    stream.WriteU32(1);
    stream.WriteU32(7);
    stream.WriteU32(0);
    WriteFloat(stream, 1.0);
    WriteObject3D(mesh, stream, 1);
    FreeObject3D(&mesh);

    stream.WriteU32(1);
    WriteModel(stream);
    if (stream.Close() != 0) {
        error = "cannot write " + path;
        return error.c_str();
    }
    return nullptr;
}
