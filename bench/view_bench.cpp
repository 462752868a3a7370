#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/fixed_math.h"
#include "render/lit_colours.h"
#include "render/view.h"

namespace {

constexpr int32_t Metre = 65536;
constexpr int Count = 256;

// A 1024 x 768 view with a lit scene, and a spread of view-space spheres
// and unit normals of every direction.
struct Scene {
    FixVector centres[Count];
    int32_t radii[Count];
    FixVector normals[Count];
    Colour colours[Count];

    Scene()
    {
        BuildTrigTables();
        static ViewRecord view{};
        CurrentView = &view;
        view.back = {0, -Metre, 0};
        view.sunDir = {20000, -30000, 50000};
        NormaliseFixVector(view.sunDir);
        view.groundColour = {90, 80, 70, 0};
        view.skyLight[0] = 120;
        view.skyLight[1] = 140;
        view.skyLight[2] = 180;
        view.sunLight[0] = view.sunLight[1] = view.sunLight[2] = 200;
        BuildViewMatrix();
        SetViewWindow(0, 0, 1024, 768, 0.0f, 0.0f, 1.2f, 1.0f);
        UpdateHemisphereLight();
        for (int i = 0; i < Count; ++i) {
            FixMatrix turn;
            FixRotationZX(turn, static_cast<uint16_t>(i * 2731), static_cast<uint16_t>(i * 1223));
            TransformFixVector(turn, FixUnitY, normals[i]);
            centres[i] = {(i % 17 - 8) * 4 * Metre, (i % 13 - 6) * 3 * Metre, (i % 29) * 6 * Metre};
            radii[i] = (i % 7 + 1) * Metre / 2;
            colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 128, 0};
        }
    }
};

const Scene &Data()
{
    static const Scene scene;
    return scene;
}

void BM_ClassifySphereInView(benchmark::State &state)
{
    const Scene &scene = Data();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ClassifySphereInView(scene.centres[i], scene.radii[i]));
        i = (i + 1) & (Count - 1);
    }
}
BENCHMARK(BM_ClassifySphereInView);

void BM_ShadeColour(benchmark::State &state)
{
    const Scene &scene = Data();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ShadeColour(scene.normals[i], scene.colours[i]));
        i = (i + 1) & (Count - 1);
    }
}
BENCHMARK(BM_ShadeColour);

}  // namespace
