#pragma once

// A current world for layout tests: a flat 10 m road square around the
// origin (x and y -5..5 m) as ground, three duplicator holders (0 a movable
// placeable crate, 1 a static placeable wall, 2 a crate that may not be
// placed), the layout state emptied before and after, and the game packets
// the layout code sends when a test captures them.

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/world/road_strip.h"
#include "tests/world/world_scene.h"
#include "tools/layout_writer.h"
#include "world/layout.h"
#include "world/layout_packets.h"

inline std::vector<std::vector<uint8_t>> &SentPackets()
{
    static std::vector<std::vector<uint8_t>> packets;
    return packets;
}

inline void ResetLayoutState()
{
    if (LayoutStream.file) {
        LayoutStream.Close();
    }
    LayoutCircles.count = 0;
    ResetLayoutRoute();
    LayoutRecordsToSend = 0;
    LayoutLoaded = 0;
    LayoutName[0] = 0;
    LayoutLaps = 1;
    LayoutScaling = 0;
    JoiningCarPlacement = 0;
    SetLayoutServices(LayoutServices{});
    SentPackets().clear();
}

class LayoutScene {
public:
    LayoutScene()
    {
        ResetLayoutState();
        World *w = scene.world;
        w->colours.count = 1;
        w->colours.records = new TrackColour[1]();
        scene.MakeHolders(3);
        MakeBoxHolder(scene.Holder(0), "crate", HolderMovable);
        MakeBoxHolder(scene.Holder(1), "wall", HolderStatic);
        MakeBoxHolder(scene.Holder(2), "fixed", HolderMovable);
        scene.Holder(0).placeable = 1;
        scene.Holder(1).placeable = 1;
        AddRoadStrip(w, 0.0f, -5.0f, 0.0f);
        w->BuildMapSquares();
        ownObjects = w->objectCount;
    }
    ~LayoutScene() { ResetLayoutState(); }
    LayoutScene(const LayoutScene &) = delete;
    LayoutScene &operator=(const LayoutScene &) = delete;

    World *world() { return scene.world; }
    int Add(const LayoutRecord &record) { return AddLayoutObject(record, 0, 1, nullptr, nullptr, 0); }
    // Packets leave through a capturing network instead of the local hand-off.
    static void CapturePackets()
    {
        LayoutServices services = {};
        services.queueGamePacket = [](const uint8_t *bytes, int length) {
            SentPackets().emplace_back(bytes, bytes + length);
        };
        services.flushGameBatch = [] {};
        SetLayoutServices(services);
    }
    // The packed records of the layout objects in object order.
    std::vector<LayoutRecord> Objects()
    {
        std::vector<LayoutRecord> out;
        for (int n = world()->objectCount - world()->layoutObjectCount; n < world()->objectCount; ++n) {
            out.push_back(PackLayoutRecord(*static_cast<DuplicatorObject *>(world()->objects[n])));
        }
        return out;
    }

    TestWorld scene;
    int ownObjects = 0;
};

inline bool SameRecord(const LayoutRecord &a, const LayoutRecord &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
