#include <algorithm>
#include "render/object_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "core/fixed_math.h"

namespace {

// Little-endian bytes of a hand-made object file.
struct Bytes {
    std::vector<uint8_t> b;
    void U8(int v) { b.push_back(static_cast<uint8_t>(v)); }
    void U16(int v) { U8(v), U8(v >> 8); }
    void U32(uint32_t v) { U16(static_cast<int>(v & 0xFFFF)), U16(static_cast<int>(v >> 16)); }
    void Text(const char *text, int n)
    {
        const size_t length = std::strlen(text);
        for (int i = 0; i < n; ++i) {
            U8(static_cast<size_t>(i) < length ? text[i] : 0);
        }
    }
};

struct TextureRow {
    int flags;
    const char *name;
};
struct MaterialRow {
    const char *name;
    int flags, texture;
};
struct MappingRow {
    const char *name;
    int projection;
    int32_t uMin, uMax;
    uint32_t first, second;
};

// A root of three points and one mirrored triangle over a two-surface table,
// with one child (a kind-10 lamp of sub-kind 0). Tests change a field and
// write it out.
struct Fixture {
    const char *id = "QZEOBJ";
    int version = 251;
    int flags = ObjectLightNamesFixed;
    int kind = 0;
    int lodCount = 2;
    int statedPoints = 3, statedTriangles = 1, statedChildren = 1;
    int surfaceMapping = 1;   // of surface 1, the one the triangle uses
    int triangleSurface = 1;
    int triangleCorner = 2 | CornerTwin;
    int trianglePart = 3;
    uint32_t statedTextures = 0;  // 0: the real count
    std::vector<TextureRow> textures = {{0, "abc"}, {TextureCarSpecific, "skin"}, {0, "ABC"}};
    std::vector<MaterialRow> materials = {{"body", 0, 2}, {"glassm", 0, 1}};
    std::vector<MappingRow> mappings = {{"side", 3, -65536, 65536, 0, 0}, {"U_top", 5, -65536, 131072, 1, 1}};

    std::vector<uint8_t> Make() const
    {
        Bytes out;
        out.Text(id, 6);
        out.U8(version >> 8);
        out.U8(version);
        out.Text("root", 16);
        out.U16(flags);
        out.U8(kind);
        out.U8(1);  // sub-kind
        out.U16(lodCount);
        out.U16(2);  // groups
        for (int i = 0; i < lodCount; ++i) {
            out.U32(i == 0 ? 0x00123456u : 0x00ABFFFFu);
        }
        out.U16(statedPoints);
        out.U16(statedTriangles);
        out.U16(statedChildren);
        out.U16(0);
        out.U16(100), out.U16(200), out.U16(300), out.U16(0);
        out.U32(65536), out.U32(static_cast<uint32_t>(-65536)), out.U32(0x20000);
        out.U16(1), out.U16(2);  // one row of two surfaces
        out.U8(10), out.U8(20), out.U8(30), out.U8(0), out.Text("paint", 10), out.U16(0);
        out.U8(40), out.U8(50), out.U8(60), out.U8(0), out.Text("glass", 10), out.U16(surfaceMapping);
        const int32_t points[3][4] = {{PointOnMirrorPlane, 0, 0, 0}, {PointHasTwin, 65536, 131072, 0},
                                      {PointHasTwin, 65536, 0, 65536}};
        for (const auto &p : points) {
            out.U8(p[0]), out.U8(0), out.U16(0xBEEF);
            out.U32(static_cast<uint32_t>(p[1])), out.U32(static_cast<uint32_t>(p[2])),
                out.U32(static_cast<uint32_t>(p[3]));
        }
        out.U8(TriangleMirrored), out.U8(trianglePart), out.U8(triangleSurface), out.U8(1), out.U8(0), out.U8(0);
        out.U16(0), out.U16(1), out.U16(triangleCorner);
        if (!(flags & ObjectNoGroupData)) {
            out.U32(0), out.U32(0);
        }
        out.U32(statedTextures ? statedTextures : static_cast<uint32_t>(textures.size()));
        for (const TextureRow &t : textures) {
            out.U8(t.flags), out.U8(0), out.U8(0), out.U8(0), out.Text(t.name, 16);
        }
        out.U32(static_cast<uint32_t>(materials.size()));
        for (const MaterialRow &m : materials) {
            out.Text(m.name, 16);
            out.U8(m.flags), out.U8(0), out.U8(m.texture), out.U8(0);
            out.U8(64), out.U8(64), out.U8(0), out.U8(0);
        }
        out.U32(static_cast<uint32_t>(mappings.size()));
        for (const MappingRow &m : mappings) {
            out.Text(m.name, 16);
            out.U8(m.projection), out.U8(0), out.U8(0), out.U8(0);
            out.U32(static_cast<uint32_t>(m.uMin)), out.U32(static_cast<uint32_t>(m.uMax));
            out.U32(0), out.U32(65536);
            out.U32(m.first), out.U32(m.second);
        }
        if (version >= 249) {
            out.Text("main", 8);
            out.Text("wing", 8);
            for (int i = 2; i < ObjectPartCount; ++i) {
                out.Text("", 8);
            }
        }
        if (statedChildren > 0) {
            out.Text("lamp", 16);
            out.U16(ObjectNoGroupData);
            out.U8(10), out.U8(0);  // kind 10, sub-kind 0
            out.U16(1), out.U16(0);
            out.U32(5 << 16);
            out.U16(0), out.U16(0), out.U16(0), out.U16(0);
            out.U16(1000), out.U16(2000), out.U16(3000), out.U16(0);
            out.U32(5 * 65536), out.U32(0), out.U32(0);
            out.U16(0), out.U16(0);
            out.U32(1), out.U8(0), out.U8(0), out.U8(0), out.U8(0), out.Text("lens", 16);
            out.U32(1), out.Text("lamp", 16), out.U8(0), out.U8(0), out.U8(0), out.U8(0);
            out.U8(64), out.U8(64), out.U8(0), out.U8(0);
            out.U32(0);
        }
        return out.b;
    }
};

void Save(const char *path, const std::vector<uint8_t> &bytes)
{
    FILE *file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    std::fclose(file);
}

// Reads the bytes back through a file; the object is freed again unless the
// caller wants it.
int ReadBytes(const std::vector<uint8_t> &bytes, Object3D *object, int resetOrientation = 0,
              const char *carCode = "ZHA")
{
    Save("object.vob", bytes);
    InitObject3D(object);
    return ReadObjectFile(object, nullptr, "object.vob", resetOrientation, carCode);
}

struct ObjectGuard {
    Object3D object;
    ~ObjectGuard() { FreeObject3D(&object); }
};

TEST(ObjectFileTest, ReadsHandMadeObjectWithItsFixUps)
{
    ObjectGuard guard;
    Object3D &o = guard.object;
    ASSERT_EQ(ReadBytes(Fixture().Make(), &o), 1);

    EXPECT_STREQ(o.name, "root");
    EXPECT_EQ(o.lodCount, 2);
    EXPECT_EQ(o.lodDistances[0], 0x00120000);  // whole metres only
    EXPECT_EQ(o.lodDistances[1], 0x00AB0000);
    EXPECT_EQ(o.pitch, 100);
    EXPECT_EQ(o.heading, 300);
    EXPECT_EQ(o.x, 65536);
    EXPECT_EQ(o.y, -65536);
    ASSERT_EQ(o.pointCount, 3);
    EXPECT_EQ(o.points[1].y, 131072);
    EXPECT_TRUE(IsMirroredPoint(o.points[1]));
    EXPECT_TRUE(PointSharesMirrorVertex(o.points[0]));
    ASSERT_EQ(o.triangleCount, 1);
    EXPECT_EQ(o.triangles[0].part, 3);
    EXPECT_EQ(o.triangles[0].corners[2], 2 | CornerTwin);
    ASSERT_EQ(o.surfaces.width, 1);
    ASSERT_EQ(o.surfaces.height, 2);
    EXPECT_EQ(SurfaceMapping(*ObjectSurfaceCell(&o, 0, 1)), 1);
    EXPECT_EQ(ObjectSurfaceCell(&o, 1, 0), nullptr);

    // "abc" and "ABC" (same flags) are one texture; the material that used
    // the later one follows. The car-specific texture carries the car code.
    ASSERT_EQ(o.textureCount, 2u);
    EXPECT_STREQ(o.textures[0].name, "abc");
    EXPECT_STREQ(o.textures[1].name, "ZHA_skin");
    ASSERT_EQ(o.materialCount, 2u);
    EXPECT_STREQ(o.materials[0].name, "body");
    EXPECT_EQ(o.materials[0].texture, 0);
    EXPECT_EQ(o.materials[1].texture, 1);
    EXPECT_STREQ(o.partNames[0], "main");
    EXPECT_STREQ(o.partNames[1], "wing");

    // The kind-10 child: sub-kind 0 becomes 2 and its materials are cut out.
    ASSERT_EQ(o.childCount, 1);
    const Object3D &child = o.children[0];
    EXPECT_STREQ(child.name, "lamp");
    EXPECT_EQ(child.subKind, SubKindMirrorImage);
    EXPECT_EQ(child.x, 5 * 65536);
    EXPECT_EQ(child.materials[0].flags & MaterialCutOut, MaterialCutOut);
    EXPECT_EQ(child.heading, 3000);
}

TEST(ObjectFileTest, FormVariantsReadAlike)
{
    // Version 248: no part-name block, part 0 is "main"; without group data;
    // reset orientation zeroes the root's angles only.
    Fixture fixture;
    fixture.version = 248;
    fixture.flags |= ObjectNoGroupData;
    ObjectGuard guard;
    ASSERT_EQ(ReadBytes(fixture.Make(), &guard.object, 1), 1);
    EXPECT_STREQ(guard.object.partNames[0], "main");
    EXPECT_STREQ(guard.object.partNames[1], "");
    EXPECT_EQ(guard.object.heading, 0);
    EXPECT_EQ(guard.object.children[0].heading, 3000);
    ASSERT_EQ(guard.object.childCount, 1);
}

TEST(ObjectFileTest, TexturesMergeOnlyWithEqualFlagsAndSortByAlphaClass)
{
    Fixture fixture;
    fixture.textures = {{0, "xALPHA"}, {0, "plain"}, {0, "s_glassALPHA"}, {0, "yATEST"}, {1, "PLAIN"}};
    fixture.materials = {{"m_x", 0, 0}, {"m_plain", 0, 1}, {"m_sglass", 0, 2}, {"m_y", 0, 3}, {"m_car", 0, 4}};
    fixture.mappings = {{"a", 3, 0, 1, 0, 4}, {"b", 3, 0, 1, 2, 3}};
    ObjectGuard guard;
    const Object3D &o = guard.object;
    ASSERT_EQ(ReadBytes(fixture.Make(), &guard.object, 0, nullptr), 1);

    ASSERT_EQ(o.textureCount, 5u);  // "plain" and "PLAIN" differ in flags
    const char *order[] = {"plain", "PLAIN", "yATEST", "xALPHA", "s_glassALPHA"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(o.textures[i].name, order[i]) << i;
    }
    // Every material still names its own texture, materials in texture order,
    // and the mappings follow the materials.
    const struct {
        const char *material, *texture;
    } pairs[] = {{"m_plain", "plain"}, {"m_car", "PLAIN"}, {"m_y", "yATEST"}, {"m_x", "xALPHA"},
                 {"m_sglass", "s_glassALPHA"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(o.materials[i].name, pairs[i].material) << i;
        EXPECT_STREQ(o.textures[o.materials[i].texture].name, pairs[i].texture) << i;
    }
    EXPECT_STREQ(o.materials[o.mappings[0].materials[0]].name, "m_x");
    EXPECT_STREQ(o.materials[o.mappings[0].materials[1]].name, "m_car");
    EXPECT_STREQ(o.materials[o.mappings[1].materials[0]].name, "m_sglass");
    EXPECT_STREQ(o.materials[o.mappings[1].materials[1]].name, "m_y");
}

TEST(ObjectFileTest, DiscAndWheelFixUps)
{
    // Kind 1: every material is cut out and the triangles of the last disc
    // surface go (the triangle's surface maps to the disc material).
    Fixture fixture;
    fixture.kind = 1;
    fixture.textures = {{0, "brick"}};
    fixture.materials = {{"Disc", 0, 0}, {"rim", 0, 0}};
    fixture.mappings = {{"side", 3, 0, 1, 1, 1}, {"discmap", 3, 0, 1, 0, 0}};
    ObjectGuard disc;
    ASSERT_EQ(ReadBytes(fixture.Make(), &disc.object), 1);
    EXPECT_EQ(disc.object.triangleCount, 0);
    for (uint32_t i = 0; i < disc.object.materialCount; ++i) {
        EXPECT_EQ(disc.object.materials[i].flags & MaterialCutOut, MaterialCutOut);
    }

    // A wheel in car data (role 2) whose first texture has no name.
    fixture = Fixture();
    fixture.textures = {{0, ""}, {0, "brick"}};
    fixture.materials = {{"spokes", 0, 0}, {"tyre", 0, 1}};
    fixture.statedChildren = 0;
    const std::vector<uint8_t> bytes = fixture.Make();
    DataStream stream;
    int version = 0;
    stream.OpenMemory(bytes.data(), bytes.size(), &version);
    ObjectGuard wheel;
    InitObject3D(&wheel.object);
    ASSERT_EQ(ReadObject3D(&wheel.object, &stream, version, 0, 2, 1, nullptr), 1);
    stream.Close();
    const Object3D &o = wheel.object;
    EXPECT_STREQ(o.textures[o.materials[0].texture].name, "WHEEL");
    EXPECT_STREQ(o.materials[0].name, "PLAIN SHINY");
    EXPECT_EQ(o.materials[0].vOffset, 62);
    EXPECT_STREQ(o.mappings[0].name, "RIM");
    EXPECT_EQ(o.mappings[0].uMax, 32768);
    EXPECT_EQ(std::memcmp(ObjectSurfaceCell(&o, 0, 0)->bytes + 4, "M2spoke", 8), 0);
}

TEST(ObjectFileTest, RefusesWrongIdAndLaterVersion)
{
    const struct {
        const char *id;
        int version, expected;
    } cases[] = {{"QZEOBJ", 251, 1}, {"QZEOBX", 251, 0}, {"qzeobj", 251, 0}, {"QZEOBJ", 252, 0}};
    for (const auto &c : cases) {
        Fixture fixture;
        fixture.id = c.id;
        fixture.version = c.version;
        ObjectGuard guard;
        EXPECT_EQ(ReadBytes(fixture.Make(), &guard.object), c.expected) << c.id << " " << c.version;
    }
    ObjectGuard guard;
    InitObject3D(&guard.object);
    EXPECT_EQ(ReadObjectFile(&guard.object, nullptr, "missing.vob", 0, nullptr), 0);
}

TEST(ObjectFileTest, RefusesDamagedCountsAndReferences)
{
    const struct {
        const char *what;
        std::function<void(Fixture &)> damage;
    } cases[] = {
        {"point count past the end", [](Fixture &f) { f.statedPoints = 60000; }},
        {"triangle count past the end", [](Fixture &f) { f.statedTriangles = 60000; }},
        {"texture count past the end", [](Fixture &f) { f.statedTextures = 0xFFFFFFF0u; }},
        {"child count past the end", [](Fixture &f) { f.statedChildren = 65535; }},
        {"five levels", [](Fixture &f) { f.lodCount = 5; }},
        {"corner past the points", [](Fixture &f) { f.triangleCorner = 3; }},
        {"surface past the table", [](Fixture &f) { f.triangleSurface = 2; }},
        {"part past 31", [](Fixture &f) { f.trianglePart = 32; }},
        {"surface mapping past the list", [](Fixture &f) { f.surfaceMapping = 2; }},
        {"mapping material past the list", [](Fixture &f) { f.mappings[1].second = 2; }},
        {"material texture past the list", [](Fixture &f) { f.materials[1].texture = 3; }},
    };
    for (const auto &c : cases) {
        Fixture fixture;
        c.damage(fixture);
        Object3D object;
        EXPECT_EQ(ReadBytes(fixture.Make(), &object), 0) << c.what;
        EXPECT_EQ(object.pointCount, 0) << c.what;
        EXPECT_EQ(object.points, nullptr) << c.what;
        EXPECT_EQ(object.children, nullptr) << c.what;
        FreeObject3D(&object);
    }
}

TEST(ObjectFileTest, RefusesEveryTruncation)
{
    const std::vector<uint8_t> whole = Fixture().Make();
    for (size_t length = 0; length < whole.size(); ++length) {
        Object3D object;
        EXPECT_EQ(ReadBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)), &object),
                  0)
            << length;
        FreeObject3D(&object);
    }
}

TEST(ObjectFileTest, RefusesTooDeepNesting)
{
    // A chain of children, each holding the next one.
    Bytes out;
    out.Text("QZEOBJ", 6);
    out.U8(0), out.U8(251);
    for (int depth = 0; depth <= MaxObjectDepth; ++depth) {
        out.Text("link", 16);
        out.U16(ObjectNoGroupData), out.U8(0), out.U8(1), out.U16(1), out.U16(0), out.U32(0);
        out.U16(0), out.U16(0), out.U16(depth < MaxObjectDepth ? 1 : 0), out.U16(0);
        for (int i = 0; i < 4 + 3 * 2; ++i) {
            out.U16(0);
        }
        out.U16(0), out.U16(0), out.U32(0), out.U32(0), out.U32(0);
        if (depth == 0) {
            for (int i = 0; i < ObjectPartCount; ++i) {
                out.Text("", 8);
            }
        }
    }
    Object3D object;
    EXPECT_EQ(ReadBytes(out.b, &object), 0);
    FreeObject3D(&object);
}

// The object with its triangle flipped to the mirror side only, and a child
// of sub-kind 3.
Fixture MirrorFixture()
{
    Fixture fixture;
    fixture.triangleCorner = 2;
    return fixture;
}

TEST(ObjectFileTest, MirroringTwiceRestoresTheObject)
{
    ObjectGuard guard;
    Object3D &o = guard.object;
    ASSERT_EQ(ReadBytes(Fixture().Make(), &o), 1);
    const ObjectMapping side = o.mappings[0];
    const ObjectMapping top = o.mappings[1];

    MirrorObject3D(&o);
    EXPECT_EQ(o.points[1].x, -65536);
    EXPECT_EQ(o.triangles[0].corners[1], 2 | CornerTwin);  // winding reversed
    EXPECT_EQ(o.roll, static_cast<uint16_t>(-200));
    EXPECT_EQ(o.x, -65536);
    // A plain texture on an x projection is mirrored with the picture;
    // projection 3 keeps its look.
    EXPECT_EQ(o.mappings[0].uMin, side.uMin);
    // "U_top" must stay readable: the range turns over instead.
    EXPECT_EQ(o.mappings[1].uMin, -top.uMax);
    EXPECT_EQ(o.mappings[1].uMax, -top.uMin);
    EXPECT_EQ(o.children[0].x, -5 * 65536);

    MirrorObject3D(&o);
    EXPECT_EQ(o.points[1].x, 65536);
    EXPECT_EQ(o.triangles[0].corners[1], 1);
    EXPECT_EQ(std::memcmp(&o.mappings[0], &side, sizeof(side)), 0);
    EXPECT_EQ(std::memcmp(&o.mappings[1], &top, sizeof(top)), 0);
    EXPECT_EQ(o.roll, 200);
}

TEST(ObjectFileTest, MirrorMappingRules)
{
    // (texture flags, texture name, mapping name, projection) -> the mapping
    // after one mirror: the picture mirrored, the range turned over, or the
    // two materials swapped.
    enum Result { Mirrored, RangeTurned, Swapped, Unchanged };
    const struct {
        int textureFlags;
        const char *texture, *mapping;
        int projection;
        Result result;
    } cases[] = {
        {0, "brick", "plain", 2, Mirrored},     {0, "brick", "plain", 3, Unchanged},
        {1, "skin", "plain", 5, RangeTurned},   {1, "skin", "plain", 4, Swapped},
        {0, "s_plate", "plain", 1, RangeTurned}, {0, "brick", "u_text", 6, RangeTurned},
        {0, "S_CLOCK", "plain", 0, Swapped},
    };
    for (const auto &c : cases) {
        Fixture fixture;
        fixture.textures = {{c.textureFlags, c.texture}};
        fixture.materials = {{"first", 0, 0}, {"second", 1, 0}};
        fixture.mappings = {{c.mapping, c.projection, -65536, 131072, 0, 1}, {"other", 0, 0, 0, 0, 0}};
        fixture.statedChildren = 0;
        ObjectGuard guard;
        ASSERT_EQ(ReadBytes(fixture.Make(), &guard.object, 0, nullptr), 1) << c.texture;
        ObjectMapping &m = guard.object.mappings[0];
        const ObjectMapping before = m;
        MirrorObject3D(&guard.object);
        switch (c.result) {
        case Mirrored:
            EXPECT_EQ(m.uMin, 65536) << c.texture;
            EXPECT_EQ(m.uMax, -131072) << c.texture;
            break;
        case RangeTurned:
            EXPECT_EQ(m.uMin, -131072) << c.texture;
            EXPECT_EQ(m.uMax, 65536) << c.texture;
            break;
        case Swapped:
            EXPECT_EQ(m.materials[0], before.materials[1]) << c.texture;
            EXPECT_EQ(m.materials[1], before.materials[0]) << c.texture;
            break;
        case Unchanged:
            EXPECT_EQ(std::memcmp(&m, &before, sizeof(m)), 0) << c.texture;
            break;
        }
    }
}

TEST(ObjectFileTest, ResolvingMirrorPartsFlipsMirrorOnlyTrianglesAndPlacesChildren)
{
    ObjectGuard guard;
    Object3D &o = guard.object;
    ASSERT_EQ(ReadBytes(MirrorFixture().Make(), &o), 1);
    o.triangles[0].flags = TriangleMirrorOnly;
    o.children[0].subKind = SubKindNegateX;
    const ObjectMapping top = o.mappings[1];

    ResolveMirroredParts(&o);
    EXPECT_EQ(o.triangles[0].corners[0], 0 | CornerTwin);
    EXPECT_EQ(o.triangles[0].corners[1], 2 | CornerTwin);
    EXPECT_EQ(o.triangles[0].corners[2], 1 | CornerTwin);
    EXPECT_EQ(o.mappings[1].uMin, -top.uMax);  // the triangle's surface's mapping, mirrored once
    EXPECT_EQ(o.children[0].x, -5 * 65536);
    EXPECT_EQ(o.children[0].heading, 3000);  // only moved, not mirrored

    ResolveMirroredParts(&o);
    EXPECT_EQ(o.triangles[0].corners[0], 0);
    EXPECT_EQ(o.triangles[0].corners[1], 1);
    EXPECT_EQ(o.triangles[0].corners[2], 2);
    EXPECT_EQ(o.mappings[1].uMin, top.uMin);
    EXPECT_EQ(o.children[0].x, 5 * 65536);
}

TEST(ObjectFileTest, RepeatAroundAxisAndBack)
{
    BuildTrigTables();
    ObjectGuard guard;
    Object3D &o = guard.object;
    ASSERT_EQ(ReadBytes(Fixture().Make(), &o), 1);
    // Point 0 lies on the axis; the triangle's third corner is mirrored.
    ASSERT_EQ(RepeatObjectAroundAxis(&o, 4), 1);
    Object3D other;
    InitObject3D(&other);
    EXPECT_EQ(RepeatObjectAroundAxis(&other, 2), 0);  // one at a time

    ASSERT_EQ(o.pointCount, 12);
    ASSERT_EQ(o.triangleCount, 4);
    // Copy 1 is turned a quarter about x: (y, z) = (0, 1) goes to (-1, 0).
    EXPECT_NEAR(o.points[3 + 2].y, -65536, 16);
    EXPECT_NEAR(o.points[3 + 2].z, 0, 16);
    EXPECT_EQ(o.points[3 + 2].x, 65536);
    EXPECT_EQ(o.triangles[0].corners[0], 0 | CornerShared);
    EXPECT_EQ(o.triangles[0].corners[2], 3 + 2);  // the mirrored corner links to copy 1
    EXPECT_EQ(o.triangles[1].corners[0], 0 | CornerShared);
    EXPECT_EQ(o.triangles[1].corners[1], 3 + 1);
    EXPECT_EQ(o.triangles[3].corners[2], 2);  // copy 3 links round to copy 0

    FreeRepeatedCopies(&o, 4);
    EXPECT_EQ(o.pointCount, 3);
    EXPECT_EQ(o.triangleCount, 1);
    EXPECT_EQ(o.triangles[0].corners[2], 2 | CornerTwin);
    EXPECT_EQ(RepeatObjectAroundAxis(&other, 2), 1);
    FreeRepeatedCopies(&other, 2);
    FreeObject3D(&other);
}

TEST(ObjectFileTest, ClockTextureStyles)
{
    Fixture fixture;
    fixture.textures = {{0, "S_CLOCK_F1"}, {0, "clockface"}};
    fixture.materials = {{"a", 0, 0}, {"b", 0, 1}};
    ObjectGuard guard;
    ASSERT_EQ(ReadBytes(fixture.Make(), &guard.object), 1);
    SetClockTexture(&guard.object, 2);
    EXPECT_STREQ(guard.object.textures[0].name, "s_clock_white");
    EXPECT_STREQ(guard.object.textures[1].name, "clockface");
    SetClockTexture(&guard.object, 9);
    EXPECT_STREQ(guard.object.textures[0].name, "s_clock_white");
}

// Style 6 is the sixth name; any of the six, in any case, takes the chosen
// style's name, and style 7 changes nothing.
TEST(ObjectFileTest, ClockStyleSixRenamesEveryClockName)
{
    Fixture fixture;
    fixture.textures = {{0, "S_Clock"}, {0, "s_clock_WHITE"}, {0, "s_clock_formula"},
                        {0, "s_clock_f1"},  {0, "s_clock_F3"},  {0, "S_CLOCK_BPR"}, {0, "dial"}};
    fixture.materials = {{"a", 0, 0}, {"b", 0, 1}, {"c", 0, 2}, {"d", 0, 3}, {"e", 0, 4}, {"f", 0, 5}, {"g", 0, 6}};
    ObjectGuard guard;
    ASSERT_EQ(ReadBytes(fixture.Make(), &guard.object), 1);
    ASSERT_EQ(guard.object.textureCount, 7u);
    SetClockTexture(&guard.object, 7);
    EXPECT_STREQ(guard.object.textures[0].name, "S_Clock");
    SetClockTexture(&guard.object, 6);
    int renamed = 0;
    for (uint32_t i = 0; i < guard.object.textureCount; ++i)
        renamed += std::strcmp(guard.object.textures[i].name, "s_clock_bpr") == 0;
    EXPECT_EQ(renamed, 6);
    EXPECT_STREQ(ClockTextureName(6), "s_clock_bpr");
    EXPECT_EQ(ClockTextureName(7), nullptr);
    // And back from the sixth name to the first.
    SetClockTexture(&guard.object, 1);
    for (uint32_t i = 0; i < guard.object.textureCount; ++i)
        renamed -= std::strcmp(guard.object.textures[i].name, "s_clock") == 0;
    EXPECT_EQ(renamed, 0);
}

// All 16 name bytes of the file are kept, behind the car's code too, and the
// name is terminated: two names that differ only in their 16th byte stay two
// textures.
TEST(ObjectFileTest, SixteenByteTextureNamesAreKeptWhole)
{
    Fixture fixture;
    fixture.textures = {{0, "abcdefghijklmnop"}, {0, "abcdefghijklmnoq"}, {TextureCarSpecific, "ABCDEFGHIJKLMNOP"}};
    fixture.materials = {{"a", 0, 0}, {"b", 0, 1}, {"c", 0, 2}};
    ObjectGuard guard;
    ASSERT_EQ(ReadBytes(fixture.Make(), &guard.object), 1);
    ASSERT_EQ(guard.object.textureCount, 3u);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < guard.object.textureCount; ++i)
        names.emplace_back(guard.object.textures[i].name);
    EXPECT_NE(std::find(names.begin(), names.end(), "abcdefghijklmnop"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "abcdefghijklmnoq"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "ZHA_ABCDEFGHIJKLMNOP"), names.end());
}

}  // namespace
