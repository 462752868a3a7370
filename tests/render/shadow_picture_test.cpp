#include "core/colour.h"
#include "platform/file_system.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/light_maps.h"
#include "render/model_node.h"
#include "render/material.h"
#include "render/object_mesh_part.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/screenshot.h"
#include "render/shadow_casters.h"
#include "render/shadow_textures.h"
#include "render/state_cache.h"
#include "render/strip_mesh.h"
#include "render/texture_manager.h"
#include "render/view.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Shadows, light maps and strip meshes on the OpenGL device under a real
// display. Every picture is the back buffer as a user's screenshot saves it
// (SaveBackBuffer into a BMP file); render-target textures are read back by
// drawing them texel for texel onto the back buffer first.

namespace {

using namespace render_test;

const uint32_t BlobReference[16 * 16] = {
#include "shadow_blob_reference.inc"
};
const uint32_t GroundReference[16 * 16] = {
#include "shadow_ground_reference.inc"
};

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

// 0xRRGGBB per pixel, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Picture ReadBmp(const char *path)
{
    Picture picture;
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        return picture;
    }
    uint8_t header[54] = {};
    if (std::fread(header, 1, sizeof(header), file) == sizeof(header) && header[0] == 'B' && header[28] == 24) {
        picture.width = header[18] | header[19] << 8;
        picture.height = header[22] | header[23] << 8;
        const size_t row = (static_cast<size_t>(picture.width) * 3 + 3) & ~size_t{3};
        std::vector<uint8_t> bytes(row * static_cast<size_t>(picture.height));
        if (std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()) {
            picture.pixels.resize(static_cast<size_t>(picture.width * picture.height));
            for (int y = 0; y < picture.height; ++y) {
                const uint8_t *from = &bytes[row * static_cast<size_t>(picture.height - 1 - y)];
                for (int x = 0; x < picture.width; ++x) {
                    picture.pixels[static_cast<size_t>(y * picture.width + x)] =
                        static_cast<uint32_t>(from[x * 3 + 2]) << 16 | static_cast<uint32_t>(from[x * 3 + 1]) << 8 |
                        from[x * 3];
                }
            }
        }
    }
    std::fclose(file);
    return picture;
}

Picture Shot()
{
    PlatformMakeDirectory("data");
    PlatformMakeDirectory("data\\shots");
    if (SaveBackBuffer("data\\shots\\shadow_test.bmp") != 0) {
        return Picture{};
    }
    return ReadBmp("data/shots/shadow_test.bmp");
}

int Red(uint32_t c)
{
    return static_cast<int>((c >> 16) & 255);
}
int Green(uint32_t c)
{
    return static_cast<int>((c >> 8) & 255);
}
int Blue(uint32_t c)
{
    return static_cast<int>(c & 255);
}

bool Near(uint32_t got, uint32_t want, int tolerance)
{
    return std::abs(Red(got) - Red(want)) <= tolerance && std::abs(Green(got) - Green(want)) <= tolerance &&
           std::abs(Blue(got) - Blue(want)) <= tolerance;
}

std::string Hex(uint32_t c)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%06X", c);
    return text;
}

// Compares 16 x 16 samples (every `step` pixels from `step` / 2) with a
// reference; KZV_PRINT_SHADOW_REFERENCE prints the samples instead.
void ExpectReference(const Picture &picture, const uint32_t *reference, int step, const char *what)
{
    if (std::getenv("KZV_PRINT_SHADOW_REFERENCE") != nullptr) {
        std::printf("// %s\n", what);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                std::printf("0x%06X,%s", picture.At(x * step + step / 2, y * step + step / 2), x == 15 ? "\n" : " ");
            }
        }
        return;
    }
    int differing = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint32_t got = picture.At(x * step + step / 2, y * step + step / 2);
            if (!Near(got, reference[y * 16 + x], 4)) {
                ++differing;
                if (differing < 8) {
                    ADD_FAILURE() << what << " at " << x << ", " << y << ": " << Hex(got) << " want "
                                  << Hex(reference[y * 16 + x]);
                }
            }
        }
    }
    EXPECT_EQ(differing, 0) << what;
}

// Draws a texture over pixels (0, 0) .. (width, height) of the back buffer,
// point-sampled, texel centres on pixel centres.
void ShowTexture(TextureRecord *texture, int width, int height)
{
    SetTextureStageStateCached(0, TssMinFilter, TexfPoint);
    SetTextureStageStateCached(0, TssMagFilter, TexfPoint);
    SetTextureStageStateCached(0, TssAddressU, TaddressClamp);
    SetTextureStageStateCached(0, TssAddressV, TaddressClamp);
    SetRenderStateCached(RsCullMode, CullNone);
    SetRenderStateCached(RsZEnable, 0);
    TextureRecord *saved = DefaultMaterial->texture;
    DefaultMaterial->texture = texture;
    BeginScreenBatch(DefaultMaterial);
    const float w = static_cast<float>(width) - 0.5f;
    const float h = static_cast<float>(height) - 0.5f;
    const uint16_t a = AddScreenVertexRaw(-0.5f, -0.5f, 0.0f, 0.0f, 0xFFFFFFFFu);
    const uint16_t b = AddScreenVertexRaw(w, -0.5f, 1.0f, 0.0f, 0xFFFFFFFFu);
    const uint16_t c = AddScreenVertexRaw(w, h, 1.0f, 1.0f, 0xFFFFFFFFu);
    const uint16_t d = AddScreenVertexRaw(-0.5f, h, 0.0f, 1.0f, 0xFFFFFFFFu);
    AddScreenQuad(a, b, c, d);
    FlushScreenBatch();
    DefaultMaterial->texture = saved;
    SetTextureStageStateCached(0, TssMinFilter, TexfLinear);
    SetTextureStageStateCached(0, TssMagFilter, TexfLinear);
    SetRenderStateCached(RsZEnable, 1);
}

PartVertex Corner(float x, float y, float z, float nz = 1.0f)
{
    PartVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.nz = nz;
    v.diffuse = 0xFFFFFFFFu;
    return v;
}

// A box as one item of one untextured part, with its bounds.
RenderObject *BoxObject(const char *name, const float *low, const float *high)
{
    RenderObject *object = CreateRenderObject(name);
    object->InitParts(1, 1);
    object->SetPartMaterial(0, GetMaterial(nullptr, 0, 0, 0, 0, nullptr));
    object->ClearParts();
    RenderPart &part = object->parts[0];
    for (int i = 0; i < 8; ++i) {
        part.AddVertex(Corner(i & 1 ? high[0] : low[0], i & 2 ? high[1] : low[1], i & 4 ? high[2] : low[2]));
    }
    const uint16_t faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                   {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
    for (const auto &f : faces) {
        part.AddTriangle(f[0], f[1], f[2]);
    }
    object->FinishParts();
    object->Build(1);
    SetIdentityMatrix(object->matrix);
    return object;
}

// A square in the plane z of side 2 x half, one item of one part.
RenderObject *SquareObject(const char *name, Material *material, float half, float z)
{
    RenderObject *object = CreateRenderObject(name);
    object->InitParts(1, 1);
    object->SetPartMaterial(0, material);
    object->ClearParts();
    RenderPart &part = object->parts[0];
    part.AddVertex(Corner(-half, -half, z));
    part.AddVertex(Corner(half, -half, z));
    part.AddVertex(Corner(half, half, z));
    part.AddVertex(Corner(-half, half, z));
    part.AddTriangle(0, 1, 2);
    part.AddTriangle(0, 2, 3);
    object->FinishParts();
    object->Build(0);
    SetIdentityMatrix(object->matrix);
    return object;
}

class ShadowPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DisplayAvailable()) {
            GTEST_SKIP() << "no display";
        }
        SetRenderShellLink(CommonShellLink());
        ASSERT_TRUE(UseGraphicsDevice(nullptr));
    }

    void TearDown() override
    {
        ReleaseShadowTextures();
        for (ShadowCaster &caster : ShadowCasters) {
            caster = ShadowCaster{};
        }
        UseDefaultVertexConstants();
        DeleteAllRenderObjects();
        StopGraphics();
        PlatformStopVideo();
        SetRenderShellLink(RenderShellLink{});
        ClearDisplayModeStack();
    }

    // A window of width x height with the device on it, in a scene, cleared.
    void Open(int width, int height, uint32_t clear)
    {
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_TRUE(PlatformCreateWindow(false, PlatformRect{100, 80, 100 + width, 80 + height}));
        const uint32_t start = PlatformTimeMs();
        for (PlatformEvent event; PlatformTimeMs() - start < 300;) {
            while (PlatformPollEvent(&event)) {
            }
            PlatformSleepMs(10);
        }
        Shell.screenWidth = width;
        Shell.screenHeight = height;
        ASSERT_EQ(StartGraphics(), 1);
        ASSERT_EQ(RenderDevice.BackBufferWidth, width);
        BeginRenderScene();
        ClearFrame(clear, ClearTarget | ClearZBuffer);
    }

    // One caster of a box standing on the origin, the light straight down
    // or slanting (its outline then a hexagon with sloping edges).
    RenderObject *BoxCaster(bool slanting = false)
    {
        const float low[3] = {-0.3f, -0.2f, 0.0f};
        const float high[3] = {0.3f, 0.2f, 0.4f};
        RenderObject *box = BoxObject("box", low, high);
        ShadowCaster &caster = ShadowCasters[0];
        caster = ShadowCaster{};
        caster.lightDirection[0] = slanting ? 0.5f : 0.0f;
        caster.lightDirection[1] = slanting ? 0.3f : 0.0f;
        caster.lightDirection[2] = -1.0f;
        caster.horizontalAxis[0] = 1.0f;
        caster.horizontalAxis[1] = slanting ? 0.5f : 0.0f;
        caster.colour[0] = 60;
        caster.colour[1] = 60;
        caster.colour[2] = 60;
        AddShadowCaster(&caster, box, 0);
        return box;
    }
};

TEST_F(ShadowPictureTest, HalvingTurnsAOneTexelCheckerboardIntoUniformGrey)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF0000FFu));
    TextureRecord *board = nullptr;
    ASSERT_EQ(CreateTexture("board", 64, 64, RenderFormatX8R8G8B8, &board, 0, 0, 1, 0), 0);
    DeviceLockedRect locked{};
    ASSERT_EQ(RenderDevice.Device->LockTexture(board->texture, 0, nullptr, 0, &locked), DeviceOk);
    for (int y = 0; y < 64; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.bits) + y * locked.pitch);
        for (int x = 0; x < 64; ++x) {
            row[x] = (x + y) % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    RenderDevice.Device->UnlockTexture(board->texture, 0);
    SetRenderStateCached(RsZEnable, 0);
    DrawShadowHalving(board, 64);
    EndRenderScene();
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 64);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_TRUE(Near(picture.At(x, y), 0x808080u, 3)) << x << ", " << y << ": " << Hex(picture.At(x, y));
        }
    }
    // Only the top-left half-size square is drawn.
    EXPECT_EQ(picture.At(40, 10), 0x0000FFu);
    EXPECT_EQ(picture.At(10, 40), 0x0000FFu);
    DeleteTexture(board);
}

TEST_F(ShadowPictureTest, ABoxCasterGivesASoftDarkBlobCentredInItsTile)
{
    ASSERT_NO_FATAL_FAILURE(Open(128, 128, 0xFF000000u));
    BoxCaster(true);
    RenderShadowTextures(1, 32);
    ASSERT_EQ(ShadowFailure, 0);
    TextureRecord *tile = GetShadowCasterTexture(0);
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->width, 32u);
    EXPECT_EQ(RenderDevice.CurrentRenderTarget, 0u);
    ClearFrame(0xFF0000FFu, ClearTarget | ClearZBuffer);
    ShowTexture(tile, 128, 128);
    EndRenderScene();
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 128);
    // Texel (x, y) of the tile is the 4 x 4 block at (4x, 4y).
    auto texel = [&](int x, int y) { return picture.At(x * 4 + 2, y * 4 + 2); };
    // A white border of one texel; dark in the middle.
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(texel(i, 0), 0xFFFFFFu) << i;
        EXPECT_EQ(texel(0, i), 0xFFFFFFu) << i;
        EXPECT_EQ(texel(i, 31), 0xFFFFFFu) << i;
        EXPECT_EQ(texel(31, i), 0xFFFFFFu) << i;
    }
    EXPECT_LT(Red(texel(16, 16)), 100);
    // Soft: the edge runs through intermediate greys; centred: the dark
    // mass balances about the middle.
    int greys = 0;
    double mass = 0.0;
    double mx = 0.0;
    double my = 0.0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int r = Red(texel(x, y));
            EXPECT_EQ(r, Green(texel(x, y)));
            greys += r > 80 && r < 220 ? 1 : 0;
            const double dark = 255.0 - r;
            mass += dark;
            mx += dark * (x + 0.5);
            my += dark * (y + 0.5);
        }
    }
    EXPECT_GE(greys, 12);
    ASSERT_GT(mass, 0.0);
    EXPECT_NEAR(mx / mass, 16.0, 1.0);
    EXPECT_NEAR(my / mass, 16.0, 1.0);
    ExpectReference(picture, BlobReference, 8, "blob tile");
}

TEST_F(ShadowPictureTest, AMaskedGroundShowsTheBlobWhereTheLightProjectsTheBox)
{
    ASSERT_NO_FATAL_FAILURE(Open(128, 128, 0xFF000000u));
    BoxCaster();
    RenderShadowTextures(1, 32);
    ASSERT_EQ(ShadowFailure, 0);
    ClearFrame(0xFF000000u, ClearTarget | ClearZBuffer);
    VertexConstantSource light;
    light.groundFactors[0] = light.groundFactors[1] = light.groundFactors[2] = 0.0f;
    light.skyColour[0] = light.skyColour[1] = light.skyColour[2] = 0.2f;
    UseVertexConstantSource(&light);
    // The ground seen from straight above: clip space is world x and y.
    float identity[16];
    SetIdentityMatrix(identity);
    SetVertexConstants(0, identity, 4);
    RenderObject *ground = SquareObject("ground", GetMaterial(nullptr, 0, 0, 0, 0, nullptr), 1.0f, 0.5f);
    SetRenderStateCached(RsCullMode, CullNone);
    ground->SetPartVisible(0, 1);
    ground->DrawMasked(1);
    EndRenderScene();
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 128);
    // Dark under the box (x -0.3..0.3, y -0.2..0.2), lit away from it.
    const int centre = Red(picture.At(64, 64));
    const int away = Red(picture.At(8, 8));
    EXPECT_GT(away, 200);
    EXPECT_LT(centre, away / 2);
    // The box is wider in x than in y: so is its shadow.
    EXPECT_LT(Red(picture.At(64 + 16, 64)), Red(picture.At(64, 64 + 16)));
    // Screen y grows downwards, world y upwards; the blob is symmetric.
    EXPECT_NEAR(Red(picture.At(64 - 16, 64)), Red(picture.At(64 + 15, 64)), 24);
    ExpectReference(picture, GroundReference, 8, "masked ground");
}

TEST_F(ShadowPictureTest, ACarPartShowsTheLightMapTexelItsPlaceOnTheStripProjects)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    // A strip of 1000 rows: rows from 480 on are orange, the rest blue.
    std::vector<uint8_t> strip(64 * 1000 * 4);
    for (int row = 0; row < 1000; ++row) {
        for (int x = 0; x < 64; ++x) {
            uint8_t *p = &strip[static_cast<size_t>((row * 64 + x) * 4)];
            const bool orange = row >= 480;
            p[0] = orange ? 200 : 0;
            p[1] = orange ? 100 : 0;
            p[2] = orange ? 50 : 255;
            p[3] = 255;
        }
    }
    LightMapSet map;
    ASSERT_EQ(map.Build(0, 64, 1000, strip.data(), 256, 16), 1);
    ProjectorConstantSource car;
    car.lightMap = &map;
    car.stripFraction = 0.5f;  // segment 2: rows 480..735, page 0, column 2
    car.xScale = 0.001f;
    car.yScale = 0.001f;
    UseVertexConstantSource(&car);
    ASSERT_EQ(car.pageIndex, 0);
    float identity[16];
    SetIdentityMatrix(identity);
    SetVertexConstants(0, identity, 4);
    RenderObject *part = SquareObject("carpart", GetMaterial(nullptr, 0, 1, 0, 0, nullptr), 0.5f, 0.5f);
    SetRenderStateCached(RsCullMode, CullNone);
    part->SetPartVisible(0, 0);
    part->DrawVisible();
    EndRenderScene();
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 64);
    // (200, 100, 50) in five bits a channel: (25, 12, 6) of 31.
    const uint32_t want = PackRgb(25 * 255 / 31, 12 * 255 / 31, 6 * 255 / 31) & 0xFFFFFFu;
    EXPECT_TRUE(Near(picture.At(32, 32), want, 4)) << Hex(picture.At(32, 32)) << " want " << Hex(want);
    EXPECT_TRUE(Near(picture.At(20, 40), want, 4)) << Hex(picture.At(20, 40));
    EXPECT_EQ(picture.At(2, 2), 0u);
    UseDefaultVertexConstants();
    map.Release();
}

TEST_F(ShadowPictureTest, AStripBuiltMeshPartShowsItsLitColours)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    InitViewRecord(&MainView, FixVector{0, 0, 0}, FixVector{0, 0, -65536}, 65536, FixVector{0, 0, 65536});
    // Two sections of a wall five metres ahead: the left one unlit red,
    // the right one lit grey.
    StripMaterial materials[2] = {};
    for (StripMaterial &m : materials) {
        m.uRepeat = 64;
        m.vRepeat = 64;
        m.lengthCount = 1;
        m.subdivisionCount = 1;
    }
    materials[0].colour = Colour{200, 60, 30, 1};
    materials[1].colour = Colour{180, 180, 180, 0};
    materials[1].material = GetMaterial(nullptr, 1, 0, 0, 0, nullptr);  // a list of its own
    const StripSection sections[2] = {{0, 0, 0, 0, 1}, {1, 0, 0, 1, 2}};
    StripMeshInputs inputs{};
    inputs.sectionCount = 2;
    inputs.sections = sections;
    inputs.profileCount = 3;
    inputs.materials = materials;
    inputs.materialCount = 2;
    inputs.lengthFactor = 1.0f;
    inputs.rowCount = 1;
    inputs.flags = StripMaterialLists | StripFixedLengths;
    const int32_t m = 65536;
    const FixVector bottom[3] = {{-m, -m, 5 * m}, {0, -m, 5 * m}, {m, -m, 5 * m}};
    const FixVector top[3] = {{-m, m, 5 * m}, {0, m, 5 * m}, {m, m, 5 * m}};
    TheStripMeshBuilder.Generate(inputs, bottom, nullptr);
    ASSERT_TRUE(TheStripMeshBuilder.AddRow(top, nullptr));
    std::unique_ptr<ObjectMeshPart> part(TheStripMeshBuilder.MakeObjectMeshPart(nullptr));
    ASSERT_NE(part, nullptr);
    ASSERT_EQ(part->listCount, 2);
    // Both lists draw untextured.
    part->lists[1].material = nullptr;
    ResetWorldMatrix();
    ResetViewMatrix();
    ASSERT_EQ(SetPerspective(1.0f, 1.0f, 100.0f, 0.0f, 0.0f), 0);
    SetRenderStateCached(RsCullMode, CullNone);
    part->Draw(0);
    EndRenderScene();
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 64);
    EXPECT_TRUE(Near(picture.At(26, 32), 0xC83C1Eu, 3)) << Hex(picture.At(26, 32));
    const uint32_t lit = part->vertices[part->lists[0].vertexCount].litColour & 0xFFFFFFu;
    EXPECT_TRUE(Near(picture.At(38, 32), lit, 3)) << Hex(picture.At(38, 32)) << " want " << Hex(lit);
    EXPECT_NE(lit, 0u);
    EXPECT_EQ(picture.At(2, 2), 0u);
    // The ambient word when the world's selector asks for it.
    BeginRenderScene();
    ClearFrame(0xFF000000u, ClearTarget | ClearZBuffer);
    ObjectMeshColourSelector = ObjectMeshAmbientWord;
    part->Draw(0);
    ObjectMeshColourSelector = ObjectMeshLitWord;
    EndRenderScene();
    const uint32_t dim = part->vertices[part->lists[0].vertexCount].ambientColour & 0xFFFFFFu;
    EXPECT_TRUE(Near(Shot().At(38, 32), dim, 3)) << " want " << Hex(dim);
}

}  // namespace
