#include "platform/vertex_program.h"
#include "platform/window.h"
#include "render/buffer_pools.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/shadow_casters.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "render/vertex_shaders.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct GoldenShader {
    int kind;
    int variant;
    int fog;
    const char *text;
};

const GoldenShader GoldenShaders[] = {
#include "vertex_shader_golden.inc"
};

std::vector<std::string> Boxes;

PlatformAnswer RecordBox(const char *title, const char *text, PlatformMessageBoxKind)
{
    Boxes.push_back(std::string(title) + ": " + text);
    return PlatformAnswerOk;
}

PartVertex Vertex(float x, float y, float z, uint32_t diffuse = 0xFF808080u)
{
    PartVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.nx = 0.25f;
    v.ny = 0.5f;
    v.nz = 1.0f;
    v.u = 0.125f;
    v.v = 0.75f;
    v.diffuse = diffuse;
    v.specular = 0xFF102030u;
    return v;
}

class VertexShaderTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        Boxes.clear();
        PlatformSetMessageBoxHandler(RecordBox);
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        ASSERT_EQ(StartGraphics(), 1);
        Device.ClearLog();
    }
    void TearDown() override
    {
        ActiveShadowCasterCount = 0;
        RenderDevice.FogEnabled = 0;
        EnableFog(0);
        DeleteAllRenderObjects();
        RecordingRenderTest::TearDown();
        PlatformSetMessageBoxHandler(nullptr);
    }

    // One part of the material with `items` single-triangle items.
    RenderObject *Build(Material *material, int items = 1, uint32_t kind = VertexKindOfMaterial)
    {
        RenderObject *object = CreateRenderObject("test");
        object->InitParts(1, items);
        object->SetPartMaterial(0, material, kind);
        for (int i = 0; i < items; ++i) {
            object->ClearParts();
            RenderPart &part = object->parts[0];
            part.AddVertex(Vertex(0, 0, 1));
            part.AddVertex(Vertex(1, 0, 1));
            part.AddVertex(Vertex(0, 1, 1));
            part.AddTriangle(0, 1, 2);
            object->FinishParts();
        }
        object->Build(0);
        return object;
    }

    uint32_t State(uint32_t state) { return WantedRenderState(state); }
    uint32_t Stage(int stage, uint32_t type) { return WantedStageState(stage, type); }

    // Values of a state as it reached the device, in order.
    std::vector<uint32_t> StateLog(uint32_t state) const
    {
        std::vector<uint32_t> values;
        for (const DeviceCall &call : Device.CallsNamed("SetRenderState"))
            if (call.args[0] == state)
                values.push_back(call.args[1]);
        return values;
    }
};

// Prints the golden list (run with KZV_PRINT_SHADER_GOLDEN=1 to remake it).
TEST_F(VertexShaderTest, ComposedTextsMatchTheGoldenFile)
{
    if (std::getenv("KZV_PRINT_SHADER_GOLDEN") != nullptr) {
        for (int kind = 0; kind < ShaderKindCount; ++kind)
            for (int variant = 0; variant < 4; ++variant)
                for (int fog = 0; fog < 2; ++fog)
                    std::printf("{%d, %d, %d, R\"(%s)\"},\n", kind, variant, fog,
                                ComposeVertexShaderSource(kind, variant, fog).c_str());
    }
    ASSERT_EQ(std::size(GoldenShaders), 136u);
    for (const GoldenShader &golden : GoldenShaders) {
        const std::string text = ComposeVertexShaderSource(golden.kind, golden.variant, golden.fog);
        EXPECT_EQ(text, golden.text) << golden.kind << "/" << golden.variant << " fog " << golden.fog;
        std::vector<uint32_t> code;
        int line = 0;
        EXPECT_EQ(AssembleVertexProgram(text.c_str(), &code, &line), 0u)
            << golden.kind << "/" << golden.variant << " fog " << golden.fog << " line " << line;
    }
    // Sky(0) with fog ends with its blank line and the alpha from c92.
    const std::string sky = ComposeVertexShaderSource(7, 2, 1);
    EXPECT_NE(sky.find("add oD0.xyz,r2,r2\n\nmov oD0.w,c92.w\nmov oT0,v8\n"), std::string::npos) << sky;
    EXPECT_EQ(ComposeVertexShaderSource(3, 0, 0),
              "vs.1.1\nm4x4 oPos,v0,c0\ndp3 r3.x,v3,c10\nmax r3.x,r3.x,c95\nmul r4.xyz,c6.xyz,r3.x\n"
              "mul oD0.xyz,r4.xyz,v5.xyz\nmov oD0.w,v5.w\nm4x4 oT0,v0,c80\nm4x4 oT1,v0,c84\n");
    EXPECT_EQ(ComposeVertexShaderSource(14, 0, 1),
              "vs.1.1\nm4x4 oPos,v0,c80\nmov oFog,c95.x\nmov oT0,c95\nmov oD0,c84\n");
}

TEST_F(VertexShaderTest, TheTableBuildsEachProgramOnceAndFogDecidesTheFogOutput)
{
    RenderDevice.FogEnabled = 0;
    const int before = ShaderAssembleCount();
    const uint32_t handle = GetVertexShaderProgram(3, 0, 0);
    EXPECT_GE(handle, FirstShaderHandle);
    EXPECT_EQ(GetVertexShaderProgram(3, 0, 0), handle);
    EXPECT_EQ(ShaderAssembleCount(), before + 1);
    EXPECT_EQ(Device.CallsNamed("CreateVertexShader").size(), 1u);
    // Selected once: the second ask finds it current.
    EXPECT_EQ(Device.CallsNamed("SetVertexShader").size(), 1u);
    EXPECT_EQ(ShaderTableEntry(3, 0), handle);

    const uint32_t lit = GetVertexShaderProgram(1, 0, 0);
    const std::vector<uint32_t> *code = Device.ShaderCode(lit);
    ASSERT_NE(code, nullptr);
    for (size_t i = 1; i + 1 < code->size();) {
        EXPECT_NE(VpRegFile((*code)[i + 1]), static_cast<uint32_t>(VpFog));
        i += 2 + static_cast<size_t>(VertexProgramSourceCount((*code)[i]));
    }
    EXPECT_EQ(ComposeVertexShaderSource(1, 0, 0).find("oFog"), std::string::npos);
    EXPECT_NE(ComposeVertexShaderSource(1, 0, 1).find("mad oFog,r0.z,c90.x,c90.y"), std::string::npos);

    // Every kind and variant is made, of its vertex kind's declaration.
    for (int kind = 0; kind < ShaderKindCount; ++kind)
        for (int variant = 0; variant < 4; ++variant) {
            const uint32_t made = GetVertexShaderProgram(kind, variant & 1, variant >> 1);
            ASSERT_GE(made, FirstShaderHandle) << kind << "/" << variant;
            const uint32_t vertexKind = ShaderVertexKind(kind, variant & 1);
            EXPECT_EQ(vertexKind, kind == 8 ? 1u : (variant & 1) ? 10u : 4u);
            const uint32_t *expected = BuildShaderDeclaration(GetFvfForVertexKind(vertexKind));
            const std::vector<uint32_t> *declaration = Device.ShaderDeclaration(made);
            ASSERT_NE(declaration, nullptr);
            for (size_t i = 0; i < declaration->size(); ++i)
                EXPECT_EQ((*declaration)[i], expected[i]);
        }
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(VertexShaderTest, DeclarationsListTheFieldsOfTheFvf)
{
    const struct {
        uint32_t fvf;
        std::vector<uint32_t> tokens;
    } cases[] = {
        {0x152, {0x20000000u, 0x40020000u, 0x40020003u, 0x40040005u, 0x40010008u, 0xFFFFFFFFu}},
        {0x1C2, {0x20000000u, 0x40020000u, 0x40040005u, 0x40040006u, 0x40010008u, 0xFFFFFFFFu}},
        {0x52, {0x20000000u, 0x40020000u, 0x40020003u, 0x40040005u, 0xFFFFFFFFu}},
        {0x2D2, {0x20000000u, 0x40020000u, 0x40020003u, 0x40040005u, 0x40040006u, 0x40010008u, 0x40010009u,
                 0xFFFFFFFFu}},
        {0x144, {0x20000000u, 0x40030000u, 0x40040005u, 0x40010008u, 0xFFFFFFFFu}},
    };
    for (const auto &test : cases) {
        const uint32_t *tokens = BuildShaderDeclaration(test.fvf);
        for (size_t i = 0; i < test.tokens.size(); ++i)
            EXPECT_EQ(tokens[i], test.tokens[i]) << std::hex << test.fvf << " token " << i;
    }
}

TEST_F(VertexShaderTest, ARefusedShaderFallsBackToItsFvfWithItsMessageBox)
{
    Device.failing.insert("CreateVertexShader");
    Material *preLit = GetMaterial(nullptr, 0, 0, 1, 0, nullptr);
    RenderObject *object = Build(preLit);
    Device.ClearLog();
    object->SetPartVisible(0, 0);
    object->DrawVisible();
    EXPECT_EQ(ShaderTableEntry(0, 1), 0x1C2u);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], "Could not create vertex shader: D3DERR_INVALIDCALL");
    EXPECT_EQ(Device.currentShader, 0x1C2u);
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);

    // Cached: no second attempt and no second box.
    object->SetPartVisible(0, 0);
    object->DrawVisible();
    EXPECT_EQ(Device.CallsNamed("CreateVertexShader").size(), 1u);
    EXPECT_EQ(Boxes.size(), 1u);

    // A text the assembler does not take names its error.
    EXPECT_EQ(CreateVertexShaderFromSource("vs.1.1\nfrc r0,v0\n", BuildShaderDeclaration(0x152), 4), 0x152u);
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1], "Could not compile vertex shader: D3DXERR_INVALIDDATA");
}

TEST_F(VertexShaderTest, TheAssemblerRefusesWhatItDoesNotKnow)
{
    std::vector<uint32_t> code;
    const char *refused[] = {
        "vs.1.1\nfrc r0,v0\n",           // opcode
        "vs.1.1\nmov r12,v0\n",          // register
        "vs.1.1\nmov r0,v1\n",           // input
        "vs.1.1\nmov r0,c96\n",          // constant
        "vs.1.1\nmov r0.xy,v0\n",        // mask
        "vs.1.1\nmov r0,v0.xz\n",        // swizzle
        "vs.1.1\nmov c0,v0\n",           // a constant written
        "vs.1.1\nmad r0,v0,c1\n",        // operands
        "mov r0,v0\n",                   // no version
        "vs.1.1\nm4x4 r0,v0,c93\n",      // matrix past the constants
    };
    for (const char *text : refused) {
        int line = 0;
        EXPECT_EQ(AssembleVertexProgram(text, &code, &line), VertexProgramInvalidData) << text;
        EXPECT_TRUE(code.empty());
    }
    int line = 0;
    EXPECT_EQ(AssembleVertexProgram("vs.1.1\n\nmov r0 , -v0.w\nmov oT1.xyzw,r0\n", &code, &line), 0u);
    EXPECT_EQ(VertexProgramLength(code.data()), static_cast<int>(code.size()));
}

// The interpreter against the formulas the fragments stand for.
TEST_F(VertexShaderTest, InterpreterGivesTheLightingFogAndReflectionFormulas)
{
    float constants[96][4] = {};
    auto set = [&constants](int r, float x, float y, float z, float w) {
        constants[r][0] = x;
        constants[r][1] = y;
        constants[r][2] = z;
        constants[r][3] = w;
    };
    for (int r = 0; r < 4; ++r)
        constants[r][r] = 1.0f;   // identity position transform
    set(6, 0.8f, 0.6f, 0.4f, 0.0f);   // sun colour
    set(7, 0.0f, 0.0f, 1.0f, 1.0f);   // up
    set(8, 0.3f, 0.35f, 0.4f, 1.0f);  // hemisphere mid
    set(9, 0.1f, 0.15f, 0.2f, 0.0f);  // half difference
    set(10, 0.6f, 0.0f, 0.8f, 0.0f);  // sun direction
    set(90, -0.01f, 0.5f, 0.5f, 0.0f);
    set(92, 1, 1, 1, 1);
    set(95, 0, 0, 0, 0);
    float inputs[16][4] = {};
    auto in = [&inputs](int r, float x, float y, float z, float w) {
        inputs[r][0] = x;
        inputs[r][1] = y;
        inputs[r][2] = z;
        inputs[r][3] = w;
    };
    in(0, 1.0f, 2.0f, 30.0f, 1.0f);
    in(3, 0.0f, 0.6f, 0.8f, 0.0f);
    in(5, 0.5f, 0.25f, 1.0f, 0.75f);
    in(6, 0.1f, 0.2f, 0.3f, 1.0f);
    in(8, 0.25f, 0.5f, 0.0f, 1.0f);
    const uint32_t all = 1u | 8u | 32u | 64u | 256u;

    auto run = [&](int kind, int variant, int fog, uint32_t mask, VertexProgramOutput *out) {
        std::vector<uint32_t> code;
        ASSERT_EQ(AssembleVertexProgram(ComposeVertexShaderSource(kind, variant, fog).c_str(), &code), 0u);
        RunVertexProgram(code.data(), inputs, mask, constants, out);
    };

    VertexProgramOutput out{};
    run(0, 0, 1, all, &out);
    const float ndotUp = 0.8f;
    const float ndotSun = 0.64f;
    for (int c = 0; c < 3; ++c) {
        const float light = constants[8][c] + ndotUp * constants[9][c] + ndotSun * constants[6][c];
        EXPECT_NEAR(out.diffuse[c], std::fmin(inputs[5][c] * light, 1.0f), 1e-6f) << c;
    }
    EXPECT_EQ(out.diffuse[3], 0.75f);
    EXPECT_EQ(out.tex[0][0], 0.25f);
    // The header's fog: z x c90.x + c90.y.
    EXPECT_NEAR(out.fog, 30.0f * -0.01f + 0.5f, 1e-6f);
    EXPECT_EQ(out.position[2], 30.0f);
    run(0, 1, 0, all, &out);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(out.diffuse[c], inputs[5][c]);
    EXPECT_EQ(out.fog, 1.0f);  // not written

    // ReflectVertex: the eye-to-vertex direction mirrored about the normal,
    // through the reflection matrix c31..c34.
    set(30, 1.0f, 2.0f, 20.0f, 1.0f);
    set(35, 1, 1, 1, 1);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            constants[31 + r][c] = r == c ? 1.0f : 0.0f;
    run(8, 0, 0, all, &out);
    const float d[3] = {0.0f, 0.0f, 1.0f};  // (v0 - eye) normalised
    const float n[3] = {0.0f, 0.6f, 0.8f};
    const float dn = d[0] * n[0] + d[1] * n[1] + d[2] * n[2];
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(out.tex[0][c], d[c] - 2.0f * dn * n[c], 1e-5f) << c;
    EXPECT_EQ(out.tex[0][3], 1.0f);

    // ReflectFixed on a pre-lit vertex: no normal, read as (0, 0, 0, 1).
    set(30, 1.0f, 2.0f, 30.0f, 1.0f);  // the eye at the vertex
    set(36, 0.5f, 0.5f, 0.5f, 0.5f);
    run(13, 1, 0, all & ~8u, &out);
    for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(std::isfinite(out.tex[0][c])) << c;
        EXPECT_TRUE(std::isfinite(out.diffuse[c])) << c;
    }
    EXPECT_TRUE(std::isfinite(VertexProgramRsq(0.0f)));
}

// Vertices are written with only their kind's fields, in FVF order.
TEST_F(VertexShaderTest, PartBuffersHoldTheFieldsOfTheirVertexKind)
{
    const struct {
        uint32_t kind;
        int stride;
        std::vector<int> floats;  // byte offsets of x, then the expected u
    } cases[] = {
        {10, 28, {0, 20}},  // position, diffuse, specular, u, v
        {4, 36, {0, 28}},   // position, normal, diffuse, u, v
        {1, 28, {0, -1}},   // position, normal, diffuse
    };
    for (const auto &test : cases) {
        RenderObject *object = Build(nullptr, 2, test.kind);
        const RenderPart &part = object->parts[0];
        ASSERT_NE(part.vertexBuffer, nullptr);
        const std::vector<uint8_t> bytes = Device.BufferBytes(part.vertexBuffer->handle);
        ASSERT_EQ(bytes.size(), static_cast<size_t>(6 * test.stride)) << test.kind;
        EXPECT_EQ(Device.BufferUsage(part.vertexBuffer->handle), UsageWriteOnly);
        float x = 0.0f;
        std::memcpy(&x, &bytes[static_cast<size_t>(test.stride)], 4);
        EXPECT_EQ(x, 1.0f);  // the second vertex
        uint32_t diffuse = 0;
        const size_t diffuseAt = test.kind == 10 ? 12 : 24;
        std::memcpy(&diffuse, &bytes[diffuseAt], 4);
        EXPECT_EQ(diffuse, 0xFF808080u);
        if (test.kind == 10) {
            uint32_t specular = 0;
            std::memcpy(&specular, &bytes[16], 4);
            EXPECT_EQ(specular, 0xFF102030u);
        }
        if (test.floats[1] >= 0) {
            float u = 0.0f;
            std::memcpy(&u, &bytes[static_cast<size_t>(test.floats[1])], 4);
            EXPECT_EQ(u, 0.125f);
        }
        if (test.kind != 10) {
            float ny = 0.0f;
            std::memcpy(&ny, &bytes[16], 4);
            EXPECT_EQ(ny, 0.5f);
        }
        // Indices offset by each item's first vertex.
        const std::vector<uint8_t> indices = Device.BufferBytes(part.indexBuffer->handle);
        ASSERT_EQ(indices.size(), 12u);
        EXPECT_EQ(indices[6], 3);
        EXPECT_EQ(indices[10], 5);
        DeleteRenderObject(&object);
    }
    // Locked without the system lock.
    bool noSysLock = false;
    for (const DeviceCall &call : Device.CallsNamed("LockBuffer"))
        noSysLock = noSysLock || (call.args[3] & LockNoSysLock) != 0;
    EXPECT_TRUE(noSysLock);
}

// A part whose buffers could not be made draws nothing (the stream bound
// before belongs to someone else).
TEST_F(VertexShaderTest, APartWithoutBuffersDrawsNothing)
{
    Device.failing.insert("CreateIndexBuffer");
    RenderObject *object = Build(nullptr, 2);
    EXPECT_EQ(object->parts[0].vertexBuffer, nullptr);
    EXPECT_EQ(object->parts[0].indexBuffer, nullptr);
    Device.ClearLog();
    object->SetPartVisible(0, 0);
    object->SetPartVisible(1, 0);
    object->DrawVisible();
    float m[16];
    SetIdentityMatrix(m);
    object->DrawItemWithMatrix(m, 0);
    EXPECT_TRUE(Device.CallsNamed("DrawIndexedTriangles").empty());
    // The CPU copy stays readable.
    EXPECT_EQ(object->parts[0].ItemTriangleCount(1), 1);
}

// ApplyShader: one row per case of its table.
TEST_F(VertexShaderTest, ApplyShaderChoosesKindVariantPassesAndStages)
{
    TextureRecord *road = nullptr;
    ASSERT_EQ(CreateTexture("road", 16, 16, RenderFormatR5G6B5, &road, 0, 0, -1, 0), 0);
    TextureRecord *shadow = nullptr;
    ASSERT_EQ(CreateTexture("shadow", 16, 16, RenderFormatR5G6B5, &shadow, 0, 0, -1, 0), 0);
    for (int i = 0; i < 3; ++i) {
        ShadowCasters[i].texture = shadow;
        SetIdentityMatrix(ShadowCasters[i].textureMatrix);
    }
    ActiveShadowCasterCount = 3;
    const int none = NoProjector;
    const struct {
        const char *name;
        Material *material;
        int multitexture;
        int p1, p2, count;
        int kind, variant;
        uint32_t passes;
        uint32_t stage0Op, stage1Op;
        uint32_t specular;
    } rows[] = {
        {"add pass textured", GetMaterial(road, 0, 1, 0, 0, nullptr), 2, 0, none, 1, 12, 0, 0, TopModulate,
         TopModulate, 0},
        {"add pass, projector", GetMaterial(nullptr, 0, 1, 0, 0, nullptr), 2, 0, none, 1, 10, 0, 1, TopModulate,
         TopModulate, 0},
        {"add pass plain", GetMaterial(nullptr, 0, 1, 1, 0, nullptr), 2, none, none, 0, 9, 1, 0, TopModulate,
         TopDisable, 0},
        {"no multitexture", GetMaterial(road, 0, 0, 0, 0, nullptr), 1, 0, none, 1, 16, 0, 0, TopModulate, TopDisable,
         0},
        {"textured, projector", GetMaterial(road, 1, 0, 0, 0, nullptr), 2, 0, none, 1, 6, 2, 1, TopModulate2x,
         TopModulate, 0},
        {"textured, projector not all", GetMaterial(road, 1, 0, 0, 0, nullptr), 2, 0, none, 2, 6, 2, 1, TopModulate,
         TopModulate, 0},
        {"textured", GetMaterial(road, 0, 0, 1, 0, nullptr), 2, none, none, 0, 0, 1, 0, TopModulate, TopDisable, 0},
        {"plain", GetMaterial(nullptr, 0, 0, 0, 0, nullptr), 2, none, none, 0, 0, 0, 0, TopSelectArg1, TopDisable, 0},
        {"plain doubled", GetMaterial(nullptr, 1, 0, 0, 0, nullptr), 2, none, none, 0, 0, 2, 0, TopAdd, TopDisable,
         0},
        {"plain, one", GetMaterial(nullptr, 0, 0, 0, 0, nullptr), 2, 1, none, 1, 1, 0, 1, TopModulate, TopAdd, 0},
        {"plain, two", GetMaterial(nullptr, 0, 0, 0, 0, nullptr), 2, 0, 2, 2, 2, 0, 2, TopModulate, TopModulate, 1},
        {"plain, two of three", GetMaterial(nullptr, 0, 0, 0, 0, nullptr), 2, 0, 2, 3, 3, 0, 2, TopModulate,
         TopModulate, 0},
        {"env mapped", GetMaterial(road, 0, 0, 0, 1, nullptr), 2, 0, 1, 2, 8, 0, 0, TopModulate, TopDisable, 0},
    };
    RenderPart part;
    for (const auto &row : rows) {
        RenderDevice.DeviceCaps.maxSimultaneousTextures = row.multitexture;
        ResetTextureStages();
        FlushStateCache();
        part.material = row.material;
        part.ApplyMaterial();
        part.ApplyShader(row.p1, row.p2, row.count);
        EXPECT_EQ(LastShaderKind(), row.kind) << row.name;
        EXPECT_EQ(LastShaderVariant(), row.variant) << row.name;
        EXPECT_EQ(part.passCount, row.passes) << row.name;
        EXPECT_EQ(Stage(0, TssColorOp), row.stage0Op) << row.name;
        EXPECT_EQ(Stage(1, TssColorOp), row.stage1Op) << row.name;
        EXPECT_EQ(State(RsSpecularEnable), row.specular) << row.name;
        ResetTextureStages();
    }
    RenderDevice.DeviceCaps.maxSimultaneousTextures = 2;

    // Projectors: c80 / c84 = transpose(world x texture matrix); border
    // addressing when the device has it, else clamping.
    float world[16];
    SetIdentityMatrix(world);
    world[12] = 3.0f;
    SetWorldMatrix(world);
    ShadowCasters[1].textureMatrix[13] = 2.0f;
    for (int border = 0; border < 2; ++border) {
        RenderDevice.DeviceCaps.borderAddressing = border;
        part.ApplyProjector(1, 1);
        EXPECT_EQ(GetVertexConstant(84)[3], 3.0f);
        EXPECT_EQ(GetVertexConstant(85)[3], 2.0f);
        EXPECT_EQ(Stage(1, TssAddressU), border ? TaddressBorder : TaddressClamp);
        EXPECT_EQ(Stage(1, TssAddressV), border ? TaddressBorder : TaddressClamp);
        if (border) {
            EXPECT_EQ(Stage(1, TssBorderColor), 0xFFFFFFFFu);
        }
    }
    // A caster at or past the active count binds no texture.
    Device.ClearLog();
    part.ApplyProjector(0, 3);
    FlushStateCache();
    EXPECT_EQ(GetShadowCasterTexture(3), nullptr);
    EXPECT_EQ(GetShadowCasterTexture(2), shadow);
    const std::vector<DeviceCall> binds = Device.CallsNamed("SetTexture");
    ASSERT_FALSE(binds.empty());
    EXPECT_EQ(binds.back().args[1], 0u);
    ResetWorldMatrix();
    part.material = nullptr;
    for (int i = 0; i < 3; ++i)
        ShadowCasters[i] = ShadowCaster{};
}

TEST_F(VertexShaderTest, MaskedDrawsPassesAndTheirStates)
{
    TextureRecord *road = nullptr;
    ASSERT_EQ(CreateTexture("road", 16, 16, RenderFormatR5G6B5, &road, 0, 0, -1, 0), 0);
    TextureRecord *shadow = nullptr;
    ASSERT_EQ(CreateTexture("shadow", 16, 16, RenderFormatR5G6B5, &shadow, 0, 0, -1, 0), 0);
    for (int i = 0; i < 3; ++i) {
        ShadowCasters[i].texture = shadow;
        SetIdentityMatrix(ShadowCasters[i].textureMatrix);
    }
    ActiveShadowCasterCount = 3;
    RenderDevice.FogEnabled = 1;
    EnableFog(1);
    SetFogRange(0x204060, 10.0f, 100.0f);
    RenderObject *object = Build(GetMaterial(road, 1, 0, 0, 0, nullptr), 2);
    FlushStateCache();

    // No masked item: no state is touched.
    Device.ClearLog();
    object->DrawMasked(2);
    FlushStateCache();
    EXPECT_TRUE(Device.calls.empty());

    // A textured Modulate2x material, mask 0b11, two honoured casters, fog on.
    object->SetPartVisible(1, 0x3);
    Device.ClearLog();
    object->DrawMasked(2);
    FlushStateCache();
    const std::vector<DeviceCall> draws = Device.CallsNamed("DrawIndexedTriangles");
    ASSERT_EQ(draws.size(), 3u);  // the item, one leftover pass, one extra pass
    // The first draw: kind 6, half fog colour (fog mode 2).
    std::vector<std::string> names;
    std::vector<uint32_t> blends;
    size_t firstDraw = 0;
    for (size_t i = 0; i < Device.calls.size(); ++i)
        if (Device.calls[i].name == "DrawIndexedTriangles") {
            firstDraw = i;
            break;
        }
    uint32_t fogColourAtFirst = 0;
    for (size_t i = 0; i < firstDraw; ++i)
        if (Device.calls[i].name == "SetRenderState" && Device.calls[i].args[0] == RsFogColor)
            fogColourAtFirst = Device.calls[i].args[1];
    EXPECT_EQ(fogColourAtFirst, (0x204060u >> 1) & 0x7F7F7Fu);
    // The passes: ZFUNC EQUAL, the doubled last leftover pass with
    // DESTCOLOR, the extra pass ONE/ONE, then everything back.
    const std::vector<uint32_t> zfunc = StateLog(RsZFunc);
    ASSERT_FALSE(zfunc.empty());
    EXPECT_EQ(zfunc.front(), CmpEqual);
    EXPECT_EQ(zfunc.back(), CmpLessEqual);
    const std::vector<uint32_t> src = StateLog(RsSrcBlend);
    EXPECT_NE(std::find(src.begin(), src.end(), BlendDestColor), src.end());
    EXPECT_NE(std::find(src.begin(), src.end(), BlendOne), src.end());
    EXPECT_EQ(src.back(), BlendSrcAlpha);
    EXPECT_EQ(StateLog(RsDestBlend).back(), BlendInvSrcAlpha);
    EXPECT_EQ(StateLog(RsAlphaBlendEnable).back(), 0u);
    EXPECT_EQ(State(RsFogColor), 0x204060u);
    EXPECT_EQ(object->maskUnion, 0u);
    // The leftover pass drew projector 1 alone (kind 15), the extra pass
    // the hemisphere light of the textured material (kind 7).
    EXPECT_NE(ShaderTableEntry(6, 2), 0u);
    EXPECT_NE(ShaderTableEntry(15, 0), 0u);
    EXPECT_NE(ShaderTableEntry(7, 2), 0u);

    // The added pass keeps the caller's blending on.
    Material *added = GetMaterial(nullptr, 0, 1, 0, 0, nullptr);
    RenderObject *glow = CreateRenderObject("glow");
    glow->InitParts(1, 1);
    glow->SetPartMaterial(0, added);
    glow->ClearParts();
    glow->parts[0].AddVertex(Vertex(0, 0, 1));
    glow->parts[0].AddVertex(Vertex(1, 0, 1));
    glow->parts[0].AddVertex(Vertex(0, 1, 1));
    glow->parts[0].AddTriangle(0, 1, 2);
    glow->FinishParts();
    glow->Build(0);
    SetRenderStateCached(RsAlphaBlendEnable, 1);
    FlushStateCache();
    Device.ClearLog();
    glow->SetPartVisible(0, 0);
    glow->DrawWithAddPass(1);
    FlushStateCache();
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 2u);
    EXPECT_EQ(State(RsAlphaBlendEnable), 1u);
    EXPECT_TRUE(StateLog(RsAlphaBlendEnable).empty());
    EXPECT_EQ(State(RsDestBlend), BlendInvSrcAlpha);
    SetRenderStateCached(RsAlphaBlendEnable, 0);
    for (int i = 0; i < 3; ++i)
        ShadowCasters[i] = ShadowCaster{};
}

TEST_F(VertexShaderTest, FlipCullModeTwiceRestoresIt)
{
    const uint32_t before = State(RsCullMode);
    FlipCullMode();
    EXPECT_EQ(State(RsCullMode), before == CullCw ? CullCcw : CullCw);
    FlipCullMode();
    EXPECT_EQ(State(RsCullMode), before);
}

// A lost device: the programs go before the Reset and are made again for
// the next draw.
TEST_F(VertexShaderTest, ProgramsAreRebuiltAfterAReset)
{
    RenderObject *object = Build(nullptr);
    object->SetPartVisible(0, 0);
    object->DrawVisible();
    const uint32_t first = ShaderTableEntry(0, 0);
    ASSERT_GE(first, FirstShaderHandle);

    Device.cooperativeLevel = DeviceNotReset;
    Device.ClearLog();
    EXPECT_FALSE(CheckRenderDevice());
    std::vector<std::string> names = Device.CallNames(false);
    const auto deleted = std::find(names.begin(), names.end(), "DeleteVertexShader");
    const auto reset = std::find(names.begin(), names.end(), "Reset");
    ASSERT_NE(deleted, names.end());
    EXPECT_LT(deleted - names.begin(), reset - names.begin());
    EXPECT_EQ(ShaderTableEntry(0, 0), 0u);
    Device.cooperativeLevel = DeviceOk;
    ASSERT_TRUE(CheckRenderDevice());

    Device.ClearLog();
    object->SetPartVisible(0, 0);
    object->DrawVisible();
    EXPECT_EQ(Device.CallsNamed("CreateVertexShader").size(), 1u);
    EXPECT_GE(ShaderTableEntry(0, 0), FirstShaderHandle);
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
}

}  // namespace
