#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/fixed_math.h"
#include "tests/world/world_bytes.h"
#include "world/panel_object.h"
#include "world/world.h"

namespace {

struct Vertex {
    float height, lateral;   // metres
    float slope, angle;
    uint8_t tag;
};

struct Face {
    uint8_t a, b, c;
};

int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

// A version-251 panel object: header at (x, y) metres, then the record.
WorldBytes PanelBytes(float x, float y, uint8_t flags, float heading, const std::vector<Vertex> &vertices,
                      const std::vector<Face> &faces = {}, uint8_t tagA = 0, uint8_t tagB = 0,
                      uint16_t panelA = 0, uint16_t panelB = 0, uint16_t surface = 0)
{
    WorldBytes bytes;
    bytes.U8(8).U8(0).U8(0).U8(0).U32(Fix(x)).U32(Fix(y));
    bytes.U8(flags).U8(0x5A).U16(surface);
    if (flags & PanelExtraFloat) {
        bytes.F32(99.0f);
    }
    bytes.F32(heading).U8(vertices.size()).U8(faces.size()).U8(tagA).U8(tagB);
    if (flags & PanelComposite) {
        bytes.U16(panelA).U16(panelB);
    }
    for (const Vertex &v : vertices) {
        bytes.U32(Fix(v.height)).U32(Fix(v.lateral)).F32(v.slope).F32(v.angle).U8(v.tag).U8(0).U8(0).U8(0);
    }
    for (const Face &f : faces) {
        bytes.U8(f.a).U8(f.b).U8(f.c).U8(0);
    }
    return bytes;
}

PanelObject *ReadPanel(WorldBytes bytes)
{
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    EXPECT_EQ(result.error, WorldObjectOk);
    return static_cast<PanelObject *>(result.object);
}

void Free(WorldObject *object)
{
    object->Release();
    delete object;
}

class PanelObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
};

TEST_F(PanelObjectTest, ReadsSlopeBeforeAngleAndConsumesExactlyItsRecord)
{
    WorldBytes bytes = PanelBytes(1, 2, PanelComposite | PanelExtraFloat, 0.5f,
                                  {{1.5f, -2.0f, 0.25f, 0.75f, 2}}, {{0, 0, 0}}, 3, 4, 7, 9, 12);
    bytes.U8(0xEE);   // the next record's first byte
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    ASSERT_EQ(result.error, WorldObjectOk);
    EXPECT_EQ(stream.ReadU8(), 0xEE);
    auto *panel = static_cast<PanelObject *>(result.object);
    EXPECT_EQ(panel->positionX, Fix(1));
    EXPECT_EQ(panel->surface, 12);
    EXPECT_EQ(panel->spareByte, 0x5A);
    EXPECT_FLOAT_EQ(panel->heading, 0.5f);
    EXPECT_EQ(panel->tagA, 3);
    EXPECT_EQ(panel->tagB, 4);
    EXPECT_EQ(panel->panelA, 7);
    EXPECT_EQ(panel->panelB, 9);
    ASSERT_EQ(panel->vertexCount, 1);
    EXPECT_EQ(panel->vertices[0].height, Fix(1.5f));
    EXPECT_EQ(panel->vertices[0].lateral, Fix(-2.0f));
    EXPECT_FLOAT_EQ(panel->vertices[0].slope, 0.25f);
    EXPECT_FLOAT_EQ(panel->vertices[0].angle, 0.75f);
    EXPECT_EQ(panel->vertices[0].tag, 2);
    EXPECT_EQ(panel->faceCount, 1);
    int32_t position[3];
    float heading;
    panel->GetPosition(position, heading);
    EXPECT_FLOAT_EQ(heading, 0.5f);
    Free(panel);
}

TEST_F(PanelObjectTest, MirroredAccessReversesOrderAndNegatesLateralAndSlopeOnly)
{
    PanelObject *panel = ReadPanel(PanelBytes(0, 0, 0, 0.0f, {{1, -3, 0.1f, 0.2f, 1}, {2, 4, 0.3f, 0.4f, 0}}));
    struct Case {
        int side, index;
        float height, lateral, slope, angle;
        int tag;
    };
    const Case cases[] = {
        {1, 0, 1, -3, 0.1f, 0.2f, 1},
        {1, 1, 2, 4, 0.3f, 0.4f, 0},
        {0, 0, 2, -4, -0.3f, 0.4f, 0},
        {2, 1, 1, 3, -0.1f, 0.2f, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(panel->GetVertexHeight(c.side, c.index), Fix(c.height)) << c.side << c.index;
        EXPECT_EQ(panel->GetVertexLateral(c.side, c.index), Fix(c.lateral)) << c.side << c.index;
        EXPECT_FLOAT_EQ(panel->GetVertexSlope(c.side, c.index), c.slope) << c.side << c.index;
        EXPECT_FLOAT_EQ(panel->GetVertexAngle(c.side, c.index), c.angle) << c.side << c.index;
        EXPECT_EQ(panel->GetVertexTag(c.side, c.index), c.tag) << c.side << c.index;
    }
    EXPECT_EQ(panel->GetVertexHeight(1, 2), 0);   // beyond the vertices
    Free(panel);
}

TEST_F(PanelObjectTest, WorldPositionTurnsTheLateralAxisByTheHeading)
{
    const float quarter = 1.57079633f;
    PanelObject *panel = ReadPanel(PanelBytes(10, 20, 0, quarter, {{1, 2, 0, 0, 0}, {3, -4, 0, 0, 0}}));
    FixVector point;
    panel->GetVertexWorldPosition(1, 0, point);
    EXPECT_NEAR(point.x, Fix(10), 16);   // the 16-bit heading falls short of a quarter turn
    EXPECT_NEAR(point.y, Fix(22), 16);
    EXPECT_EQ(point.z, Fix(1));
    panel->GetVertexWorldPosition(2, 0, point);   // mirrored: the last vertex
    EXPECT_NEAR(point.y, Fix(16), 16);
    EXPECT_EQ(point.z, Fix(3));
    Free(panel);
}

TEST_F(PanelObjectTest, TaggedVerticesSnapToTheLateralEnds)
{
    PanelObject *panel = ReadPanel(
        PanelBytes(0, 0, 0, 0.0f, {{0, -5, 0, 0, 0}, {0, -1, 0, 0, 1}, {0, 1, 0, 0, 2}, {0, 6, 0, 0, 0}, {0, 3, 0, 0, 0}}));
    panel->Prepare();
    const float expected[] = {-5, -5, 6, 6, 3};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(panel->vertices[i].lateral, Fix(expected[i])) << i;
    }
    EXPECT_EQ(panel->radius, 0);   // no faces
    EXPECT_EQ(panel->centreX, 0);
    Free(panel);
}

TEST_F(PanelObjectTest, CompositePanelSpansBetweenItsSourcesJoinVertices)
{
    // Source A at (0, 0) faces along x, its tag-5 vertex at lateral 2 m
    // (world (2, 0)); source B at (10, 6) faces along y, its tag-6 vertex at
    // lateral -2 m (world (10, 4)). The span is 8 x 4 m.
    WorldObject *objects[3];
    objects[0] = ReadPanel(PanelBytes(0, 0, 0, 0.0f, {{0, 1, 0, 0, 0}, {1.5f, 2, 0, 0, 5}}));
    objects[1] = ReadPanel(PanelBytes(10, 6, 0, 1.57079633f, {{2.5f, -2, 0, 0, 6}}));
    objects[2] = ReadPanel(PanelBytes(0, 0, PanelComposite, 0.0f, {{}, {}}, {}, 5, 6, 0, 1));
    auto *composite = static_cast<PanelObject *>(objects[2]);
    ASSERT_EQ(composite->ResolveSources(objects, 3), 0);
    FixVector point = {7, 7, 7};
    composite->GetVertexWorldPosition(1, 1, point);
    EXPECT_NEAR(point.x, Fix(10), 2);
    EXPECT_NEAR(point.y, Fix(4), 2);
    EXPECT_EQ(point.z, Fix(2.5f));
    composite->Prepare();
    EXPECT_NEAR(composite->positionX, Fix(6), 2);
    EXPECT_NEAR(composite->positionY, Fix(2), 2);
    EXPECT_NEAR(composite->heading, std::atan2(4.0f, 8.0f), 1e-5f);
    const float half = std::sqrt(80.0f) / 2;
    EXPECT_NEAR(composite->vertices[0].lateral, Fix(-half), 2);
    EXPECT_NEAR(composite->vertices[1].lateral, Fix(half), 2);
    EXPECT_EQ(composite->vertices[0].height, Fix(1.5f));
    EXPECT_EQ(composite->vertices[1].height, Fix(2.5f));
    for (WorldObject *object : objects) {
        Free(object);
    }
}

TEST_F(PanelObjectTest, CompositeCopiesAtMostItsVertexCountAndASideWithoutJoinUsesTheSourcePosition)
{
    WorldObject *objects[3];
    objects[0] = ReadPanel(PanelBytes(0, 0, 0, 0.0f, {{0, 1, 0, 0, 5}, {0, 2, 0, 0, 5}, {0, 3, 0, 0, 5}}));
    objects[1] = ReadPanel(PanelBytes(4, 0, 0, 0.0f, {{0, 1, 0, 0, 0}}));   // no tag-6 vertex
    objects[2] = ReadPanel(PanelBytes(0, 0, PanelComposite, 0.0f, {{}}, {}, 5, 6, 0, 1));
    auto *composite = static_cast<PanelObject *>(objects[2]);
    ASSERT_EQ(composite->ResolveSources(objects, 3), 0);
    composite->Prepare();
    // The last tag-5 point is (3, 0); side B stands at (4, 0).
    EXPECT_EQ(composite->positionX, Fix(3.5f));
    EXPECT_EQ(composite->vertexCount, 1);
    EXPECT_EQ(composite->vertices[0].lateral, Fix(-0.5f));
    for (WorldObject *object : objects) {
        Free(object);
    }
}

TEST_F(PanelObjectTest, FacesSetTheSideBitsTheyFace)
{
    // Laterals 0 and 2, heights 0 and 1: (0,1,2) winds one way, (0,2,1) the other.
    const std::vector<Vertex> square = {{0, 0, 0, 0, 0}, {0, 2, 0, 0, 0}, {1, 2, 0, 0, 0}, {1, 0, 0, 0, 0}};
    struct Case {
        std::vector<Face> faces;
        uint8_t panelBits;
    };
    const Case cases[] = {
        {{{0, 1, 2}, {0, 2, 3}}, PanelFrontFaces},
        {{{0, 2, 1}, {0, 3, 2}}, PanelBackFaces},
        {{{0, 1, 2}, {0, 3, 2}}, PanelFrontFaces | PanelBackFaces},
    };
    for (const Case &c : cases) {
        PanelObject *panel = ReadPanel(PanelBytes(5, 5, 0, 0.0f, square, c.faces));
        panel->Prepare();
        EXPECT_EQ(panel->flags & (PanelFrontFaces | PanelBackFaces), c.panelBits);
        EXPECT_EQ(panel->faces[0].flags & 0xC0, c.panelBits & PanelFrontFaces ? 0x80 : 0x40);
        // Centre at lateral 1, height 0.5; radius |(1, 0.5)|.
        EXPECT_NEAR(panel->centreX, Fix(6), 2);
        EXPECT_EQ(panel->centreZ, Fix(0.5f));
        EXPECT_NEAR(panel->radius, Fix(std::sqrt(1.25f)), 2);
        Free(panel);
    }
}

TEST_F(PanelObjectTest, TexturedPanelsMapThroughTheOrientationRow)
{
    CurrentWorld = WorldCreate();
    CurrentWorld->colours.count = 1;
    CurrentWorld->colours.records = new TrackColour[1]();
    TrackColour &colour = CurrentWorld->colours.records[0];
    colour.uRepeat = 64;
    colour.vRepeat = 64;
    // Vertex 2 (lateral 2 of 0..4, height 1 of 0..4): u = 0.5, v = 0.75.
    const std::vector<Vertex> vertices = {{0, 0, 0, 0, 0}, {4, 4, 0, 0, 0}, {1, 2, 0, 0, 0}};
    struct Case {
        uint8_t orientation;
        const char *texture;
        uint16_t u, v;
        bool transparent;
    };
    const Case cases[] = {
        {0, "road", 32768, 49151, false},   // (u, v)
        {1, "roadALPHA", 49151, 32768, true},   // (v, 1 - u)
        {7, "road", 16384, 32768, false},  // (1 - v, 1 - u)
    };
    for (const Case &c : cases) {
        colour.orientation = c.orientation;
        strcpy(colour.textureName, c.texture);
        PanelObject *panel = ReadPanel(PanelBytes(0, 0, PanelTextured, 0.0f, vertices, {{0, 1, 2}}));
        panel->Prepare();
        EXPECT_EQ(panel->vertices[2].u, c.u) << int(c.orientation);
        EXPECT_EQ(panel->vertices[2].v, c.v) << int(c.orientation);
        EXPECT_EQ((panel->flags & PanelTransparent) != 0, c.transparent) << int(c.orientation);
        Free(panel);
    }
    WorldDestroy(CurrentWorld);
}

TEST_F(PanelObjectTest, EveryCutOffRecordIsRefused)
{
    const WorldBytes whole = PanelBytes(0, 0, PanelComposite | PanelExtraFloat, 0.0f,
                                        {{0, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {2, 0, 0, 0, 0}}, {{0, 1, 2}}, 1, 2, 3, 4);
    for (size_t size = 0; size < whole.bytes.size(); size++) {
        WorldBytes cut = whole;
        cut.bytes.resize(size);
        DataStream stream;
        cut.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        EXPECT_NE(result.error, WorldObjectOk) << "cut to " << size;
        EXPECT_EQ(result.object, nullptr);
    }
}

// Solids lofted between panels negate and sum the vertex offsets in 32 bits
// and turn by the heading: an offset beyond 10000 m (up to the ends of the
// 16.16 range) or a float that is no number damages the record.
TEST_F(PanelObjectTest, VerticesBeyondTheirBoundOrFieldsThatAreNoNumbersAreRefused)
{
    const float nan = std::nanf("");
    struct Case {
        const char *what;
        float heading;
        Vertex vertex;
        bool refused;
    };
    const Case cases[] = {
        {"offsets at the bound", 0.0f, {10000, -10000, 0, 0, 0}, false},
        {"lateral beyond the bound", 0.0f, {0, 10001, 0, 0, 0}, true},
        {"lateral at the bottom of the range", 0.0f, {0, -32768, 0, 0, 0}, true},
        {"height at the bottom of the range", 0.0f, {-32768, 0, 0, 0, 0}, true},
        {"height beyond the bound", 0.0f, {10001, 0, 0, 0, 0}, true},
        {"heading not a number", nan, {0, 1, 0, 0, 0}, true},
        {"infinite heading", INFINITY, {0, 1, 0, 0, 0}, true},
        {"slope not a number", 0.0f, {0, 1, nan, 0, 0}, true},
        {"infinite angle", 0.0f, {0, 1, 0, -INFINITY, 0}, true},
    };
    for (const Case &c : cases) {
        WorldBytes bytes = PanelBytes(0, 0, 0, c.heading, {{0, 0, 0, 0, 0}, c.vertex});
        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        EXPECT_EQ(result.error, c.refused ? WorldObjectBadRecord : WorldObjectOk) << c.what;
        if (result.object) {
            Free(result.object);
        }
    }
}

TEST_F(PanelObjectTest, DamagedRecordsAreRefused)
{
    // A face naming a vertex beyond the vertex count.
    {
        WorldBytes bytes = PanelBytes(0, 0, 0, 0.0f, {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}});
        DataStream stream;
        bytes.Open(stream, 251);
        EXPECT_EQ(CreateWorldObject(&stream, 251).error, WorldObjectBadRecord);
    }
    // A vertex count beyond the bytes left.
    {
        WorldBytes bytes = PanelBytes(0, 0, 0, 0.0f, {{0, 0, 0, 0, 0}});
        bytes.bytes[8 + 4 + 4 + 4] = 200;   // vertex count
        DataStream stream;
        bytes.Open(stream, 251);
        EXPECT_EQ(CreateWorldObject(&stream, 251).error, WorldObjectBadRecord);
    }
    // Composite sources that are not panels of the array.
    WorldObject *objects[2];
    objects[0] = ReadPanel(PanelBytes(0, 0, 0, 0.0f, {{0, 0, 0, 0, 1}}));
    {
        WorldBytes zone;
        zone.U8(7).U8(0).U8(0).U8(0).U32(0).U32(0).U32(0).U8(80).U8(0).U8(0).U8(0);
        zone.F32(0).F32(0).F32(5).F32(5);
        DataStream stream;
        zone.Open(stream, 251);
        objects[1] = CreateWorldObject(&stream, 251).object;
        ASSERT_NE(objects[1], nullptr);
    }
    struct Case {
        uint16_t a, b;
    };
    for (const Case c : {Case{0, 1}, Case{1, 0}, Case{0, 2}, Case{5, 0}}) {
        PanelObject *composite = ReadPanel(PanelBytes(0, 0, PanelComposite, 0.0f, {{}}, {}, 1, 1, c.a, c.b));
        EXPECT_NE(composite->ResolveSources(objects, 2), 0) << c.a << " " << c.b;
        composite->Prepare();   // unresolved: keeps its own record, no crash
        Free(composite);
    }
    for (WorldObject *object : objects) {
        Free(object);
    }
}

} // namespace
