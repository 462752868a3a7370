#include "render/mesh_lit_colours.h"

#include <gtest/gtest.h>

#include "core/card_config.h"
#include "render/lit_colours.h"
#include "render/model_node.h"
#include "render/object_mesh_part.h"
#include "render/view.h"

namespace {

constexpr int32_t One = 65536;

// Ground colour (100, 50, 20) below, sky light (200, 150, 100) above, a sun
// of 100 per channel along world x.
class MeshLitColoursTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = CurrentView;
        modulate = Modulate2xOn;
        Modulate2xOn = 0;
        view = ViewRecord{};
        CurrentView = &view;
        view.groundColour = {100, 50, 20, 0};
        view.skyLight[0] = 200;
        view.skyLight[1] = 150;
        view.skyLight[2] = 100;
        for (int32_t &level : view.sunLight) {
            level = 100;
        }
        view.sunDir = {One, 0, 0};
        UpdateHemisphereLight();
    }
    void TearDown() override
    {
        CurrentView = previous;
        Modulate2xOn = modulate;
    }

    ViewRecord view{};
    ViewRecord *previous = nullptr;
    uint32_t modulate = 0;
};

const Colour Grey = {200, 200, 200, 0};

struct LitCase {
    const char *what;
    Colour colour;
    FixVector normal;
    uint32_t modulate;
    int lightClass;
    uint32_t lit;
    uint32_t ambient;
};

TEST_F(MeshLitColoursTest, WordsByNormalAndClass)
{
    const LitCase cases[] = {
        // Unlit: its own colour in both words, whatever the light.
        {"unlit", {10, 20, 30, 1}, {One, 0, 0}, 0, 0, 0xFF0A141Eu, 0xFF0A141Eu},
        // Facing up, edge-on to the sun: the sky ambient twice, shifted by 7.
        {"up", Grey, {0, 0, One}, 0, 0, 0xFFC69462u, 0xFFC69462u},
        // Facing down, away from the sun (d below 1): the ground half only.
        {"down", Grey, {0, 0, -One}, 0, 0, 0xFF623012u, 0xFF623012u},
        // Facing the sun: half the hemisphere, plus half the sun in the lit word.
        {"sun", Grey, {One, 0, 0}, 0, 0, 0xFFE2B089u, 0xFF94623Bu},
        // Modulate2x and the class shift further.
        {"class", Grey, {0, 0, One}, 1, 1, 0xFF312518u, 0xFF312518u},
        // The shift reaches 32 and wraps to 0: every channel saturates.
        {"wrap", Grey, {0, 0, One}, 1, 24, 0xFFFFFFFFu, 0xFFFFFFFFu},
        // Shift 31: black.
        {"31", Grey, {0, 0, One}, 1, 23, 0xFF000000u, 0xFF000000u},
    };
    for (const LitCase &c : cases) {
        SCOPED_TRACE(c.what);
        Modulate2xOn = c.modulate;
        ObjectMeshVertex vertex{};
        LightColourByNormal(&vertex, c.colour, c.normal, c.lightClass);
        EXPECT_EQ(vertex.litColour, c.lit);
        EXPECT_EQ(vertex.ambientColour, c.ambient);
    }
}

TEST_F(MeshLitColoursTest, PairsCapLevelsAndChannels)
{
    const int32_t ambient[3] = {200, 100, 300};
    const int32_t sun[3] = {100, 0, 0};
    ObjectMeshVertex vertex{};
    // Levels are capped at 255 before the product, channels after it.
    SetLitColourPair(&vertex, Colour{128, 255, 64, 0}, ambient, sun, 0);
    EXPECT_EQ(vertex.litColour, 0xFFFFC77Fu);     // 128x255>>7 = 255, 255x100>>7 = 199, 64x255>>7 = 127
    EXPECT_EQ(vertex.ambientColour, 0xFFC8C77Fu); // 128x200>>7 = 200
    SetAmbientColourPair(&vertex, Colour{128, 255, 64, 0}, ambient, 0);
    EXPECT_EQ(vertex.litColour, 0xFFC8C77Fu);
    EXPECT_EQ(vertex.ambientColour, 0xFFC8C77Fu);
    SetFlatColourPair(&vertex, Colour{1, 2, 3, 0});
    EXPECT_EQ(vertex.litColour, 0xFF010203u);
    EXPECT_EQ(vertex.ambientColour, 0xFF010203u);
}

TEST(ObjectPartTest, SlotsOfThePlainAndTheMeshPart)
{
    ObjectPart plain;
    EXPECT_EQ(plain.TypeId(), 0);
    EXPECT_EQ(plain.minDistance, 0u);
    EXPECT_EQ(plain.maxDistance, -1);
    plain.minDistance = 5;
    plain.maxDistance = 9;
    plain.Draw(3);
    EXPECT_EQ(plain.minDistance, 5u);
    plain.Release();
    EXPECT_EQ(plain.minDistance, 0u);
    EXPECT_EQ(plain.maxDistance, -1);

    // Through the base, the mesh answers its own slots and frees its arrays.
    ObjectPart *part = new ObjectMeshPart;
    auto *mesh = static_cast<ObjectMeshPart *>(part);
    EXPECT_EQ(part->TypeId(), 2);
    EXPECT_EQ(mesh->firstAlphaList, 255);
    mesh->vertices = new ObjectMeshVertex[3]();
    mesh->vertexCount = 3;
    mesh->triangles = new ObjectMeshTriangle[1]();
    mesh->triangleCount = 1;
    mesh->lists = new MaterialDrawList[1]();
    mesh->listCount = 1;
    part->Release();
    EXPECT_EQ(mesh->vertices, nullptr);
    EXPECT_EQ(mesh->triangles, nullptr);
    EXPECT_EQ(mesh->lists, nullptr);
    EXPECT_EQ(mesh->vertexCount + mesh->triangleCount + mesh->listCount, 0);
    // Deleting through the base frees what a second fill left.
    mesh->vertices = new ObjectMeshVertex[2]();
    delete part;
}

}  // namespace
