// A default car body built into a model node and drawn on the OpenGL device
// (a real window; Xvfb and Mesa's software driver under
// tools/with_display.sh), once immediately through the world batch and once
// through the node's render object, with the pictures taken the way a
// user's screenshot is: SaveBackBuffer into a BMP file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "core/colour.h"
#include "core/fixed_math.h"
#include "platform/file_system.h"
#include "platform/graphics_device.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/lit_colours.h"
#include "render/material.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/screenshot.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "render/view.h"
#include "tools/body_objects.h"

namespace {

constexpr int Width = 128;
constexpr int Height = 96;
constexpr uint32_t Background = 0x202020;
constexpr int32_t M = 65536;

// The reference: 4 x 4 pixel block averages (0xRRGGBB) of the immediate
// picture, 32 x 24 blocks, rows from the top.
constexpr int BlockSide = 4;
constexpr int BlocksX = Width / BlockSide;
constexpr int BlocksY = Height / BlockSide;
const uint32_t ReferenceBlocks[BlocksX * BlocksY] = {
#include "car_body_reference.inc"
};

// --- The shell's side of the render link ------------------------------------------------------------

int ScreenWidth = 0;
int ScreenHeight = 0;
int Windowed = 1;
int ModeIndex = 0;
int Antialiasing = 0;
int NextShot = 1;
int ShotRequest = 0;
int RefreshRequest = 0;
int NoDraw = 0;

void ConnectShell()
{
    RenderShellLink link{};
    link.screenWidth = &ScreenWidth;
    link.screenHeight = &ScreenHeight;
    link.windowed = &Windowed;
    link.fullScreenModeIndex = &ModeIndex;
    link.antialiasing = &Antialiasing;
    link.nextShot = &NextShot;
    link.screenshotRequest = &ShotRequest;
    link.textureRefreshRequest = &RefreshRequest;
    link.noDrawFlag = &NoDraw;
    SetRenderShellLink(link);
}

// --- Pictures ---------------------------------------------------------------------------------------

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, rows from the top
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Picture ReadBmp(const char *path)
{
    Picture picture;
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr)
        return picture;
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
                for (int x = 0; x < picture.width; ++x)
                    picture.pixels[static_cast<size_t>(y * picture.width + x)] =
                        static_cast<uint32_t>(from[x * 3 + 2]) << 16 | static_cast<uint32_t>(from[x * 3 + 1]) << 8 |
                        from[x * 3];
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
    if (SaveBackBuffer("data\\shots\\model.bmp") != 0)
        return Picture{};
    return ReadBmp("data/shots/model.bmp");
}

int Channel(uint32_t c, int shift)
{
    return static_cast<int>((c >> shift) & 255);
}

std::vector<uint8_t> Mask(const Picture &picture)
{
    std::vector<uint8_t> mask(picture.pixels.size());
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = picture.pixels[i] != Background ? 1 : 0;
    return mask;
}

// Pixels set in `a` with no set pixel of `b` within one pixel.
int Unmatched(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    int count = 0;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            if (!a[static_cast<size_t>(y * Width + x)])
                continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < Width && ny < Height && b[static_cast<size_t>(ny * Width + nx)];
                }
            }
            count += near ? 0 : 1;
        }
    }
    return count;
}

uint32_t BlockAverage(const Picture &picture, int bx, int by)
{
    int sums[3] = {0, 0, 0};
    for (int y = by * BlockSide; y < (by + 1) * BlockSide; ++y) {
        for (int x = bx * BlockSide; x < (bx + 1) * BlockSide; ++x) {
            for (int c = 0; c < 3; ++c)
                sums[c] += Channel(picture.At(x, y), 16 - 8 * c);
        }
    }
    const int n = BlockSide * BlockSide;
    return static_cast<uint32_t>((sums[0] + n / 2) / n) << 16 | static_cast<uint32_t>((sums[1] + n / 2) / n) << 8 |
           static_cast<uint32_t>((sums[2] + n / 2) / n);
}

// --- The fixture ------------------------------------------------------------------------------------

Material PlainMaterial{};

// Every texture answers one material without a texture: the lists keep
// their surface colours, and the render object gets a part.
Material *PlainLookup(const char *, int, int, int, uint8_t *)
{
    return &PlainMaterial;
}

class CarBodyPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || display[0] == 0)
            GTEST_SKIP() << "no display";
        BuildTrigTables();
        InitIdentityTransform();
        ConnectShell();
        ASSERT_TRUE(UseGraphicsDevice(nullptr));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_TRUE(PlatformCreateWindow(false, PlatformRect{100, 80, 100 + Width, 80 + Height}));
        const uint32_t start = PlatformTimeMs();
        for (PlatformEvent event; PlatformTimeMs() - start < 300;) {
            while (PlatformPollEvent(&event)) {
            }
            PlatformSleepMs(10);
        }
        ScreenWidth = Width;
        ScreenHeight = Height;
        ASSERT_EQ(StartGraphics(), 1);
        ASSERT_EQ(RenderDevice.BackBufferWidth, Width);

        // The view: looking along +z, light from above and behind the eye.
        previousView = CurrentView;
        view = ViewRecord{};
        CurrentView = &view;
        view.groundColour = {90, 90, 90, 0};
        view.skyLight[0] = view.skyLight[1] = view.skyLight[2] = 200;
        view.upView = {0, M, 0};
        view.sunDirView = {0, 46341, -46341};
        for (int32_t &level : view.sunLight)
            level = 200;
        UpdateHemisphereLight();
        std::memcpy(savedPlanes, ViewPlanes, sizeof(savedPlanes));
        const int32_t d = 46341;
        ViewPlanes[ViewPlaneBottom] = {0, d, d};
        ViewPlanes[ViewPlaneTop] = {0, -d, d};
        ViewPlanes[ViewPlaneRight] = {-d, 0, d};
        ViewPlanes[ViewPlaneLeft] = {d, 0, d};

        // The largest body, level 0, without its child parts.
        int best = 0;
        for (int b = 0; b < BodyCodeCount; ++b) {
            Object3D candidate;
            InitObject3D(&candidate);
            ASSERT_EQ(BuildBodyObject(b, &candidate), 1);
            int count = 0;
            for (int t = 0; t < candidate.triangleCount; ++t)
                count += candidate.triangles[t].lod == 0;
            if (count > best) {
                best = count;
                bodyIndex = b;
            }
            FreeObject3D(&candidate);
        }
        InitObject3D(&body);
        ASSERT_EQ(BuildBodyObject(bodyIndex, &body), 1);
        SetObjectTextureLookup(PlainLookup);
        LoadObjectTextures(&body, 0, 1, 0, AllObjectParts);
        node = CreateModelNode();
        BuildModelFromObject(&body, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
        ASSERT_GT(node->triangleCount, 100);

        // Object (x across the car, y along it, z up) to view: the car seen
        // from its side and 20 degrees above, 5 m away, its middle on the
        // view axis.
        const int32_t c = 61584;  // cos 20 degrees
        const int32_t s = 22415;  // sin 20 degrees
        FixMatrix turn{};
        SetFixMatrix(turn, 0, M, 0, s, 0, c, c, 0, -s);
        placement.Set(turn, FixVector{0, -M / 2, 5 * M});
    }

    void TearDown() override
    {
        DeleteModelNode(node);
        node = nullptr;
        FreeObject3D(&body);
        SetObjectTextureLookup(nullptr);
        DeleteAllRenderObjects();
        if (previousView != nullptr || CurrentView == &view)
            CurrentView = previousView;
        std::memcpy(ViewPlanes, savedPlanes, sizeof(savedPlanes));
        StopGraphics();
        PlatformStopVideo();
        SetRenderShellLink(RenderShellLink{});
        ClearDisplayModeStack();
    }

    void BeginPicture()
    {
        BeginRenderScene();
        ClearFrame(0xFF000000u | Background, ClearTarget | ClearZBuffer);
        ASSERT_EQ(SetPerspective(1.0f, 0.5f, 2000.0f, 0.0f, 0.0f), 0);
        SetRenderStateCached(RsCullMode, CullNone);
        SetRenderStateCached(RsLighting, 0);
        ResetWorldMatrix();
        ResetViewMatrix();
    }

    // The node through its render object: the same placement as the
    // device's world matrix, every part's item 0 with the fixed pipeline.
    void DrawThroughRenderObject()
    {
        RenderObject *object = node->GetRenderObject();
        ASSERT_NE(object, nullptr);
        ASSERT_GT(object->partCount, 0);
        float world[16];
        SetIdentityMatrix(world);
        const FixMatrix &m = placement.matrix;
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col)
                world[col * 4 + row] = static_cast<float>(m.m[row * 3 + col]) / 65536.0f;
        }
        world[12] = static_cast<float>(placement.position.x) / 65536.0f;
        world[13] = static_cast<float>(placement.position.y) / 65536.0f;
        world[14] = static_cast<float>(placement.position.z) / 65536.0f;
        SetWorldMatrix(world);
        SetStageTexture(0, nullptr);
        SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
        SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
        const uint32_t bits[2] = {1, 0};
        for (int p = 0; p < object->partCount; ++p) {
            SetVertexShaderCached(GetFvfForVertexKind(object->parts[p].vertexKind));
            FlushStateCache();
            object->parts[p].DrawItems(bits, 0, 0, 0);
        }
        ResetWorldMatrix();
    }

    Object3D body{};
    int bodyIndex = 0;
    ModelNode *node = nullptr;
    FixTransform placement{};
    ViewRecord view{};
    ViewRecord *previousView = nullptr;
    FixVector savedPlanes[ViewPlaneCount]{};
};

TEST_F(CarBodyPictureTest, ImmediateAndRenderObjectDrawingsShowTheSameBody)
{
    ASSERT_NO_FATAL_FAILURE(BeginPicture());
    node->Draw(0, placement, 0);
    const Picture immediate = Shot();
    ASSERT_EQ(immediate.width, Width);
    ASSERT_EQ(immediate.height, Height);
    EndRenderScene();

    ASSERT_NO_FATAL_FAILURE(BeginPicture());
    ASSERT_NO_FATAL_FAILURE(DrawThroughRenderObject());
    const Picture throughObject = Shot();
    EndRenderScene();

    // The silhouettes agree within a one-pixel edge.
    const std::vector<uint8_t> a = Mask(immediate);
    const std::vector<uint8_t> b = Mask(throughObject);
    int covered = 0;
    for (uint8_t bit : a)
        covered += bit;
    EXPECT_GT(covered, Width * Height / 10) << "the body fills a good part of the picture";
    EXPECT_EQ(Unmatched(a, b), 0);
    EXPECT_EQ(Unmatched(b, a), 0);

    // The body's extent on screen: its length across most of the width,
    // centred; nothing drawn in the top and bottom rows.
    int left = Width;
    int right = -1;
    int top = Height;
    int bottom = -1;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            if (!a[static_cast<size_t>(y * Width + x)])
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    EXPECT_GT(right - left, Width / 2);
    EXPECT_LT(std::abs((left + right) - Width), Width / 8);
    EXPECT_GT(top, 0);
    EXPECT_LT(bottom, Height - 1);

    // Lit on the processor: the drawn body is not one flat colour.
    uint32_t first = 0;
    bool varied = false;
    for (size_t i = 0; i < immediate.pixels.size(); ++i) {
        if (!a[i])
            continue;
        if (first == 0)
            first = immediate.pixels[i];
        varied = varied || immediate.pixels[i] != first;
    }
    EXPECT_TRUE(varied);

    // The immediate picture against its committed reference, block by block.
    const char *write = std::getenv("KZV_WRITE_MODEL_REFERENCE");
    if (write != nullptr && write[0] != 0) {
        FILE *file = std::fopen(write, "w");
        ASSERT_NE(file, nullptr);
        for (int by = 0; by < BlocksY; ++by) {
            for (int bx = 0; bx < BlocksX; ++bx)
                std::fprintf(file, "0x%06X,%s", BlockAverage(immediate, bx, by), bx + 1 == BlocksX ? "\n" : " ");
        }
        std::fclose(file);
    }
    int off = 0;
    int worst = 0;
    for (int by = 0; by < BlocksY; ++by) {
        for (int bx = 0; bx < BlocksX; ++bx) {
            const uint32_t got = BlockAverage(immediate, bx, by);
            const uint32_t want = ReferenceBlocks[by * BlocksX + bx];
            int difference = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                difference = std::max(difference, std::abs(Channel(got, shift) - Channel(want, shift)));
            worst = std::max(worst, difference);
            off += difference > 12 ? 1 : 0;
        }
    }
    EXPECT_LE(off, BlocksX * BlocksY / 100) << "blocks off the reference; the worst by " << worst;
    PresentFrame();
}

// The skinned draw with one identity bone puts the body on the pixels of the
// plain draw; the garage preview moves it 1000 m further away.
TEST_F(CarBodyPictureTest, SkinnedAndPreviewDrawings)
{
    ASSERT_NO_FATAL_FAILURE(BeginPicture());
    node->Draw(0, placement, 0);
    const std::vector<uint8_t> plain = Mask(Shot());
    EndRenderScene();

    ASSERT_NO_FATAL_FAILURE(BeginPicture());
    const FixTransform bone = IdentityTransform;
    node->DrawSkinned(placement, &bone, 1);
    const Picture skinned = Shot();
    EndRenderScene();
    ASSERT_EQ(skinned.width, Width);
    EXPECT_EQ(Mask(skinned), plain);

    // The preview with a lens 201 times narrower: 1005 m away, the body
    // takes about the place it takes at 5 m.
    ASSERT_NO_FATAL_FAILURE(BeginPicture());
    ASSERT_EQ(SetPerspective(1.0f / 201.0f, 0.5f, 2000.0f, 0.0f, 0.0f), 0);
    GaragePreview = 1;
    node->Draw(0, placement, 0);
    GaragePreview = 0;
    const std::vector<uint8_t> far = Mask(Shot());
    EndRenderScene();
    // Without the perspective of the near view the outline differs a
    // little: the body stays within the box of the near picture and keeps
    // most of its area.
    int box[2][4];
    int area[2] = {0, 0};
    const std::vector<uint8_t> *masks[2] = {&plain, &far};
    for (int i = 0; i < 2; ++i) {
        box[i][0] = Width;
        box[i][1] = -1;
        box[i][2] = Height;
        box[i][3] = -1;
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                if (!(*masks[i])[static_cast<size_t>(y * Width + x)])
                    continue;
                area[i]++;
                box[i][0] = std::min(box[i][0], x);
                box[i][1] = std::max(box[i][1], x);
                box[i][2] = std::min(box[i][2], y);
                box[i][3] = std::max(box[i][3], y);
            }
        }
    }
    EXPECT_GE(box[1][0], box[0][0] - 2);
    EXPECT_LE(box[1][1], box[0][1] + 2);
    EXPECT_GE(box[1][2], box[0][2] - 2);
    EXPECT_LE(box[1][3], box[0][3] + 2);
    EXPECT_GT(area[1], area[0] * 3 / 4);
    PresentFrame();
}

}  // namespace
