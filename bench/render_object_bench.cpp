#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/recording_device.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"

namespace {

constexpr int Items = 4096;
constexpr int Parts = 8;

// The renderer on the recording device (its call log off) with one object
// of 8 parts and 4096 items, each item a triangle in every part, and a mark
// list covering a third of the items in scattered runs of 1 to 8.
struct Scene {
    RecordingDevice device;
    RenderObject *object = nullptr;
    std::vector<int> marked;
    int width = 640;
    int height = 480;

    Scene()
    {
        device.logCalls = false;
        RenderShellLink link{};
        link.screenWidth = &width;
        link.screenHeight = &height;
        SetRenderShellLink(link);
        UseGraphicsDevice(&device);
        StartRenderer(1, -1, 0);
        StartGraphics();
        object = CreateRenderObject("bench");
        object->InitParts(Parts, Items);
        for (int p = 0; p < Parts; ++p)
            object->SetPartMaterial(p, GetMaterial(nullptr, p & 1, 0, (p >> 1) & 1, 0, nullptr));
        for (int i = 0; i < Items; ++i) {
            object->ClearParts();
            for (int p = 0; p < Parts; ++p) {
                RenderPart &part = object->parts[p];
                for (int k = 0; k < 3; ++k) {
                    PartVertex v{};
                    v.x = static_cast<float>(i + k);
                    v.y = static_cast<float>(p);
                    v.nz = 1.0f;
                    v.diffuse = 0xFFFFFFFFu;
                    part.AddVertex(v);
                }
                part.AddTriangle(0, 1, 2);
            }
            object->FinishParts();
        }
        object->Build(0);
        uint32_t seed = 12345;
        for (int i = 0; i < Items;) {
            seed = seed * 1103515245u + 12345u;
            const int run = 1 + static_cast<int>((seed >> 16) % 8);
            for (int k = 0; k < run && i + k < Items; ++k)
                marked.push_back(i + k);
            i += 3 * run;  // a third marked
        }
    }
};

Scene &TheScene()
{
    static Scene scene;
    return scene;
}

void BM_MarkItems(benchmark::State &state)
{
    Scene &scene = TheScene();
    for (auto _ : state) {
        for (int item : scene.marked)
            scene.object->SetPartVisible(item, 0);
        // Clears the marks without drawing.
        std::fill(scene.object->plainBits.begin(), scene.object->plainBits.end(), 0u);
        scene.object->plainLow = scene.object->itemCount;
        scene.object->plainHigh = 0;
    }
    state.counters["marked"] = static_cast<double>(scene.marked.size());
}
BENCHMARK(BM_MarkItems);

// Marking plus DrawVisible: the runs of 8 parts drawn with their materials.
void BM_DrawVisible(benchmark::State &state)
{
    Scene &scene = TheScene();
    for (auto _ : state) {
        for (int item : scene.marked)
            scene.object->SetPartVisible(item, 0);
        scene.object->DrawVisible();
    }
    scene.device.Present();
    state.counters["draws"] =
        static_cast<double>(scene.device.lastFrame.drawCalls) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DrawVisible);

}  // namespace
