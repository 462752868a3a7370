#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "platform/recording_device.h"
#include "render/lit_colours.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/view.h"
#include "tools/body_objects.h"

namespace {

constexpr int32_t M = 65536;

// The renderer on the recording device (its call log off), in a scene, and
// level 0 of the largest default car body (by level-0 triangles) built into
// a node, placed 6 m in front of the eye.
struct Scene {
    RecordingDevice device;
    Object3D body{};
    ModelNode *node = nullptr;
    FixTransform placement{};
    ViewRecord view{};
    int width = 640;
    int height = 480;
    int triangles = 0;
    int vertices = 0;

    Scene()
    {
        BuildTrigTables();
        InitIdentityTransform();
        device.logCalls = false;
        RenderShellLink link{};
        link.screenWidth = &width;
        link.screenHeight = &height;
        SetRenderShellLink(link);
        UseGraphicsDevice(&device);
        StartRenderer(1, -1, 0);
        StartGraphics();
        BeginRenderScene();

        CurrentView = &view;
        view.groundColour = {90, 90, 90, 0};
        view.skyLight[0] = view.skyLight[1] = view.skyLight[2] = 200;
        view.upView = {0, M, 0};
        view.sunDirView = {0, 46341, -46341};
        for (int32_t &level : view.sunLight)
            level = 200;
        UpdateHemisphereLight();
        const int32_t d = 46341;
        ViewPlanes[ViewPlaneBottom] = {0, d, d};
        ViewPlanes[ViewPlaneTop] = {0, -d, d};
        ViewPlanes[ViewPlaneRight] = {-d, 0, d};
        ViewPlanes[ViewPlaneLeft] = {d, 0, d};

        int largest = 0;
        int best = -1;
        for (int b = 0; b < BodyCodeCount; ++b) {
            Object3D candidate{};
            InitObject3D(&candidate);
            BuildBodyObject(b, &candidate);
            int count = 0;
            for (int t = 0; t < candidate.triangleCount; ++t)
                count += candidate.triangles[t].lod == 0 ? 1 + (candidate.triangles[t].flags & TriangleMirrored) : 0;
            if (count > best) {
                best = count;
                largest = b;
            }
            FreeObject3D(&candidate);
        }
        InitObject3D(&body);
        BuildBodyObject(largest, &body);
        LoadObjectTextures(&body, 0, 1, 0, AllObjectParts);
        node = CreateModelNode();
        BuildModelFromObject(&body, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
        triangles = node->triangleCount;
        vertices = node->vertexCount;
        FixMatrix turn{};
        SetFixMatrix(turn, 0, M, 0, 0, 0, M, M, 0, 0);
        placement.Set(turn, FixVector{0, -M / 2, 6 * M});
    }
};

Scene &TheScene()
{
    static Scene scene;
    return scene;
}

// One immediate draw of the node: every vertex transformed, each shared
// vertex lit once, the lists through the world batch.
void BM_ModelNodeDraw(benchmark::State &state)
{
    Scene &scene = TheScene();
    for (auto _ : state)
        scene.node->Draw(0, scene.placement, 0);
    state.counters["triangles"] = scene.triangles;
    state.counters["vertices"] = scene.vertices;
}
BENCHMARK(BM_ModelNodeDraw)->Unit(benchmark::kMicrosecond);

}  // namespace
