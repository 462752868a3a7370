#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/fixed_math.h"
#include "race/ai_knowledge.h"
#include "tests/world/world_load_steps.h"
#include "tools/default_track.h"
#include "world/path.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

// The default site written into the test's folder and loaded through the
// world loader into a new world, warnings going to `printer`.
inline void LoadDefaultSite(World *&world, WorldMessagePrinter printer)
{
    BuildTrigTables();
    SetWorldMessagePrinter(printer);
    SetLoadClock(FakeLoadClock);
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    const TrackSite &row = SiteTable[DefaultTrackSite];
    world = WorldCreate();
    ASSERT_EQ(WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0), 1);
    int steps = 0;
    while (!WorldLoadStep(world) && ++steps < 100000) {
    }
}

// The world of LoadDefaultSite destroyed and the loader's clock and printer
// put back.
inline void UnloadDefaultSite(World *&world)
{
    WorldDestroy(world);
    world = nullptr;
    SetLoadClock(nullptr);
    SetWorldMessagePrinter(nullptr);
}

// The default site loaded once for the suite, as the current world. Base is
// the suite's own fixture (plain tests, or the generated cars).
template <typename Base>
class DefaultSiteFixture : public Base {
protected:
    static void SetUpTestSuite()
    {
        Base::SetUpTestSuite();
        LoadDefaultSite(world, DropWarning);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
        CurrentWorld = world;
    }
    static void TearDownTestSuite()
    {
        CurrentWorld = nullptr;
        UnloadDefaultSite(world);
        Base::TearDownTestSuite();
    }

    // A line along the path's centre, one range every 5 nodes (a cubic
    // cannot follow a hairpin over more).
    static void CentreLine(AiKnowledge &k, const Path &path)
    {
        std::vector<KnowledgeRange> list;
        for (int i = 0; i < path.nodeCount; i += 5) {
            KnowledgeRange r = {};
            r.startNode = static_cast<uint32_t>(i);
            r.endNode = static_cast<uint32_t>(i + 5 < path.nodeCount ? i + 5 : 0);
            list.push_back(r);
        }
        k.rangeCount = static_cast<uint32_t>(list.size());
        k.ranges = static_cast<KnowledgeRange *>(std::calloc(list.size(), sizeof(KnowledgeRange)));
        for (size_t i = 0; i < list.size(); ++i) {
            k.ranges[i] = list[i];
        }
    }

    static inline World *world = nullptr;

private:
    static void DropWarning(const char *, int) {}
};
