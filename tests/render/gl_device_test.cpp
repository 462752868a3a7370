#include "core/card_config.h"
#include "core/colour.h"
#include "platform/file_system.h"
#include "platform/gl_context.h"
#include "platform/gl_device.h"
#include "platform/timer.h"
#include "platform/vertex_program.h"
#include "platform/window.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/number_plates.h"
#include "render/software_raster.h"
#include "render/standard_textures.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"
#include "render/vertex_shaders.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/screenshot.h"
#include "render/shadow_casters.h"
#include "render/state_cache.h"

#include "render_fixtures.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The OpenGL device under a real display (Xvfb with Mesa's software
// renderer in the test runs). Every picture is taken the way a user's
// screenshot is: through SaveBackBuffer into a BMP file.

namespace {

using namespace render_test;

void ConnectShell()
{
    SetRenderShellLink(render_test::CommonShellLink());
}

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

// A picture read back from a 24-bit BMP file: 0xRRGGBB per pixel, rows from
// the top.
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

// The back buffer as a screenshot sees it.
Picture Shot()
{
    PlatformMakeDirectory("data");
    PlatformMakeDirectory("data\\shots");
    if (SaveBackBuffer("data\\shots\\gl_test.bmp") != 0) {
        return Picture{};
    }
    return ReadBmp("data/shots/gl_test.bmp");
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

// --- Drawing straight through the device -------------------------------------------------------

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;  // ARGB, stored blue first
    uint32_t specular;
    float u, v;
};
constexpr uint32_t ScreenFvf = FvfXyzRhw | FvfDiffuse | FvfSpecular | (1u << FvfTexCountShift);

struct WorldVertex {
    float x, y, z;
    uint32_t diffuse;
};
constexpr uint32_t WorldFvf = FvfXyz | FvfDiffuse;

// Draws triangles (three vertices each) from the given vertices.
template <typename Vertex>
void DrawTriangles(const std::vector<Vertex> &vertices, uint32_t fvf)
{
    GraphicsDevice *device = RenderDevice.Device;
    ASSERT_NE(device, nullptr);
    FlushStateCache();
    uint32_t vb = 0;
    uint32_t ib = 0;
    const int bytes = static_cast<int>(vertices.size() * sizeof(Vertex));
    ASSERT_EQ(device->CreateVertexBuffer(bytes, UsageDynamicWriteOnly, fvf, PoolDefault, &vb), DeviceOk);
    ASSERT_EQ(device->CreateIndexBuffer(static_cast<int>(vertices.size() * 2), UsageDynamicWriteOnly,
                                        RenderFormatIndex16, PoolDefault, &ib),
              DeviceOk);
    void *data = nullptr;
    ASSERT_EQ(device->LockBuffer(vb, 0, bytes, LockDiscard, &data), DeviceOk);
    std::memcpy(data, vertices.data(), static_cast<size_t>(bytes));
    device->UnlockBuffer(vb);
    ASSERT_EQ(device->LockBuffer(ib, 0, static_cast<int>(vertices.size() * 2), LockDiscard, &data), DeviceOk);
    uint16_t *indices = static_cast<uint16_t *>(data);
    for (size_t i = 0; i < vertices.size(); ++i) {
        indices[i] = static_cast<uint16_t>(i);
    }
    device->UnlockBuffer(ib);
    device->SetVertexShader(fvf);
    device->SetStreamSource(vb, sizeof(Vertex));
    device->SetIndices(ib, 0);
    EXPECT_EQ(device->DrawIndexedTriangles(0, static_cast<int>(vertices.size()), 0,
                                           static_cast<int>(vertices.size() / 3)),
              DeviceOk);
    device->ReleaseBuffer(vb);
    device->ReleaseBuffer(ib);
}

// A rectangle of pixels x0..x1-1, y0..y1-1 (screen corners half a pixel
// before the centres), wound clockwise on screen.
void AddRect(std::vector<ScreenVertex> &out, float x0, float y0, float x1, float y1, uint32_t colour,
             float z = 0.5f, uint32_t specular = 0)
{
    const ScreenVertex a = {x0 - 0.5f, y0 - 0.5f, z, 1.0f, colour, specular, 0.0f, 0.0f};
    const ScreenVertex b = {x1 - 0.5f, y0 - 0.5f, z, 1.0f, colour, specular, 1.0f, 0.0f};
    const ScreenVertex c = {x1 - 0.5f, y1 - 0.5f, z, 1.0f, colour, specular, 1.0f, 1.0f};
    const ScreenVertex d = {x0 - 0.5f, y1 - 0.5f, z, 1.0f, colour, specular, 0.0f, 1.0f};
    out.insert(out.end(), {a, b, c, a, c, d});
}

// A texture filled with texels of 4 bytes (ARGB) or 2 bytes per texel.
uint32_t MakeTexture(int width, int height, uint32_t format, const void *texels, uint32_t usage = 0)
{
    uint32_t texture = 0;
    if (RenderDevice.Device->CreateTexture(width, height, 1, usage, format,
                                           usage != 0 ? PoolDefault : PoolManaged, &texture) != DeviceOk) {
        return 0;
    }
    DeviceLockedRect locked{};
    if (texels != nullptr && RenderDevice.Device->LockTexture(texture, 0, nullptr, 0, &locked) == DeviceOk) {
        std::memcpy(locked.bits, texels, static_cast<size_t>(FormatLevelBytes(format, width, height)));
        RenderDevice.Device->UnlockTexture(texture, 0);
    }
    return texture;
}

// One texture, point-sampled, modulated by the diffuse colour.
void UseTexture(uint32_t texture, uint32_t filter = TexfPoint)
{
    RenderDevice.Device->SetTexture(0, texture);
    SetTextureStageStateCached(0, TssMinFilter, filter);
    SetTextureStageStateCached(0, TssMagFilter, filter);
    SetTextureStageStateCached(0, TssMipFilter, TexfNone);
    SetTextureStageStateCached(0, TssAddressU, TaddressClamp);
    SetTextureStageStateCached(0, TssAddressV, TaddressClamp);
}

// --- The fixture ----------------------------------------------------------------------------------

// --- A real window and OpenGL context (needs a display, e.g. Xvfb) ---------------------

class OpenGlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DisplayAvailable()) {
            GTEST_SKIP() << "no display";
        }
        ConnectShell();
        ASSERT_TRUE(UseGraphicsDevice(nullptr));
    }

    void TearDown() override
    {
        StopGraphics();
        PlatformStopVideo();
        SetRenderShellLink(RenderShellLink{});
        ClearDisplayModeStack();
    }

    // The colour of a back-buffer pixel, y from the top.
    static uint32_t PixelAt(int x, int y)
    {
        const Picture picture = Shot();
        if (x >= picture.width || y >= picture.height) {
            return 0xDEADBEEF;
        }
        return PackRgb(0, 0, 0) | picture.At(x, y);
    }

    // A window whose drawing area is width x height, with the device on it,
    // in a scene, cleared to the colour.
    void Open(int width, int height, uint32_t clear)
    {
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_TRUE(PlatformCreateWindow(false, PlatformRect{100, 80, 100 + width, 80 + height}));
        WaitForWindow();
        Shell.screenWidth = width;
        Shell.screenHeight = height;
        ASSERT_EQ(StartGraphics(), 1);
        ASSERT_EQ(RenderDevice.BackBufferWidth, width);
        BeginRenderScene();
        ClearFrame(clear, ClearTarget | ClearZBuffer);
    }

    static void WaitForWindow()
    {
        const uint32_t start = PlatformTimeMs();
        for (PlatformEvent event; PlatformTimeMs() - start < 300;) {
            while (PlatformPollEvent(&event)) {
            }
            PlatformSleepMs(10);
        }
    }
};

TEST_F(OpenGlDeviceTest, ClearsReadsBackSavesAShotAndFollowsAResize)
{
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    ASSERT_NE(adapter, nullptr);
    ASSERT_GT(adapter->modeCount, 0u);
    EXPECT_GT(adapter->desktopMode.width, 0u);
    for (uint32_t i = 0; i < adapter->modeCount; ++i) {
        const DisplayModeEntry &m = adapter->modes[i];
        EXPECT_GE(m.width, 640u);
        EXPECT_GE(m.height, 480u);
        EXPECT_EQ(m.skip, 0);
        EXPECT_EQ(m.is16Bit, m.format == RenderFormatR5G6B5 || m.format == RenderFormatX1R5G5B5 ? 1 : 0);
        EXPECT_NE(m.depthFormat, 0u);
    }

    // Without the window there is nothing to make the device on.
    Shell.screenWidth = 320;
    Shell.screenHeight = 240;
    EXPECT_EQ(StartGraphics(), 0);
    EXPECT_TRUE(Contains(LogLines, "Can't Create Device"));
    EXPECT_TRUE(Contains(LogLines, "Could not initialise KZVE"));
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);

    ASSERT_TRUE(PlatformCreateWindow(false, PlatformRect{100, 80, 420, 320}));
    WaitForWindow();
    ASSERT_EQ(StartGraphics(), 1);
    ASSERT_TRUE(PlatformHasGlContext());
    EXPECT_EQ(RenderDevice.BackBufferWidth, 320);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 240);
    EXPECT_GE(RenderDevice.DeviceCaps.maxTextureWidth, 64);
    EXPECT_GE(RenderDevice.DeviceCaps.maxSimultaneousTextures, 1);
    EXPECT_NE(adapter->description[0], 0);

    // The frame start clears to the view's ground colour.
    Shell.groundColour = PackRgb(40, 160, 90);
    PushDisplayMode(DisplayModeGroundClear);
    FrameBegun = 0;
    DrawFrameBackground();
    EXPECT_EQ(RenderDevice.InScene, 1);
    EXPECT_EQ(PixelAt(0, 0), PackRgb(40, 160, 90));
    EXPECT_EQ(PixelAt(319, 239), PackRgb(40, 160, 90));
    EndDrawFrame();

    // The shot is the finished frame, before it is presented.
    ASSERT_TRUE(PlatformMakeDirectory("data"));
    ASSERT_TRUE(PlatformMakeDirectory("data\\shots"));
    std::remove("data/shots/kzv_00000041.bmp");
    std::remove("data/shots/kzv_00000042.bmp");
    Shell.nextShot = 41;
    Shell.screenshotRequest = 1;
    TakeScreenshot();
    EXPECT_EQ(Shell.screenshotRequest, 0);
    EXPECT_EQ(Shell.nextShot, 42);
    EXPECT_EQ(HudNotes, std::vector<std::string>({"data\\shots\\kzv_00000041.bmp"}));
    FILE *file = std::fopen("data/shots/kzv_00000041.bmp", "rb");
    ASSERT_NE(file, nullptr);
    uint8_t bmp[54 + 3] = {};
    const size_t got = std::fread(bmp, 1, sizeof(bmp), file);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    ASSERT_EQ(got, sizeof(bmp));
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 320);  // width
    EXPECT_EQ(bmp[22] | bmp[23] << 8, 240);  // height
    EXPECT_EQ(bmp[28], 24);                  // bits per pixel
    EXPECT_EQ(size, 54 + 320 * 3 * 240);
    EXPECT_EQ(bmp[54], 90);   // blue
    EXPECT_EQ(bmp[55], 160);  // green
    EXPECT_EQ(bmp[56], 40);   // red
    PresentFrame();

    // The user makes the window larger.
    PlatformApplyWindowStyle(false, PlatformRect{100, 80, 500, 380});
    WaitForWindow();
    EXPECT_EQ(ResizeWindowedDevice(), 0);
    EXPECT_EQ(Shell.screenWidth, 400);
    EXPECT_EQ(Shell.screenHeight, 300);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 400);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 300);
    EXPECT_EQ(RenderDevice.Viewport.width, 400);
    Shell.groundColour = PackRgb(200, 30, 120);
    FrameBegun = 0;
    DrawFrameBackground();
    EXPECT_EQ(PixelAt(0, 0), PackRgb(200, 30, 120));
    EXPECT_EQ(PixelAt(399, 299), PackRgb(200, 30, 120));
    EndDrawFrame();
    PresentFrame();

    StopGraphics();
    EXPECT_FALSE(PlatformHasGlContext());
    EXPECT_EQ(RenderDevice.RendererStarted, 0);
}

// An "F" of rectangles (clockwise) and a square wound the other way, which
// the default cull mode drops; beside it a 4 x 4 texture whose top-left
// texel is marked. Drawn to the back buffer, and into a texture target that
// is then drawn onto the screen texel for texel: both pictures must be the
// reference, pixel for pixel.
void DrawFigure(uint32_t marked)
{
    std::vector<ScreenVertex> quads;
    const uint32_t red = 0xFFFF0000u;
    AddRect(quads, 10, 10, 20, 60, red);  // the stem
    AddRect(quads, 20, 10, 50, 20, red);  // the top bar
    AddRect(quads, 20, 30, 40, 40, red);  // the middle bar
    const ScreenVertex a = {69.5f, 9.5f, 0.5f, 1.0f, red, 0, 0, 0};
    const ScreenVertex b = {89.5f, 9.5f, 0.5f, 1.0f, red, 0, 0, 0};
    const ScreenVertex c = {89.5f, 29.5f, 0.5f, 1.0f, red, 0, 0, 0};
    quads.insert(quads.end(), {a, c, b});  // counter-clockwise on screen
    UseTexture(0);
    DrawTriangles(quads, ScreenFvf);
    std::vector<ScreenVertex> textured;
    AddRect(textured, 10, 70, 50, 110, 0xFFFFFFFFu);
    UseTexture(marked);
    DrawTriangles(textured, ScreenFvf);
    UseTexture(0);
}

uint32_t FigureReference(int x, int y)
{
    const bool stem = x >= 10 && x < 20 && y >= 10 && y < 60;
    const bool top = x >= 20 && x < 50 && y >= 10 && y < 20;
    const bool middle = x >= 20 && x < 40 && y >= 30 && y < 40;
    if (stem || top || middle) {
        return 0xFF0000;
    }
    if (x >= 10 && x < 50 && y >= 70 && y < 110) {
        return x < 20 && y < 80 ? 0x0000FF : 0xFFFFFF;
    }
    return 0x202020;
}

TEST_F(OpenGlDeviceTest, FigureMatchesItsReferenceOnScreenAndThroughATextureTarget)
{
    ASSERT_NO_FATAL_FAILURE(Open(256, 128, 0xFF202020u));
    uint32_t texels[16];
    for (uint32_t &t : texels) {
        t = 0xFFFFFFFFu;
    }
    texels[0] = 0xFF0000FFu;  // blue, top left
    const uint32_t marked = MakeTexture(4, 4, RenderFormatA8R8G8B8, texels);
    ASSERT_NE(marked, 0u);
    DrawFigure(marked);

    // The same figure into a 128 x 128 target, then onto the right half.
    uint32_t target = 0;
    ASSERT_EQ(RenderDevice.Device->CreateTexture(128, 128, 1, UsageRenderTarget, RenderFormatA8R8G8B8, PoolDefault,
                                                 &target),
              DeviceOk);
    ASSERT_EQ(BeginRenderToTexture(target, 1), 1);
    BeginRenderScene();
    ClearFrame(0xFF202020u, ClearTarget | ClearZBuffer);
    DrawFigure(marked);
    EndRenderToTexture();
    BeginRenderScene();
    std::vector<ScreenVertex> copy;
    AddRect(copy, 128, 0, 256, 128, 0xFFFFFFFFu);
    UseTexture(target);
    DrawTriangles(copy, ScreenFvf);
    UseTexture(0);
    EndRenderScene();

    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 256);
    ASSERT_EQ(picture.height, 128);
    int wrong = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const uint32_t want = FigureReference(x, y);
            if (picture.At(x, y) != want || picture.At(x + 128, y) != want) {
                if (++wrong < 5) {
                    ADD_FAILURE() << "at " << x << "," << y << ": " << Hex(picture.At(x, y)) << " and "
                                  << Hex(picture.At(x + 128, y)) << ", want " << Hex(want);
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    RenderDevice.Device->ReleaseTexture(target);
    RenderDevice.Device->ReleaseTexture(marked);
    PresentFrame();
}

// Texel centres fall on pixel centres for a quad from -0.5 to 3.5; from 0 to
// 4 every pixel sits between four texels.
TEST_F(OpenGlDeviceTest, TexturesMapTexelForTexelOnTheHalfPixelRule)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    uint32_t texels[16];
    for (int i = 0; i < 16; ++i) {
        texels[i] = (i + i / 4) % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u;  // a chequer
    }
    const uint32_t texture = MakeTexture(4, 4, RenderFormatA8R8G8B8, texels);
    UseTexture(texture, TexfLinear);
    std::vector<ScreenVertex> exact;
    AddRect(exact, 0, 0, 4, 4, 0xFFFFFFFFu);
    std::vector<ScreenVertex> shifted;
    AddRect(shifted, 10.5f, 0.5f, 14.5f, 4.5f, 0xFFFFFFFFu);
    DrawTriangles(exact, ScreenFvf);
    DrawTriangles(shifted, ScreenFvf);
    const Picture picture = Shot();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const uint32_t want = (x + y) % 2 == 0 ? 0xFFFFFF : 0x000000;
            EXPECT_EQ(picture.At(x, y), want) << x << "," << y;
        }
    }
    // Between the texels: a blend, neither black nor white.
    const uint32_t middle = picture.At(11, 1);
    EXPECT_GT(Red(middle), 40) << Hex(middle);
    EXPECT_LT(Red(middle), 215) << Hex(middle);
    RenderDevice.Device->ReleaseTexture(texture);
}

TEST_F(OpenGlDeviceTest, NearerDepthHidesFartherAndBeyondOneIsClipped)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    UseTexture(0);
    SetRenderStateCached(RsZFunc, CmpLessEqual);
    std::vector<ScreenVertex> near;
    AddRect(near, 0, 0, 32, 32, 0xFF00FF00u, 0.5f);
    std::vector<ScreenVertex> far;
    AddRect(far, 16, 16, 48, 48, 0xFFFF0000u, 0.9f);
    std::vector<ScreenVertex> beyond;
    AddRect(beyond, 50, 50, 60, 60, 0xFF0000FFu, 1.0001f);
    DrawTriangles(near, ScreenFvf);
    DrawTriangles(far, ScreenFvf);
    SetRenderStateCached(RsZEnable, 0);
    DrawTriangles(beyond, ScreenFvf);
    SetRenderStateCached(RsZEnable, 1);
    const Picture picture = Shot();
    EXPECT_EQ(picture.At(20, 20), 0x00FF00u);  // both: the nearer
    EXPECT_EQ(picture.At(40, 40), 0xFF0000u);  // the farther alone
    EXPECT_EQ(picture.At(55, 55), 0x000000u);  // clipped
}

// Every texture format, filled with known texels, reads back within its bit
// depth.
TEST_F(OpenGlDeviceTest, EveryTextureFormatReadsBackItsTexels)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    struct Case {
        const char *name;
        uint32_t format;
        std::vector<uint8_t> texels;  // 2 x 2
        uint32_t want[4];
        int tolerance;
    };
    const Case cases[] = {
        {"A8R8G8B8", RenderFormatA8R8G8B8,
         {0x10, 0x20, 0x30, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF},
         {0x302010, 0x0000FF, 0x00FF00, 0xFF0000},
         0},
        {"X8R8G8B8 (alpha 1)", RenderFormatX8R8G8B8,
         {0x10, 0x20, 0x30, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00},
         {0x302010, 0x0000FF, 0x00FF00, 0xFF0000},
         0},
        {"R5G6B5", RenderFormatR5G6B5, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF}, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 8},
        {"A1R5G5B5", RenderFormatA1R5G5B5, {0x00, 0xFC, 0xE0, 0x83, 0x1F, 0x80, 0xFF, 0xFF}, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 8},
        {"A4R4G4B4", RenderFormatA4R4G4B4, {0x00, 0xFF, 0xF0, 0xF0, 0x0F, 0xF0, 0x88, 0xF8}, {0xFF0000, 0x00FF00, 0x0000FF, 0x888888}, 17},
        {"L8", RenderFormatL8, {0x00, 0x40, 0x80, 0xFF}, {0x000000, 0x404040, 0x808080, 0xFFFFFF}, 0},
    };
    for (const Case &c : cases) {
        ClearFrame(0xFF000000u, ClearTarget);
        const uint32_t texture = MakeTexture(2, 2, c.format, c.texels.data());
        ASSERT_NE(texture, 0u) << c.name;
        UseTexture(texture);
        SetRenderStateCached(RsAlphaTestEnable, 1);  // transparent texels would vanish
        SetRenderStateCached(RsAlphaFunc, CmpGreaterEqual);
        SetRenderStateCached(RsAlphaRef, 128);
        std::vector<ScreenVertex> quad;
        AddRect(quad, 0, 0, 2, 2, 0xFFFFFFFFu);
        DrawTriangles(quad, ScreenFvf);
        SetRenderStateCached(RsAlphaTestEnable, 0);
        const Picture picture = Shot();
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(Near(picture.At(i % 2, i / 2), c.want[i], c.tolerance))
                << c.name << " texel " << i << ": " << Hex(picture.At(i % 2, i / 2)) << ", want " << Hex(c.want[i]);
        }
        RenderDevice.Device->ReleaseTexture(texture);
    }
}

// DXT1 keeps its one-bit alpha: a cut-out texel is not drawn; DXT3 carries
// explicit alpha.
TEST_F(OpenGlDeviceTest, CompressedTexturesKeepTheirAlpha)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    if (!RenderDevice.DeviceCaps.dxt1Textures) {
        GTEST_SKIP() << "no S3TC";
    }
    // Colour 0 red, colour 1 blue: four-colour mode, every texel colour 0.
    const uint8_t solid[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00};
    // Colour 0 below colour 1: three colours and transparent; index 3 everywhere.
    const uint8_t cutOut[8] = {0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF};
    // DXT3: alpha 15 in the top row, 0 elsewhere; colour green.
    const uint8_t explicitAlpha[16] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0xE0, 0x07, 0, 0, 0, 0};
    SetRenderStateCached(RsAlphaTestEnable, 1);
    SetRenderStateCached(RsAlphaFunc, CmpGreaterEqual);
    SetRenderStateCached(RsAlphaRef, 128);
    const uint32_t a = MakeTexture(4, 4, RenderFormatDxt1, solid);
    const uint32_t b = MakeTexture(4, 4, RenderFormatDxt1, cutOut);
    const uint32_t c = MakeTexture(4, 4, RenderFormatDxt3, explicitAlpha);
    ASSERT_NE(a * b * c, 0u);
    for (const auto &[texture, x] : {std::pair<uint32_t, int>{a, 0}, {b, 10}, {c, 20}}) {
        UseTexture(texture);
        std::vector<ScreenVertex> quad;
        AddRect(quad, static_cast<float>(x), 0, static_cast<float>(x + 4), 4, 0xFFFFFFFFu);
        DrawTriangles(quad, ScreenFvf);
    }
    const Picture picture = Shot();
    EXPECT_EQ(picture.At(1, 1), 0xFF0000u);
    EXPECT_EQ(picture.At(11, 1), 0x000000u);  // cut out
    EXPECT_EQ(picture.At(21, 0), 0x00FF00u);  // opaque row
    EXPECT_EQ(picture.At(21, 2), 0x000000u);  // transparent row
}

// Texture stages, the colour sum, blending, the alpha test and fog: each
// case draws one quad over a grey background and reads its middle.
TEST_F(OpenGlDeviceTest, StagesBlendingAlphaTestAndFogGiveTheirPixels)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF808080u));
    const uint32_t texel = 0x80FF8040u;  // alpha 128
    const uint32_t texel127 = 0x7FFF8040u;
    const uint32_t texture = MakeTexture(1, 1, RenderFormatA8R8G8B8, &texel);
    const uint32_t texture127 = MakeTexture(1, 1, RenderFormatA8R8G8B8, &texel127);
    const uint32_t diffuse = 0xFF4080C0u;
    const uint32_t specular = 0xFF202020u;
    struct Case {
        const char *name;
        uint32_t tex;
        uint32_t colourOp;
        uint32_t arg1;
        uint32_t arg2;
        uint32_t stage1Op;  // with CURRENT and SPECULAR
        uint32_t specularEnable;
        uint32_t blend;     // 0 off, else src | dest << 8
        uint32_t alphaTest; // 0 off, else the reference
        uint32_t want;
    };
    const uint32_t grey = 0x808080;
    const Case cases[] = {
        {"texture", texture, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0, 0, 0, 0xFF8040},
        {"diffuse", texture, TopSelectArg1, TaDiffuse, TaTexture, TopDisable, 0, 0, 0, 0x4080C0},
        {"modulate", texture, TopModulate, TaTexture, TaDiffuse, TopDisable, 0, 0, 0, 0x404030},
        {"modulate 2x", texture, TopModulate2x, TaTexture, TaDiffuse, TopDisable, 0, 0, 0, 0x808060},
        {"add", texture, TopAdd, TaTexture, TaDiffuse, TopDisable, 0, 0, 0, 0xFFFFFF},
        {"no texture modulates white", 0, TopModulate, TaTexture, TaDiffuse, TopDisable, 0, 0, 0, 0x4080C0},
        {"stage 1 adds specular", 0, TopSelectArg1, TaDiffuse, TaDiffuse, TopAdd, 0, 0, 0, 0x60A0E0},
        {"colour sum", 0, TopSelectArg1, TaDiffuse, TaDiffuse, TopDisable, 1, 0, 0, 0x60A0E0},
        {"source alpha blend", texture, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0,
         BlendSrcAlpha | BlendInvSrcAlpha << 8, 0, 0xC0805F},
        {"multiply by source colour", texture, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0,
         BlendZero | BlendSrcColor << 8, 0, 0x804020},
        {"destination colour", texture, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0,
         BlendDestColor | BlendZero << 8, 0, 0x804020},
        {"add blend", texture, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0, BlendOne | BlendOne << 8, 0,
         0xFFFFC0},
        {"alpha 128 passes 128", texture, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0, 0, 128, 0xFF8040},
        {"alpha 127 fails 128", texture127, TopSelectArg1, TaTexture, TaDiffuse, TopDisable, 0, 0, 128, grey},
    };
    for (const Case &c : cases) {
        ClearFrame(0xFF808080u, ClearTarget | ClearZBuffer);
        UseTexture(c.tex);
        SetTextureStageStateCached(0, TssColorOp, c.colourOp);
        SetTextureStageStateCached(0, TssColorArg1, c.arg1);
        SetTextureStageStateCached(0, TssColorArg2, c.arg2);
        SetTextureStageStateCached(0, TssAlphaOp, TopSelectArg1);
        SetTextureStageStateCached(0, TssAlphaArg1, TaTexture);
        SetTextureStageStateCached(1, TssColorOp, c.stage1Op);
        SetTextureStageStateCached(1, TssColorArg1, TaCurrent);
        SetTextureStageStateCached(1, TssColorArg2, TaSpecular);
        SetRenderStateCached(RsSpecularEnable, c.specularEnable);
        SetRenderStateCached(RsAlphaBlendEnable, c.blend != 0 ? 1 : 0);
        if (c.blend != 0) {
            SetRenderStateCached(RsSrcBlend, c.blend & 255);
            SetRenderStateCached(RsDestBlend, c.blend >> 8);
        }
        SetRenderStateCached(RsAlphaTestEnable, c.alphaTest != 0 ? 1 : 0);
        SetRenderStateCached(RsAlphaRef, c.alphaTest);
        SetRenderStateCached(RsAlphaFunc, CmpGreaterEqual);
        std::vector<ScreenVertex> quad;
        AddRect(quad, 16, 16, 48, 48, diffuse, 0.5f, specular);
        DrawTriangles(quad, ScreenFvf);
        const uint32_t got = Shot().At(32, 32);
        EXPECT_TRUE(Near(got, c.want, 2)) << c.name << ": " << Hex(got) << ", want " << Hex(c.want);
    }
    ResetTextureStages();
    SetRenderStateCached(RsAlphaBlendEnable, 0);
    SetRenderStateCached(RsAlphaTestEnable, 0);
    UseTexture(0);

    // Linear fog half-way between its start and end: half the fog colour.
    ClearFrame(0xFF000000u, ClearTarget | ClearZBuffer);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    RenderDevice.Device->SetTransform(TransformWorld, identity);
    RenderDevice.Device->SetTransform(TransformView, identity);
    RenderDevice.Device->SetTransform(TransformProjection, identity);
    SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
    SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
    SetRenderStateCached(RsFogEnable, 1);
    SetRenderStateCached(RsFogTableMode, FogLinear);
    SetRenderStateCached(RsFogStart, FloatBits(0.0f));
    SetRenderStateCached(RsFogEnd, FloatBits(1.0f));
    SetRenderStateCached(RsFogColor, 0x0000FF00u);
    const uint32_t white = 0xFFFFFFFFu;
    const std::vector<WorldVertex> world = {{-0.5f, 0.5f, 0.5f, white}, {0.5f, 0.5f, 0.5f, white},
                                            {0.5f, -0.5f, 0.5f, white}, {-0.5f, 0.5f, 0.5f, white},
                                            {0.5f, -0.5f, 0.5f, white}, {-0.5f, -0.5f, 0.5f, white}};
    SetRenderStateCached(RsCullMode, CullNone);
    DrawTriangles(world, WorldFvf);
    // Pre-transformed vertices are never fogged.
    std::vector<ScreenVertex> screen;
    AddRect(screen, 0, 0, 8, 8, white);
    DrawTriangles(screen, ScreenFvf);
    SetRenderStateCached(RsFogEnable, 0);
    SetRenderStateCached(RsCullMode, CullCcw);
    const Picture picture = Shot();
    EXPECT_TRUE(Near(picture.At(32, 32), 0x80FF80, 2)) << Hex(picture.At(32, 32));
    EXPECT_EQ(picture.At(4, 4), 0xFFFFFFu);
    EXPECT_EQ(picture.At(2, 32), 0x000000u);  // the quad is x -0.5..0.5
    RenderDevice.Device->ReleaseTexture(texture);
    RenderDevice.Device->ReleaseTexture(texture127);
}

TEST_F(OpenGlDeviceTest, AntialiasingChangesKeepDrawingAndShotsAtTheSameSize)
{
    ASSERT_NO_FATAL_FAILURE(Open(96, 64, 0xFF000000u));
    for (const int samples : {4, 0}) {
        EndRenderScene();
        ChangeDisplayMode(96, 64, -1, 1, samples);
        EXPECT_EQ(RenderDevice.PresentParams.multiSample, samples);
        BeginRenderScene();
        ClearFrame(0xFF000000u, ClearTarget | ClearZBuffer);
        UseTexture(0);
        // A slanted edge: antialiased, its pixels take part-coverage shades.
        const ScreenVertex a = {10.0f, 10.0f, 0.5f, 1.0f, 0xFFFFFFFFu, 0, 0, 0};
        const ScreenVertex b = {80.0f, 20.0f, 0.5f, 1.0f, 0xFFFFFFFFu, 0, 0, 0};
        const ScreenVertex c = {30.0f, 60.0f, 0.5f, 1.0f, 0xFFFFFFFFu, 0, 0, 0};
        DrawTriangles(std::vector<ScreenVertex>{a, b, c}, ScreenFvf);
        const Picture picture = Shot();
        ASSERT_EQ(picture.width, 96) << samples;
        ASSERT_EQ(picture.height, 64) << samples;
        EXPECT_EQ(picture.At(35, 25), 0xFFFFFFu) << samples;
        int partial = 0;
        for (const uint32_t p : picture.pixels) {
            partial += p != 0 && p != 0xFFFFFF ? 1 : 0;
        }
        if (samples == 4) {
            EXPECT_GT(partial, 20);
        } else {
            EXPECT_EQ(partial, 0);
        }
        PresentFrame();
    }
}

// The batches on the OpenGL device: a screen quad in vertex colours, and an
// AuxBlendBatch quad blended over an AuxBatch quad by its vertex alpha.
TEST_F(OpenGlDeviceTest, BatchesDrawScreenQuadsAndBlendTheAuxBatch)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
    BeginScreenBatch(nullptr);
    const uint16_t a = AddScreenVertexRaw(-0.5f, -0.5f, 0, 0, 0xFF00FF00u);
    const uint16_t b = AddScreenVertexRaw(15.5f, -0.5f, 0, 0, 0xFF00FF00u);
    const uint16_t c = AddScreenVertexRaw(15.5f, 15.5f, 0, 0, 0xFF00FF00u);
    const uint16_t d = AddScreenVertexRaw(-0.5f, 15.5f, 0, 0, 0xFF00FF00u);
    AddScreenQuad(a, b, c, d);
    FlushScreenBatch();

    // Identity transforms: x and y -0.5..0.5 are the middle of the screen.
    float identity[16];
    SetIdentityMatrix(identity);
    RenderDevice.Device->SetTransform(TransformProjection, identity);
    ResetViewMatrix();
    ResetWorldMatrix();
    SetRenderStateCached(RsCullMode, CullNone);
    BeginAuxBatch(nullptr, 0, 0);
    uint16_t v[4];
    const float corners[4][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    for (int i = 0; i < 4; ++i) {
        v[i] = AddAuxVertex(corners[i][0], corners[i][1], 0.5f, 0, 0, 0xFFFF0000u);
    }
    AddAuxQuad(v[0], v[1], v[2], v[3]);
    BeginAuxBlendBatch(nullptr, 4, 2);
    for (int i = 0; i < 4; ++i) {
        v[i] = AddAuxBlendVertex(corners[i][0], corners[i][1], 0.4f, 0, 0, 0x800000FFu);
    }
    AddAuxBlendQuad(v[0], v[1], v[2], v[3]);
    FlushAuxBatches();
    SetRenderStateCached(RsCullMode, CullCcw);
    EndRenderScene();
    const Picture picture = Shot();
    EXPECT_EQ(picture.At(0, 0), 0x00FF00u);
    EXPECT_EQ(picture.At(15, 15), 0x00FF00u);
    EXPECT_EQ(picture.At(10, 20), 0x000000u);
    EXPECT_TRUE(Near(picture.At(32, 32), 0x7F0080, 2)) << Hex(picture.At(32, 32));
    EXPECT_EQ(picture.At(60, 60), 0x000000u);
}

// A screen-batch quad with a 4 x 4 A1R5G5B5 texture whose material tests
// alpha: opaque texels show, cut-out ones leave the background.
TEST_F(OpenGlDeviceTest, ScreenBatchMaterialCutsOutTransparentTexels)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000080u));
    TextureRecord *record = nullptr;
    ASSERT_EQ(CreateTexture("cutout", 4, 4, RenderFormatA1R5G5B5, &record, 0, 0, 1, 0), 0);
    record->alphaReference = 128;
    DeviceLockedRect locked{};
    ASSERT_EQ(RenderDevice.Device->LockTexture(record->texture, 0, nullptr, 0, &locked), DeviceOk);
    for (int y = 0; y < 4; ++y) {
        uint16_t *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(locked.bits) + y * locked.pitch);
        for (int x = 0; x < 4; ++x) {
            row[x] = (x + y) % 2 == 0 ? 0xFFE0 : 0x7C00;  // opaque yellow, transparent red
        }
    }
    RenderDevice.Device->UnlockTexture(record->texture, 0);
    Material *material = GetMaterial(record, 0, 0, 1, 0, nullptr);
    SetTextureStageStateCached(0, TssMinFilter, TexfPoint);
    SetTextureStageStateCached(0, TssMagFilter, TexfPoint);
    SetTextureStageStateCached(0, TssMipFilter, TexfNone);
    BeginScreenBatch(material);
    const uint16_t a = AddScreenVertexRaw(-0.5f, -0.5f, 0, 0, 0xFFFFFFFFu);
    const uint16_t b = AddScreenVertexRaw(31.5f, -0.5f, 1, 0, 0xFFFFFFFFu);
    const uint16_t c = AddScreenVertexRaw(31.5f, 31.5f, 1, 1, 0xFFFFFFFFu);
    const uint16_t d = AddScreenVertexRaw(-0.5f, 31.5f, 0, 1, 0xFFFFFFFFu);
    AddScreenQuad(a, b, c, d);
    FlushScreenBatch();
    EndRenderScene();
    const Picture picture = Shot();
    EXPECT_EQ(picture.At(4, 4), 0xFFFF00u);    // texel (0, 0): opaque
    EXPECT_EQ(picture.At(12, 4), 0x000080u);   // texel (1, 0): cut out
    EXPECT_EQ(picture.At(12, 12), 0xFFFF00u);  // texel (1, 1)
    EXPECT_EQ(picture.At(40, 40), 0x000080u);  // outside
}

// Draws the material's whole texture over the 64 x 64 drawing area with
// point filtering.
void DrawTextureQuad(Material *material)
{
    SetTextureStageStateCached(0, TssMinFilter, TexfPoint);
    SetTextureStageStateCached(0, TssMagFilter, TexfPoint);
    SetTextureStageStateCached(0, TssMipFilter, TexfNone);
    BeginScreenBatch(material);
    const uint16_t a = AddScreenVertexRaw(-0.5f, -0.5f, 0, 0, 0xFFFFFFFFu);
    const uint16_t b = AddScreenVertexRaw(63.5f, -0.5f, 1, 0, 0xFFFFFFFFu);
    const uint16_t c = AddScreenVertexRaw(63.5f, 63.5f, 1, 1, 0xFFFFFFFFu);
    const uint16_t d = AddScreenVertexRaw(-0.5f, 63.5f, 0, 1, 0xFFFFFFFFu);
    AddScreenQuad(a, b, c, d);
    FlushScreenBatch();
}

// The mirror target after the standard set is loaded reads opaque black; a
// plate group's opaque texture shows its dark lettering inside the band of
// its text and the white plate around it.
TEST_F(OpenGlDeviceTest, MirrorTargetIsClearedBlackAndPlateLetteringIsDarkInItsBand)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF0000C0u));
    EndRenderScene();
    ASSERT_EQ(LoadStandardTextures(), 1);
    ASSERT_NE(StandardMaterials.mirror, nullptr);
    PlateGlyphSource source{};
    source.width = [](uint8_t) { return 5.0f; };
    source.draw = [](uint8_t, float left, float top, float width, float height, uint32_t pixel) {
        FillRasterRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + width),
                       static_cast<int>(top + height), pixel);
    };
    SetPlateGlyphSource(source);
    const char text[8] = {'A', 'B', 0};
    ASSERT_EQ(GetNumberPlate(text), 0);
    UpdatePlateTextures();
    ASSERT_NE(PlateGroups[0].opaqueMaterial, nullptr);

    BeginRenderScene();
    DrawTextureQuad(GetMaterial(StandardMaterials.mirror->texture, 0, 0, 1, 0, nullptr));
    EndRenderScene();
    EXPECT_EQ(PixelAt(10, 10), 0xFF000000u);  // opaque black
    EXPECT_EQ(PixelAt(50, 50), 0xFF000000u);

    BeginRenderScene();
    DrawTextureQuad(GetMaterial(PlateGroups[0].opaqueMaterial->texture, 0, 0, 1, 0, nullptr));
    EndRenderScene();
    // Band 0 is rows 0..15 of 64; the two glyphs are centred.
    EXPECT_LT(PixelAt(32, 8) & 0xFF, 40u);
    EXPECT_GT(PixelAt(2, 8) & 0xFF, 215u);
    // Band 3 holds no text: white.
    EXPECT_GT(PixelAt(32, 56) & 0xFF, 215u);
    SetPlateGlyphSource(PlateGlyphSource{});
    ReleasePlateTextures();
    ResetNumberPlates();
}

// A world-batch quad across the fog range: its colour at the near end, the
// fog colour at the far end, linear between.
TEST_F(OpenGlDeviceTest, WorldBatchFogGoesLinearlyToTheFogColour)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    RenderDevice.Device->SetTransform(TransformWorld, identity);
    RenderDevice.Device->SetTransform(TransformView, identity);
    RenderDevice.Device->SetTransform(TransformProjection, identity);
    SetFogRange(0x0000FF, 0.0f, 1.0f);
    EnableFog(1);
    ApplyFogMode(1);
    SetRenderStateCached(RsFogTableMode, FogLinear);
    SetRenderStateCached(RsCullMode, CullNone);
    // Depth 0 at the left edge, 1 at the right: the eye depth is z.
    BeginWorldBatch(nullptr, 0, 0);
    const uint16_t a = AddWorldVertex(-1.0f, 1.0f, 0.0f, 0, 0, 0xFFFF0000u);
    const uint16_t b = AddWorldVertex(1.0f, 1.0f, 0.999f, 0, 0, 0xFFFF0000u);
    const uint16_t c = AddWorldVertex(1.0f, -1.0f, 0.999f, 0, 0, 0xFFFF0000u);
    const uint16_t d = AddWorldVertex(-1.0f, -1.0f, 0.0f, 0, 0, 0xFFFF0000u);
    AddWorldQuad(a, b, c, d);
    FlushWorldBatch();
    EnableFog(0);
    SetRenderStateCached(RsCullMode, CullCcw);
    EndRenderScene();
    const Picture picture = Shot();
    int previousRed = 256;
    for (int x = 0; x < 64; x += 8) {
        const uint32_t p = picture.At(x, 32);
        const float f = 1.0f - (static_cast<float>(x) + 0.5f) / 64.0f;  // the share of the quad's colour
        EXPECT_NEAR(Red(p), 255.0f * f, 3.0f) << x;
        EXPECT_NEAR(Blue(p), 255.0f * (1.0f - f), 3.0f) << x;
        EXPECT_LT(Red(p), previousRed);
        previousRed = Red(p);
    }
}

}  // namespace

namespace {

// A 16 x 16 .raw picture of each alpha kind, loaded through the texture
// files and drawn 1:1 blended over black: the left half colour (200, 100,
// 50), the right half (40, 180, 220); the top half alpha 255, the bottom
// half 96. Each quadrant shows its colour times its alpha as the texture
// format keeps them, uncompressed and compressed (DXT1 with its cut-out
// texels, DXT3 with 4-bit alpha) through the texture cache.
TEST_F(OpenGlDeviceTest, RawTexturesOfEachAlphaKindShowTheirColoursAndAlpha)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    constexpr int Side = 16;
    const uint8_t colours[2][3] = {{200, 100, 50}, {40, 180, 220}};
    const uint8_t alphas[2] = {255, 96};
    std::vector<uint8_t> rgb(Side * Side * 3);
    std::vector<uint8_t> alpha(Side * Side);
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            const size_t i = static_cast<size_t>(y * Side + x);
            std::memcpy(&rgb[i * 3], colours[x * 2 / Side], 3);
            alpha[i] = alphas[y * 2 / Side];
        }
    }
    PlatformMakeDirectory("pic");
    struct Kind {
        const char *suffix;
        int kind;
    };
    const Kind kinds[] = {{"", AlphaKindNone},
                          {"ATEST.raw", AlphaKindTest},
                          {"ALPHA.raw", AlphaKindHalf},
                          {"ALP24.raw", AlphaKindFull},
                          {"AONLY.raw", AlphaKindOnly}};
    // A channel as n bits keep it.
    const auto bits = [](int value, int n) { return (value >> (8 - n)) * 255 / ((1 << n) - 1); };
    const bool dxt = RenderDevice.DeviceCaps.dxt1Textures != 0;
    PlatformMakeDirectory("data");
    PlatformMakeDirectory("data\\dds");
    const int savedDxt = DxtSupported;
    for (const int compressed : {0, 1}) {
        if (compressed && !dxt) {
            continue;
        }
        CompressTextures = compressed;
        DxtSupported = compressed;
        for (const Kind &k : kinds) {
            const std::string name = "k" + std::to_string(k.kind) + (compressed ? "c" : "u");
            const std::string colourPath = "pic/" + name + ".raw";
            WriteFileBytes(colourPath, rgb);
            std::string path = colourPath;
            if (k.suffix[0] != 0) {
                path = "pic/" + name + k.suffix;
                WriteFileBytes(path, alpha);
            }
            TextureRecord *record = nullptr;
            ASSERT_EQ(LoadTextureFile(path.c_str(), &record, name.c_str(), 0, 0), 0) << name;
            EXPECT_EQ(record->format, compressed ? GetDxtFormatForAlphaKind(k.kind) : GetFormatForAlphaKind(k.kind))
                << name;
            ClearFrame(0xFF000000u, ClearTarget);
            UseTexture(record->texture);
            SetRenderStateCached(RsAlphaBlendEnable, 1);
            SetRenderStateCached(RsSrcBlend, BlendSrcAlpha);
            SetRenderStateCached(RsDestBlend, BlendInvSrcAlpha);
            std::vector<ScreenVertex> quad;
            AddRect(quad, 0, 0, Side, Side, 0xFFFFFFFFu);
            DrawTriangles(quad, ScreenFvf);
            SetRenderStateCached(RsAlphaBlendEnable, 0);
            const Picture picture = Shot();
            for (int quadrant = 0; quadrant < 4; ++quadrant) {
                const int column = quadrant % 2;
                const int row = quadrant / 2;
                // What the format keeps: channel bits and alpha steps.
                int r = colours[column][0];
                int g = colours[column][1];
                int b = colours[column][2];
                int a = alphas[row];
                const bool dxt3 = k.kind == AlphaKindHalf || k.kind == AlphaKindFull;
                if (compressed) {
                    // The encoder fits solid blocks closer than the 16-bit
                    // end points alone: colours within the tolerance below.
                    a = dxt3 ? bits(a, 4) : (k.kind == AlphaKindNone || a >= 128 ? 255 : 0);
                } else if (k.kind == AlphaKindNone) {
                    r = bits(r, 5);
                    g = bits(g, 6);
                    b = bits(b, 5);
                    a = 255;
                } else if (k.kind == AlphaKindTest) {
                    r = bits(r, 5);
                    g = bits(g, 5);
                    b = bits(b, 5);
                    a = a >= 128 ? 255 : 0;
                } else if (k.kind == AlphaKindHalf || k.kind == AlphaKindOnly) {
                    r = bits(r, 4);
                    g = bits(g, 4);
                    b = bits(b, 4);
                    a = bits(a, 4);
                }
                if (k.kind == AlphaKindOnly) {
                    r = g = b = 255;
                }
                const uint32_t want = static_cast<uint32_t>((r * a + 127) / 255) << 16 |
                                      static_cast<uint32_t>((g * a + 127) / 255) << 8 |
                                      static_cast<uint32_t>((b * a + 127) / 255);
                // Every pixel of the quadrant.
                for (int y = row * Side / 2; y < (row + 1) * Side / 2; ++y) {
                    for (int x = column * Side / 2; x < (column + 1) * Side / 2; ++x) {
                        ASSERT_TRUE(Near(picture.At(x, y), want, compressed ? 8 : 3))
                            << name << " quadrant " << quadrant << " at " << x << "," << y << ": "
                            << Hex(picture.At(x, y)) << ", want " << Hex(want);
                    }
                }
            }
            EXPECT_EQ(picture.At(Side + 2, 2), 0x000000u) << name;
            DeleteTexture(record);
        }
    }
    CompressTextures = 1;
    DxtSupported = savedDxt;
}

}  // namespace

namespace {

// A BMP picture (left half red, right half blue) drawn 1:1 as R5G6B5 and as
// DXT1, then as the DDS file a pending encoded copy of it was saved to.
TEST_F(OpenGlDeviceTest, BmpAndDdsPicturesShowTheirColours)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    constexpr int Side = 8;
    std::vector<uint8_t> bgra(Side * Side * 4, 0);
    for (int i = 0; i < Side * Side; ++i) {
        const bool left = i % Side < Side / 2;
        bgra[static_cast<size_t>(i * 4)] = left ? 30 : 220;      // blue
        bgra[static_cast<size_t>(i * 4 + 1)] = 60;               // green
        bgra[static_cast<size_t>(i * 4 + 2)] = left ? 210 : 20;  // red
        bgra[static_cast<size_t>(i * 4 + 3)] = 255;
    }
    ASSERT_TRUE(WriteBmpFile("picture.bmp", bgra.data(), Side, Side));
    const bool dxt = RenderDevice.DeviceCaps.dxt1Textures != 0;
    const std::vector<uint8_t> encoded = ReadFileBytes("picture.bmp");
    struct Case {
        const char *path;
        int compress;
        bool pending;
    };
    const Case cases[] = {{"picture.bmp", 0, false}, {"picture.bmp", 1, false}, {"saved.dds", 1, true},
                          {"saved.dds", 0, false}};
    int index = 0;
    for (const Case &c : cases) {
        if (c.compress && !dxt) {
            continue;
        }
        CompressTextures = c.compress;
        if (c.pending) {
            PendingEncodedBytes = encoded.data();
            PendingEncodedSize = static_cast<int>(encoded.size());
        }
        const std::string name = "picture" + std::to_string(index++);
        TextureRecord *record = nullptr;
        const int result = LoadTextureFile(c.path, &record, name.c_str(), 0, 0);
        PendingEncodedBytes = nullptr;
        PendingEncodedSize = 0;
        if (!dxt && std::strstr(c.path, ".dds") != nullptr) {
            continue;  // no saved file to read without DXT textures
        }
        ASSERT_EQ(result, 0) << c.path;
        ClearFrame(0xFF000000u, ClearTarget);
        UseTexture(record->texture);
        std::vector<ScreenVertex> quad;
        AddRect(quad, 0, 0, Side, Side, 0xFFFFFFFFu);
        DrawTriangles(quad, ScreenFvf);
        const Picture picture = Shot();
        for (int y = 0; y < Side; ++y) {
            for (int x = 0; x < Side; ++x) {
                const uint32_t want = x < Side / 2 ? 0xD23C1Eu : 0x143CDCu;
                ASSERT_TRUE(Near(picture.At(x, y), want, 8))
                    << c.path << " " << c.compress << " at " << x << "," << y << ": " << Hex(picture.At(x, y));
            }
        }
        DeleteTexture(record);
    }
    CompressTextures = 1;
}

}  // namespace

// --- Render objects through vertex programs ------------------------------------------------------

namespace {

// A render object of one part of the vertex kind: a square over x, y in
// -1..1 at z 0.5 (two triangles), every corner with the same normal and
// colours, so that each program gives one flat colour.
RenderObject *FlatSquare(const char *name, uint32_t vertexKind)
{
    RenderObject *object = CreateRenderObject(name);
    object->InitParts(1, 1);
    object->SetPartMaterial(0, nullptr, vertexKind);
    object->ClearParts();
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto &corner : corners) {
        PartVertex v{};
        v.x = corner[0];
        v.y = corner[1];
        v.z = 0.5f;
        v.nx = 0.0f;
        v.ny = 0.6f;
        v.nz = 0.8f;
        v.u = 0.25f;
        v.v = 0.5f;
        v.diffuse = 0xFF8040C0u;
        v.specular = 0xFF302010u;
        object->parts[0].AddVertex(v);
    }
    object->parts[0].AddTriangle(0, 1, 2);
    object->parts[0].AddTriangle(0, 2, 3);
    object->FinishParts();
    object->Build(0);
    return object;
}

// The program's inputs for the corners of FlatSquare.
uint32_t FlatSquareInputs(uint32_t vertexKind, float inputs[16][4])
{
    const uint32_t fvf = GetFvfForVertexKind(vertexKind);
    const float values[5][4] = {
        {0.0f, 0.0f, 0.5f, 1.0f},                                      // v0 (at the centre)
        {0.0f, 0.6f, 0.8f, 1.0f},                                      // v3
        {0x80 / 255.0f, 0x40 / 255.0f, 0xC0 / 255.0f, 1.0f},           // v5
        {0x30 / 255.0f, 0x20 / 255.0f, 0x10 / 255.0f, 1.0f},           // v6
        {0.25f, 0.5f, 0.0f, 1.0f},                                     // v8
    };
    const int registers[5] = {0, 3, 5, 6, 8};
    const bool present[5] = {true, (fvf & FvfNormal) != 0, (fvf & FvfDiffuse) != 0, (fvf & FvfSpecular) != 0,
                             (fvf & FvfTexCountMask) != 0};
    uint32_t mask = 0;
    for (int i = 0; i < 5; ++i) {
        std::memcpy(inputs[registers[i]], values[i], sizeof values[i]);
        if (present[i]) {
            mask |= 1u << registers[i];
        }
    }
    return mask;
}

// c0..c3 (and c80..c83) place the square into a cell of the screen.
void PlaceInCell(int column, int row, int columns, int rows)
{
    float m[16];
    SetIdentityMatrix(m);
    m[0] = 0.8f / static_cast<float>(columns);
    m[5] = 0.8f / static_cast<float>(rows);
    m[12] = -1.0f + (static_cast<float>(column) + 0.5f) * 2.0f / static_cast<float>(columns);
    m[13] = 1.0f - (static_cast<float>(row) + 0.5f) * 2.0f / static_cast<float>(rows);
    TransposeMatrix(m, m);
    SetVertexConstants(0, m, 4);
    SetVertexConstants(80, m, 4);
}

}  // namespace

// Each of the 17 kinds in its 4 variants, with fog off and on, draws the
// colour (and fog) that the CPU interpreter computes for its vertices.
TEST_F(OpenGlDeviceTest, EveryProgramDrawsTheColourTheInterpreterComputes)
{
    constexpr int Columns = ShaderKindCount;
    constexpr int Rows = 8;  // variant x 2 + fog
    constexpr int Cell = 8;
    ASSERT_NO_FATAL_FAILURE(Open(Columns * Cell, Rows * Cell, 0xFF000000u));
    const uint32_t fogColour = 0x2040FF;
    VertexConstantSource light;
    const float sun[4] = {0.7f, 0.6f, 0.5f, 0.0f};
    const float sky[4] = {0.6f, 0.7f, 0.8f, 1.0f};
    std::memcpy(light.sunColour, sun, sizeof sun);
    std::memcpy(light.skyColour, sky, sizeof sky);
    light.groundFactors[0] = light.groundFactors[1] = light.groundFactors[2] = 0.5f;
    light.sunDirection[0] = 0.6f;
    light.sunDirection[2] = 0.8f;
    UseVertexConstantSource(&light);
    const float extra[][4] = {
        {0.0f, 0.0f, -5.0f, 1.0f},                                            // c30 eye
        {0.5f, 0, 0, 0.5f}, {0, 0.5f, 0, 0.5f}, {0, 0, 0.5f, 0}, {0, 0, 0, 1},  // c31..c34
        {1, 1, 1, 1},                                                         // c35
        {0.3f, 0.5f, 0.7f, 0.8f},                                             // c36
    };
    SetVertexConstants(30, extra[0], 7);
    RenderObject *squares[3] = {FlatSquare("k1", 1), FlatSquare("k4", 4), FlatSquare("k10", 10)};
    const uint32_t bits[2] = {1, 0};
    SetRenderStateCached(RsCullMode, CullNone);
    SetRenderStateCached(RsSpecularEnable, 0);
    SetStageTexture(0, nullptr);
    SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
    SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
    SetTextureStageStateCached(1, TssColorOp, TopDisable);

    float expected[Rows][Columns][3] = {};
    for (int fog = 0; fog < 2; ++fog) {
        // The fog setting is built into the programs: a release takes it in.
        ReleaseVertexShaders();
        RenderDevice.FogEnabled = fog;
        EnableFog(fog);
        SetFogRange(fogColour, 0.0f, 1.0f);
        ApplyFogMode(1);
        for (int kind = 0; kind < Columns; ++kind) {
            for (int variant = 0; variant < 4; ++variant) {
                const int row = variant * 2 + fog;
                const uint32_t vertexKind = ShaderVertexKind(kind, variant & 1);
                RenderObject *square = squares[vertexKind == 1 ? 0 : vertexKind == 4 ? 1 : 2];
                ASSERT_GE(GetVertexShaderProgram(kind, variant & 1, variant >> 1), FirstShaderHandle);
                PlaceInCell(kind, row, Columns, Rows);
                FlushStateCache();
                square->parts[0].DrawItems(bits, 0, 0, 0);

                // The cell's centre lies on the diagonal of corners 0 and 2:
                // it gets the mean of their outputs.
                float inputs[16][4] = {};
                const uint32_t mask = FlatSquareInputs(vertexKind, inputs);
                float constants[96][4];
                for (int r = 0; r < 96; ++r) {
                    std::memcpy(constants[r], GetVertexConstant(r), sizeof constants[r]);
                }
                std::vector<uint32_t> code;
                ASSERT_EQ(AssembleVertexProgram(ComposeVertexShaderSource(kind, variant, fog).c_str(), &code), 0u);
                float diffuse[3] = {};
                float factor = 0.0f;
                for (const float corner : {-1.0f, 1.0f}) {
                    inputs[0][0] = inputs[0][1] = corner;
                    VertexProgramOutput out{};
                    RunVertexProgram(code.data(), inputs, mask, constants, &out);
                    for (int c = 0; c < 3; ++c) {
                        diffuse[c] += out.diffuse[c] / 2.0f;
                    }
                    factor += out.fog / 2.0f;
                }
                const float fogRgb[3] = {0x20 / 255.0f, 0x40 / 255.0f, 0xFF / 255.0f};
                for (int c = 0; c < 3; ++c) {
                    expected[row][kind][c] = fog ? fogRgb[c] + (diffuse[c] - fogRgb[c]) * factor : diffuse[c];
                }
            }
        }
    }
    EnableFog(0);
    RenderDevice.FogEnabled = 0;
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, Columns * Cell);
    for (int row = 0; row < Rows; ++row) {
        for (int kind = 0; kind < Columns; ++kind) {
            const uint32_t got = picture.At(kind * Cell + Cell / 2, row * Cell + Cell / 2);
            uint32_t want = 0;
            for (int c = 0; c < 3; ++c) {
                const float v = std::fmin(std::fmax(expected[row][kind][c], 0.0f), 1.0f);
                want = want << 8 | static_cast<uint32_t>(std::lround(v * 255.0f));
            }
            EXPECT_TRUE(Near(got, want, 3)) << "kind " << kind << " variant " << row / 2 << " fog " << row % 2
                                            << ": " << Hex(got) << " want " << Hex(want);
        }
    }
    DeleteAllRenderObjects();
}

// c0..c3 hold world x view x projection transposed: a program's m4x4 puts
// a triangle on the same pixels as the fixed pipeline.
TEST_F(OpenGlDeviceTest, KindZeroCoversThePixelsOfTheFixedPipeline)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    ASSERT_EQ(SetPerspective(1.0f, 0.5f, 100.0f, 0.05f, -0.03f), 0);
    float view[16];
    SetIdentityMatrix(view);
    view[0] = view[10] = 0.8f;
    view[2] = 0.6f;
    view[8] = -0.6f;
    SetViewMatrix(view);
    float world[16];
    SetIdentityMatrix(world);
    world[12] = 0.1f;
    world[13] = 0.2f;
    world[14] = 1.2f;
    SetWorldMatrix(world);
    UseDefaultVertexConstants();
    RenderObject *object = CreateRenderObject("tri");
    object->InitParts(1, 1);
    object->SetPartMaterial(0, nullptr, 4);
    object->ClearParts();
    const float corners[3][3] = {{-0.61f, -0.43f, 0.2f}, {0.57f, -0.21f, -0.3f}, {0.05f, 0.66f, 0.1f}};
    for (const auto &corner : corners) {
        PartVertex v{};
        v.x = corner[0];
        v.y = corner[1];
        v.z = corner[2];
        v.nz = -1.0f;
        v.diffuse = 0xFFFFFFFFu;
        object->parts[0].AddVertex(v);
    }
    object->parts[0].AddTriangle(0, 1, 2);
    object->FinishParts();
    object->Build(0);
    SetRenderStateCached(RsCullMode, CullNone);
    SetStageTexture(0, nullptr);
    SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
    SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
    const uint32_t bits[2] = {1, 0};

    ASSERT_GE(GetVertexShaderProgram(0, 0, 0), FirstShaderHandle);
    FlushStateCache();
    object->parts[0].DrawItems(bits, 0, 0, 0);
    const Picture programmed = Shot();
    ClearFrame(0xFF000000u, ClearTarget | ClearZBuffer);
    SetVertexShaderCached(GetFvfForVertexKind(4));
    FlushStateCache();
    object->parts[0].DrawItems(bits, 0, 0, 0);
    const Picture fixed = Shot();
    ASSERT_EQ(programmed.pixels.size(), fixed.pixels.size());
    int covered = 0;
    int differing = 0;
    for (size_t i = 0; i < fixed.pixels.size(); ++i) {
        covered += fixed.pixels[i] != 0 ? 1 : 0;
        differing += (fixed.pixels[i] != 0) != (programmed.pixels[i] != 0) ? 1 : 0;
    }
    EXPECT_GT(covered, 200);
    EXPECT_EQ(differing, 0);
    ResetWorldMatrix();
    ResetViewMatrix();
    DeleteAllRenderObjects();
}

namespace {

// A 4 x 4 texture record of one colour (ARGB).
TextureRecord *SolidTexture(const char *name, uint32_t argb)
{
    TextureRecord *record = nullptr;
    if (CreateTexture(name, 4, 4, RenderFormatA8R8G8B8, &record, 0, 0, -1, 0) != 0 || record == nullptr) {
        return nullptr;
    }
    DeviceLockedRect locked{};
    if (RenderDevice.Device->LockTexture(record->texture, 0, nullptr, 0, &locked) == DeviceOk) {
        for (int y = 0; y < 4; ++y) {
            uint32_t *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.bits) + y * locked.pitch);
            for (int x = 0; x < 4; ++x) {
                row[x] = argb;
            }
        }
        RenderDevice.Device->UnlockTexture(record->texture, 0);
    }
    return record;
}

// A lighting source whose added-pass parts take a light texture.
struct LightMapSource : VertexConstantSource {
    TextureRecord *light = nullptr;
    TextureRecord *LightTexture() const override { return light; }
};

void AddSquare(RenderPart &part, float x0, float y0, float x1, float y1, uint32_t diffuse)
{
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (const auto &corner : corners) {
        PartVertex v{};
        v.x = corner[0];
        v.y = corner[1];
        v.z = 0.5f;
        v.nx = 0.0f;
        v.ny = 0.6f;
        v.nz = 0.8f;
        v.u = 0.5f;
        v.v = 0.5f;
        v.diffuse = diffuse;
        part.AddVertex(v);
    }
    part.AddTriangle(0, 1, 2);
    part.AddTriangle(0, 2, 3);
}

const uint32_t RenderObjectReference[16 * 16] = {
#include "render_object_reference.inc"
};

}  // namespace

// Four parts (textured, untextured, Modulate2x, added pass with a light
// texture) of four items, items 0, 1 and 3 marked (two runs): the picture
// matches its reference, item 2 stays background.
TEST_F(OpenGlDeviceTest, FourPartObjectMatchesItsReferencePicture)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    TextureRecord *paint = SolidTexture("paint", 0xFFC08040u);
    TextureRecord *light = SolidTexture("light", 0xFFA0C0E0u);
    ASSERT_NE(paint, nullptr);
    ASSERT_NE(light, nullptr);
    LightMapSource source;
    source.light = light;
    const float sun[4] = {0.7f, 0.6f, 0.5f, 0.0f};
    std::memcpy(source.sunColour, sun, sizeof sun);
    source.groundFactors[0] = source.groundFactors[1] = source.groundFactors[2] = 0.4f;
    source.sunDirection[1] = 0.6f;
    source.sunDirection[2] = 0.8f;
    UseVertexConstantSource(&source);
    float identity[16];
    SetIdentityMatrix(identity);
    SetVertexConstants(0, identity, 4);

    Material *materials[4] = {
        GetMaterial(paint, 0, 0, 0, 0, nullptr),
        GetMaterial(nullptr, 0, 0, 0, 0, nullptr),
        GetMaterial(paint, 1, 0, 0, 0, nullptr),
        GetMaterial(paint, 0, 1, 0, 0, nullptr),
    };
    RenderObject *object = CreateRenderObject("four");
    object->InitParts(4, 4);
    for (int p = 0; p < 4; ++p) {
        object->SetPartMaterial(p, materials[p]);
    }
    for (int item = 0; item < 4; ++item) {
        object->ClearParts();
        for (int p = 0; p < 4; ++p) {
            const float x0 = -1.0f + 0.5f * static_cast<float>(p);
            const float y0 = 1.0f - 0.5f * static_cast<float>(item);
            AddSquare(object->parts[p], x0 + 0.05f, y0 - 0.45f, x0 + 0.45f, y0 - 0.05f, 0xFFB0B0B0u);
        }
        object->FinishParts();
    }
    object->Build(0);
    SetRenderStateCached(RsCullMode, CullNone);
    for (int item : {0, 1, 3}) {
        object->SetPartVisible(item, 0);
    }
    object->DrawWithAddPass(0);
    EndRenderScene();
    const Picture picture = Shot();
    ASSERT_EQ(picture.width, 64);
    if (std::getenv("KZV_PRINT_RENDER_OBJECT_REFERENCE") != nullptr) {
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                std::printf("0x%06X,%s", picture.At(x * 4 + 2, y * 4 + 2), x == 15 ? "\n" : " ");
            }
        }
    }
    int differing = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint32_t got = picture.At(x * 4 + 2, y * 4 + 2);
            const uint32_t want = RenderObjectReference[y * 16 + x];
            if (!Near(got, want, 3)) {
                ++differing;
                ADD_FAILURE() << "at " << x * 4 + 2 << ", " << y * 4 + 2 << ": " << Hex(got) << " want " << Hex(want);
            }
        }
    }
    EXPECT_EQ(differing, 0);
    // Item 2 (the third band) is not drawn; the doubled part is brighter
    // than the plain textured one.
    EXPECT_EQ(picture.At(8, 40), 0u);
    EXPECT_GT(Red(picture.At(40, 8)), Red(picture.At(8, 8)));
    EXPECT_NE(picture.At(56, 8), 0u);
    UseDefaultVertexConstants();
    DeleteAllRenderObjects();
}

// An untextured part with one projector: shadow texture x sun light +
// hemisphere light, in one pass.
TEST_F(OpenGlDeviceTest, OneProjectorOnAnUntexturedPartShadesTheSunLightOnly)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    TextureRecord *shadow = SolidTexture("shadow", 0xFF406080u);
    ASSERT_NE(shadow, nullptr);
    ShadowCasters[0].texture = shadow;
    // Every vertex projects to the middle of the shadow texture.
    std::memset(ShadowCasters[0].textureMatrix, 0, sizeof ShadowCasters[0].textureMatrix);
    ShadowCasters[0].textureMatrix[12] = 0.5f;
    ShadowCasters[0].textureMatrix[13] = 0.5f;
    ShadowCasters[0].textureMatrix[15] = 1.0f;
    ActiveShadowCasterCount = 1;
    VertexConstantSource source;
    const float sun[4] = {0.6f, 0.5f, 0.4f, 0.0f};
    std::memcpy(source.sunColour, sun, sizeof sun);
    source.groundFactors[0] = source.groundFactors[1] = source.groundFactors[2] = 0.5f;
    const float sky[4] = {0.4f, 0.4f, 0.5f, 1.0f};
    std::memcpy(source.skyColour, sky, sizeof sky);
    source.sunDirection[1] = 0.6f;
    source.sunDirection[2] = 0.8f;
    UseVertexConstantSource(&source);
    float identity[16];
    SetIdentityMatrix(identity);
    SetVertexConstants(0, identity, 4);
    RenderObject *object = CreateRenderObject("shaded");
    object->InitParts(1, 1);
    object->SetPartMaterial(0, GetMaterial(nullptr, 0, 0, 0, 0, nullptr));
    object->ClearParts();
    AddSquare(object->parts[0], -0.5f, -0.5f, 0.5f, 0.5f, 0xFFC0C0C0u);
    object->FinishParts();
    object->Build(0);
    SetRenderStateCached(RsCullMode, CullNone);
    object->SetPartVisible(0, 1);
    object->DrawMasked(1);
    EndRenderScene();
    const Picture picture = Shot();
    // n = (0, 0.6, 0.8): n.sun = 1, n.up = 0.8.
    const float diffuse = 0xC0 / 255.0f;
    const float shadowRgb[3] = {0x40 / 255.0f, 0x60 / 255.0f, 0x80 / 255.0f};
    uint32_t want = 0;
    for (int c = 0; c < 3; ++c) {
        const float ground = 0.5f * sky[c];
        const float half = (sky[c] - ground) / 2.0f;
        const float hemisphere = (ground + half + 0.8f * half) * diffuse;
        const float value = std::fmin(shadowRgb[c] * std::fmin(sun[c] * diffuse, 1.0f) + hemisphere, 1.0f);
        want = want << 8 | static_cast<uint32_t>(std::lround(value * 255.0f));
    }
    EXPECT_TRUE(Near(picture.At(32, 32), want, 3)) << Hex(picture.At(32, 32)) << " want " << Hex(want);
    ActiveShadowCasterCount = 0;
    ShadowCasters[0] = ShadowCaster{};
    UseDefaultVertexConstants();
    DeleteAllRenderObjects();
}

// After a forced lost device the programs are released before the Reset,
// made again on demand, and the object draws as before.
TEST_F(OpenGlDeviceTest, ProgramsAreMadeAgainAfterADeviceReset)
{
    ASSERT_NO_FATAL_FAILURE(Open(64, 64, 0xFF000000u));
    RenderObject *square = FlatSquare("square", 10);
    const uint32_t bits[2] = {1, 0};
    auto draw = [&] {
        BeginRenderScene();
        ClearFrame(0xFF000000u, ClearTarget | ClearZBuffer);
        float identity[16];
        SetIdentityMatrix(identity);
        SetVertexConstants(0, identity, 4);
        SetRenderStateCached(RsCullMode, CullNone);
        SetStageTexture(0, nullptr);
        SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
        SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
        EXPECT_GE(GetVertexShaderProgram(0, 1, 0), FirstShaderHandle);
        FlushStateCache();
        square->parts[0].DrawItems(bits, 0, 0, 0);
        EndRenderScene();
        return Shot().At(32, 32);
    };
    EXPECT_EQ(draw(), 0x8040C0u);  // pre-lit: the vertex colour
    PlatformGlForceCooperativeLevel(DeviceNotReset);
    EXPECT_FALSE(CheckRenderDevice());
    PlatformGlForceCooperativeLevel(DeviceOk);
    EXPECT_EQ(ShaderTableEntry(0, 1), 0u);
    ASSERT_TRUE(CheckRenderDevice());
    EXPECT_EQ(draw(), 0x8040C0u);
    EXPECT_GE(ShaderTableEntry(0, 1), FirstShaderHandle);
    DeleteAllRenderObjects();
}
