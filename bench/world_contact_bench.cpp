// SolidObject::Contact: probes dropped from above onto a prepared 10 m road
// strip lofted between two panels, once straight and once with kind-0 curves
// that bend in plan. The probes walk a grid across the strip, so most hit and
// the ones beside a bent strip miss.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "tests/world/world_bytes.h"
#include "vehicle/contact_probe.h"
#include "world/panel_object.h"
#include "world/solid_object.h"
#include "world/world.h"
#include "world/world_object.h"

namespace {

int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

// A prepared two-vertex panel at (0, y) with the given heading; the second
// vertex is raised by secondHeight.
PanelObject *MakePanel(float y, float heading, float firstLateral, float secondLateral, float secondHeight)
{
    auto *panel = new PanelObject(0, Fix(y));
    panel->heading = heading;
    panel->vertexCount = 2;
    panel->vertices = new PanelVertex[3]();
    panel->vertices[0].lateral = Fix(firstLateral);
    panel->vertices[1].lateral = Fix(secondLateral);
    panel->vertices[1].height = Fix(secondHeight);
    panel->Prepare();
    return panel;
}

// Panel A at the origin along x, panel B 10 m ahead turned by pi; one solid
// of two curves (kind 1 straight, or kind 0 leaving A at 1 rad) and one link.
struct Strip {
    WorldObject *panels[2] = {};
    SolidObject *solid = nullptr;

    bool Make(bool bent)
    {
        const float bank = bent ? 1.0f : 0.0f;
        panels[0] = MakePanel(0.0f, 0.0f, -5.0f, 5.0f, bank);
        panels[1] = MakePanel(10.0f, 3.14159265f, 5.0f, -5.0f, bank);

        // Version 251 solid record: header, no checkpoint, two curves, one link.
        const uint8_t kind = bent ? 0 : 1;
        const float angle = bent ? 1.0f : 0.0f;
        WorldBytes bytes;
        bytes.U8(ObjectSolid).U8(0).U8(0).U8(0);
        bytes.U16(SolidCollides).U16(0).U16(1).U16(1).U16(0).U16(1);
        bytes.U8(0).U8(0).U8(2).U8(1);
        for (uint8_t vertex = 0; vertex < 2; vertex++) {
            bytes.U8(kind).U8(0).U8(vertex).U8(vertex);
            bytes.F32(0.0f).F32(angle).F32(0.0f).F32(0.0f);
        }
        bytes.U16(0).U8(1).U8(1).U16(0).U8(0).U8(1);
        bytes.F32(3.0f).F32(1.0f);

        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        if (result.error != WorldObjectOk) {
            return false;
        }
        solid = static_cast<SolidObject *>(result.object);
        if (solid->ResolvePanels(panels, 2, CurrentWorld->colours.count) != SolidResolveOk) {
            return false;
        }
        solid->Prepare();
        return true;
    }

    ~Strip()
    {
        if (solid) {
            solid->Release();
            delete solid;
        }
        for (WorldObject *panel : panels) {
            if (panel) {
                panel->Release();
                delete panel;
            }
        }
    }
};

void SolidContact(benchmark::State &state, bool bent)
{
    BuildTrigTables();
    CurrentWorld = WorldCreate();
    CurrentWorld->colours.count = 1;
    CurrentWorld->colours.records = new TrackColour[1]();
    {
        Strip strip;
        if (!strip.Make(bent)) {
            state.SkipWithError("strip fixture did not build");
        } else {
            // 16 x 16 probe ends 0.1 m below the surface's lowest point,
            // each a 2 m drop; x spans the strip and a little beside it.
            constexpr int Grid = 16;
            FixVector ends[Grid * Grid];
            for (int i = 0; i < Grid; i++) {
                for (int j = 0; j < Grid; j++) {
                    ends[i * Grid + j] = {Fix(-6.0f + 12.0f * static_cast<float>(i) / (Grid - 1)),
                                          Fix(0.2f + 9.6f * static_cast<float>(j) / (Grid - 1)), -Fix(0.1f)};
                }
            }
            const FixVector segment = {0, 0, -Fix(2.0f)};
            int64_t hits = 0;
            for (auto _ : state) {
                for (const FixVector &end : ends) {
                    ContactProbe probe;
                    probe.Clear();
                    hits += strip.solid->Contact(end, segment, probe, nullptr, nullptr, nullptr);
                    benchmark::DoNotOptimize(probe);
                }
            }
            state.SetItemsProcessed(state.iterations() * Grid * Grid);
            state.counters["hit_share"] =
                static_cast<double>(hits) / static_cast<double>(state.iterations() * Grid * Grid);
        }
    }
    WorldDestroy(CurrentWorld);
    CurrentWorld = nullptr;
}

void BM_SolidContactStraight(benchmark::State &state)
{
    SolidContact(state, false);
}

void BM_SolidContactBent(benchmark::State &state)
{
    SolidContact(state, true);
}

}  // namespace

BENCHMARK(BM_SolidContactStraight);
BENCHMARK(BM_SolidContactBent);
