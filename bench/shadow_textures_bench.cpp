#include <benchmark/benchmark.h>

#include "platform/recording_device.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/shadow_casters.h"
#include "render/shadow_textures.h"

namespace {

// The renderer on the recording device (its call log off) with 32 casters,
// each casting one box object: 8 large and 24 small ones.
struct ShadowScene {
    RecordingDevice device;
    RenderObject *boxes[MaxShadowCasters] = {};
    int width = 640;
    int height = 480;

    ShadowScene()
    {
        device.logCalls = false;
        RenderShellLink link{};
        link.screenWidth = &width;
        link.screenHeight = &height;
        SetRenderShellLink(link);
        UseGraphicsDevice(&device);
        StartRenderer(1, -1, 0);
        StartGraphics();
        BeginRenderScene();
        for (int i = 0; i < MaxShadowCasters; ++i) {
            RenderObject *box = new RenderObject("box", 1);
            box->InitParts(1, 1);
            box->SetPartMaterial(0, GetMaterial(nullptr, 0, 0, 0, 0, nullptr));
            box->ClearParts();
            for (int k = 0; k < 8; ++k) {
                PartVertex v{};
                v.x = k & 1 ? 1.0f : -1.0f;
                v.y = k & 2 ? 2.0f : -2.0f;
                v.z = k & 4 ? 1.4f : 0.0f;
                v.nz = 1.0f;
                v.diffuse = 0xFFFFFFFFu;
                box->parts[0].AddVertex(v);
            }
            for (int f = 0; f < 6; ++f) {
                box->parts[0].AddTriangle(0, static_cast<uint16_t>(1 + f % 6), static_cast<uint16_t>(2 + f % 6));
            }
            box->FinishParts();
            box->Build(1);
            SetIdentityMatrix(box->matrix);
            box->matrix[12] = static_cast<float>(i * 5);
            boxes[i] = box;
            ShadowCaster &caster = ShadowCasters[i];
            caster = ShadowCaster{};
            caster.cellKind = i < 8 ? 0 : 1;
            caster.lightDirection[0] = 0.4f;
            caster.lightDirection[1] = 0.2f;
            caster.lightDirection[2] = -1.0f;
            caster.horizontalAxis[0] = 1.0f;
            caster.colour[0] = caster.colour[1] = caster.colour[2] = 60;
            AddShadowCaster(&caster, box, 0);
        }
    }

    ~ShadowScene()
    {
        ReleaseShadowTextures();
        for (RenderObject *box : boxes) {
            delete box;
        }
        for (ShadowCaster &caster : ShadowCasters) {
            caster = ShadowCaster{};
        }
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
    }
};

}  // namespace

// The CPU side of one frame's shadow textures: 32 casters of one object
// each, rendered, halved twice and copied to their tiles.
static void BM_RenderShadowTextures32(benchmark::State &state)
{
    ShadowScene scene;
    RenderShadowTextures(MaxShadowCasters, 32);  // the textures are made once
    for (auto _ : state) {
        RenderShadowTextures(MaxShadowCasters, 32);
        benchmark::DoNotOptimize(ActiveShadowCasterCount);
    }
    state.counters["failure"] = ShadowFailure;
}
BENCHMARK(BM_RenderShadowTextures32);
