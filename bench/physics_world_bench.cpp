// A full physics world: 80 box bodies dropped in a loose heap on the world
// double's ground, stepped for 1000 ticks while they fall, collide and settle.
#include <benchmark/benchmark.h>

#include <cstring>

#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/rigid_body.h"
#include "world_query_double.h"

namespace {

struct Box : RigidBody {
    Box() : RigidBody(1, 1, nullptr) {}
    ~Box() override { FreeGeometry(); }
};

const float Identity[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

void PlaceBox(Box &box, int index) {
    BuildBoxHull(box, 0.4f, 0.4f, 0.4f);
    box.stiffness = 20000.0f;
    box.friction = 0.7f;
    box.damping = 400.0f;
    box.ComputeBounds();
    box.ComputeMassFromPoints(5.0f);
    // Eight columns of ten, each box a little off the one below it.
    const int column = index % 8;
    const int level = index / 8;
    const float x = static_cast<float>(column % 4) * 1.2f + static_cast<float>(level) * 0.05f;
    const float y = static_cast<float>(column / 4) * 1.2f - static_cast<float>(level) * 0.03f;
    const float z = 0.5f + static_cast<float>(level) * 1.0f;
    box.position = {MetresToFix(x), MetresToFix(y), MetresToFix(z)};
    box.predictedPosition = box.position;
    std::memcpy(box.orientation, Identity, sizeof Identity);
    std::memcpy(box.predictedOrientation, Identity, sizeof Identity);
    box.ResetState();
}

void BM_PhysicsWorld80BoxesSettling(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        WorldQueryDouble world;
        PhysicsWorld physics;
        Box *boxes = new Box[MaxPhysicsBodies];
        for (int i = 0; i < MaxPhysicsBodies; i++) {
            PlaceBox(boxes[i], i);
            physics.AddBody(&boxes[i]);
        }
        state.ResumeTiming();
        for (int tick = 0; tick < 1000; tick++)
            physics.Step(0);
        benchmark::DoNotOptimize(boxes[0].position);
        state.PauseTiming();
        delete[] boxes;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_PhysicsWorld80BoxesSettling)->Unit(benchmark::kMillisecond);

}  // namespace
